#pragma once
// The project both windows' benchmarks open: one video layer with a one-second hole after every
// item, so its report holds one gap line per item; and such a report, as the box receives it.

#include <cstdio>
#include <string>

namespace kestrova::bench {

inline std::string GapProjectText(int items) {
    std::string xml = "<?xml version=\"1.0\" standalone=\"yes\" ?>\n<kestrovadocument2>\n"
                      " <multilayer>\n  <layer>\n   <name>Video</name>\n";
    auto text = [](int seconds) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%dh %02dm %02ds 000", seconds / 3600,
                      seconds / 60 % 60, seconds % 60);
        return std::string(buffer);
    };
    for (int i = 0; i < items; ++i) {
        const int start = 2 * i + 1; // seconds
        xml += "   <layeritem_video><starttime>" + text(start) + "</starttime><endtime>" +
               text(start + 1) + "</endtime></layeritem_video>\n";
    }
    return xml + "  </layer>\n </multilayer>\n</kestrovadocument2>\n";
}

inline std::string GapReportText(int gaps) {
    std::string report = "\r\nReporting on project.kpj\r\n\r\nLayers:\r\n 1: \tVideo\r\n";
    for (int i = 0; i < gaps; ++i)
        report += "\r\nGap on timeline from:  0h 00m 01s 000  to:  0h 00m 02s 000";
    return report;
}

} // namespace kestrova::bench
