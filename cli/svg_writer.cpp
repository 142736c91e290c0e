#include "cli/svg_writer.h"

#include "cli/text_safety.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ostream>

namespace kestrova {

// A pixel coordinate with one decimal at most.
std::string Px(double value) {
    const auto tenths = static_cast<std::int64_t>(std::llround(value * 10));
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0) {
        if (tenths < 0 && tenths / 10 == 0)
            text = "-0";
        text += "." + std::to_string(std::llabs(tenths % 10));
    }
    return text;
}

void SvgWriter::begin(int width, int height, const std::string& title, std::string_view style) {
    out_ << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\""
         << height << "\" viewBox=\"0 0 " << width << ' ' << height << "\">\n"
         << "<title>" << XmlEscaped(title) << "</title>\n"
         << "<style>" << style << "</style>\n"
         << "<rect width=\"" << width << "\" height=\"" << height << "\" fill=\"#FFF\"/>\n";
}

void SvgWriter::end() {
    out_ << "</svg>\n";
}

void SvgWriter::text(double x, double y, std::string_view content, std::string_view cssClass,
                     std::string_view anchor, std::string_view tooltip) {
    out_ << "<text x=\"" << Px(x) << "\" y=\"" << Px(y) << '"';
    if (!cssClass.empty())
        out_ << " class=\"" << cssClass << '"';
    if (!anchor.empty())
        out_ << " text-anchor=\"" << anchor << '"';
    out_ << '>';
    if (!tooltip.empty())
        out_ << "<title>" << XmlEscaped(tooltip) << "</title>";
    out_ << XmlEscaped(content) << "</text>\n";
}

void SvgWriter::rect(double x, double y, double width, double height, std::string_view cssClass,
                     std::string_view tooltip) {
    out_ << "<rect class=\"" << cssClass << "\" x=\"" << Px(x) << "\" y=\"" << Px(y)
         << "\" width=\"" << Px(width) << "\" height=\"" << Px(height) << '"';
    if (tooltip.empty()) {
        out_ << "/>\n";
        return;
    }
    out_ << "><title>" << XmlEscaped(tooltip) << "</title></rect>\n";
}

void SvgWriter::path(std::string_view cssClass, const std::string& data, std::string_view tooltip) {
    if (data.empty())
        return;
    out_ << "<path class=\"" << cssClass << "\" d=\"" << data << '"';
    if (tooltip.empty()) {
        out_ << "/>\n";
        return;
    }
    out_ << "><title>" << XmlEscaped(tooltip) << "</title></path>\n";
}

} // namespace kestrova
