#pragma once
// What a check run found, told as it is found, for front ends that present more than the report
// text (a machine-readable report, a picture of the timeline). The report text stays the one
// record of the run; an observer only sees the same findings as they are appended.

#include "timefmt/timefmt.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrova {

enum class ItemKind { Effect, Bitmap, Video, Audio, Filter };

class CheckObserver {
public:
    virtual ~CheckObserver() = default;
    // An item of any kind, on any layer, with the start and end it was judged by (a missing
    // time is the one read before it).
    virtual void itemRead(std::int64_t layer, ItemKind kind, Millis start, Millis end) = 0;
    // A zero-length (start == end) or negative-length (start > end) warning line.
    virtual void lengthWarning(std::int64_t layer, Millis start, Millis end) = 0;
    // A layer, once its line is in the report. `ownName` is the text of its own name element,
    // or nothing when it has none.
    virtual void layerRead(std::int64_t layer, std::optional<std::string_view> ownName,
                           bool scrapped) = 0;
    // The survey's end of the timeline, before the gap scan starts.
    virtual void timelineEndFound(Millis timelineEnd) = 0;
    // A gap line.
    virtual void gapFound(Millis from, Millis to) = 0;
};

} // namespace kestrova
