#pragma once
// What one check of a project file found. The engine returns it; the report text, the message,
// the JSON object, the timeline picture and every window are drawn from it.

#include "check/parse_error.h"
#include "check/project_vocabulary.h"
#include "timefmt/timefmt.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrova {

enum class CheckStatus {
    NoErrors,    // the report ends with "No errors found"
    ErrorsFound, // the report holds at least one warning or gap line
    NotParsed,   // the project is not well-formed XML
    Stopped,     // the check could not go on; the report ends with "Check stopped: "
};

// How far the check got before its findings were complete: which of the report's fixed lines
// stand before the findings and the closing line.
enum class CheckStage : std::uint8_t {
    Reading,   // making the working copy and parsing it; no report line yet
    Surveying, // the header and "Layers:" are written; layer lines and warnings follow
    Scanning,  // the layer list and its line break are written; gap lines follow
};

// A layer's line as the report holds it. A layer without a name element repeats the line of the
// layer before it, so the line is kept whole rather than made again from the name.
struct LayerFound {
    std::int64_t number = 0;
    std::string line;
    std::optional<std::string> ownName; // the text of its own name element, if it has one
    bool scrapped = false;
    std::uint32_t fileLine = 0; // the project file's line of its <layer> start tag
};

// A zero-length (start == end) or negative-length (start > end) item warning.
struct LengthWarning {
    std::int64_t layer = 0;
    Millis start = 0;
    Millis end = 0;
    std::uint32_t fileLine = 0; // the project file's line of its item's start tag

    bool negative() const { return start > end; }
};

struct GapFound {
    Millis from = 0;
    Millis to = 0;
    // The project file's line of the item whose end begins the gap (of an item that covers
    // nothing, whose start begins it); for a gap at the timeline's start, of the item whose
    // start ends it; for a gap that no item bounds at all, of the item whose end made the
    // timeline's end. Of items that end or start together, the first in the file.
    std::uint32_t fileLine = 0;
};

// An item of any kind, on any layer, with the start and end it was judged by (a missing time is
// the one read before it).
struct ItemFound {
    std::int64_t layer = 0;
    ItemKind kind = ItemKind::Video;
    Millis start = 0;
    Millis end = 0;
};

enum class StopCause {
    FileAccess, // the project file or the working copy failed at the file-system level
    Document,   // the document lacks what the check reads, or holds what it cannot use
    Memory,     // there was not enough memory
};

struct CheckStop {
    StopCause cause = StopCause::Document;
    std::string message; // a complete sentence for the user, naming the file
};

struct CheckResult {
    std::string file; // the project file's path as it was given
    CheckStatus status = CheckStatus::Stopped;
    CheckStage reached = CheckStage::Reading;
    // In report order within each list; ForEachReportLine interleaves them as the report does.
    std::vector<LayerFound> layers;
    std::vector<LengthWarning> warnings;
    std::vector<GapFound> gaps;
    // Every item read, when the check was asked to keep them (the timeline picture draws them).
    std::vector<ItemFound> items;
    // Known once the layer survey has finished.
    std::optional<Millis> timelineEnd;
    std::optional<ParseError> parseError; // for NotParsed
    std::optional<CheckStop> stop;        // for Stopped

    bool checked() const {
        return status == CheckStatus::NoErrors || status == CheckStatus::ErrorsFound;
    }
};

} // namespace kestrova
