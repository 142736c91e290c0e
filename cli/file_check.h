#pragma once
// One project file checked for kpjcheck: the outcome, the report as the box holds it, and the
// findings gathered from the same run for the JSON report and the timeline picture.

#include "check/check_observer.h"
#include "check/check_run.h"
#include "check/platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrova {

struct LayerFound {
    std::int64_t number = 0;
    std::optional<std::string> name; // the layer's own name text; none without a name element
    bool scrapped = false;
};

struct ItemFound {
    std::int64_t layer = 0;
    ItemKind kind = ItemKind::Video;
    Millis start = 0; // as the item was judged by
    Millis end = 0;
};

// A zero-length (start == end) or negative-length (start > end) item warning.
struct LengthWarningFound {
    std::int64_t layer = 0;
    Millis start = 0;
    Millis end = 0;

    bool negative() const { return start > end; }
};

struct GapFound {
    Millis from = 0;
    Millis to = 0;
};

// Everything the layer survey and the gap scan told, in the order they told it. After a stopped
// check it holds what was found up to the stop.
class Findings final : public CheckObserver {
public:
    void itemRead(std::int64_t layer, ItemKind kind, Millis start, Millis end) override;
    void lengthWarning(std::int64_t layer, Millis start, Millis end) override;
    void layerRead(std::int64_t layer, std::optional<std::string_view> ownName,
                   bool scrapped) override;
    void timelineEndFound(Millis timelineEnd) override;
    void gapFound(Millis from, Millis to) override;

    std::vector<LayerFound> layers;
    std::vector<ItemFound> items;
    std::vector<LengthWarningFound> warnings;
    std::vector<GapFound> gaps;
    // Known once the layer survey has finished.
    std::optional<Millis> timelineEnd;
};

struct FileCheck {
    std::string path; // as given on the command line
    CheckOutcome outcome;
    std::string report; // the whole report text, CR LF line breaks included
    Findings findings;
};

// Runs one check of `path`, with the working copy beside the project file.
FileCheck CheckProjectFile(const std::string& path, RandomSource& random, MessageDisplay& messages);

// kpjcheck's exit status for one file: 0 no errors found, 1 findings, 2 not checked.
int ExitStatusOf(CheckStatus status);

// "no-errors", "errors-found", "not-parsed" or "stopped".
const char* StatusName(CheckStatus status);

// A time text as the report writes it, or nothing for a count the report cannot write (a check
// that met one stopped there).
std::optional<std::string> ReportTime(Millis count);

} // namespace kestrova
