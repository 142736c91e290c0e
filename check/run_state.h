#pragma once
// The values one check run shares among its steps. Created fresh for every run.

#include "timefmt/timefmt.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova {

// A video, picture or effect item of a live layer, as the layer survey read it: its own last
// start and end time, where it has them. An item lacking one is judged with the value read
// before it. The survey hands them to the gap scan in document order.
struct VisualItem {
    Millis start = 0;
    Millis end = 0;
    bool hasStart = false;
    bool hasEnd = false;
    std::uint32_t line = 0; // the project file's line of its start tag
};

struct CheckRunState {
    bool errorsFound = false;
    // Scrapped flag per layer number; index 0 belongs to no layer. A layer beyond its end, or
    // whose entry was never written, counts as live.
    std::vector<bool> layerScrapped;
    Millis timelineEnd = 0;
    std::uint32_t timelineEndLine = 0; // the line of the item whose end made timelineEnd
    // The start and end time read last from any item; never reset during the run.
    Millis itemStart = 0;
    Millis itemEnd = 0;
    // Counts every layer element; the run goes on counting past 32,767.
    std::int64_t layerNumber = 0;
    std::string layerLine;

    bool isScrapped(std::int64_t layer) const {
        return layer >= 0 && static_cast<std::uint64_t>(layer) < layerScrapped.size() &&
               layerScrapped[static_cast<std::size_t>(layer)];
    }
};

} // namespace kestrova
