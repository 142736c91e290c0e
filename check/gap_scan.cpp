#include "check/gap_scan.h"

#include <algorithm>
#include <vector>

namespace kestrova {
namespace {

struct Span {
    Millis start;
    Millis end;
};

// The items' times as every walk after the first one reads them: an item lacking a start or an
// end takes the value read before it, and the first items take the values the previous walk
// ended with, which are the last item's.
class SteadyTimeline {
public:
    SteadyTimeline(const std::vector<VisualItem>& items, Millis carriedStart, Millis carriedEnd) {
        starts_.reserve(items.size());
        std::vector<Span> spans;
        spans.reserve(items.size());
        for (const VisualItem& item : items) {
            carriedStart = item.hasStart ? item.start : carriedStart;
            carriedEnd = item.hasEnd ? item.end : carriedEnd;
            starts_.push_back(carriedStart);
            if (carriedStart < carriedEnd)
                spans.push_back({carriedStart, carriedEnd});
        }
        std::sort(starts_.begin(), starts_.end());
        mergeTouching(spans);
    }

    // Where coverage stops when it starts at `coveredTo`: the end of the joined stretch of items
    // that holds it, or `coveredTo` itself when no item covers it.
    Millis coverageFrom(Millis coveredTo) const {
        auto after = std::upper_bound(covered_.begin(), covered_.end(), coveredTo,
                                      [](Millis at, const Span& span) { return at < span.start; });
        if (after == covered_.begin())
            return coveredTo;
        const Span& holder = *std::prev(after);
        return coveredTo < holder.end ? holder.end : coveredTo;
    }

    // The earliest item start after `coveredTo` and before `limit`, if there is one.
    bool nextStart(Millis coveredTo, Millis limit, Millis& start) const {
        auto next = std::upper_bound(starts_.begin(), starts_.end(), coveredTo);
        if (next == starts_.end() || *next >= limit)
            return false;
        start = *next;
        return true;
    }

private:
    void mergeTouching(std::vector<Span>& spans) {
        covered_.reserve(spans.size());
        std::sort(spans.begin(), spans.end(),
                  [](const Span& a, const Span& b) { return a.start < b.start; });
        for (const Span& span : spans) {
            if (!covered_.empty() && span.start <= covered_.back().end)
                covered_.back().end = std::max(covered_.back().end, span.end);
            else
                covered_.push_back(span);
        }
    }

    std::vector<Millis> starts_;
    std::vector<Span> covered_;
};

// The very first walk reads the items with the values the layer survey left, one after another;
// coverage moves over every item that starts at or before it and ends after it.
struct FirstPass {
    Millis coveredTo = 0;
    bool moved = false;
    Millis lastStart;
    Millis lastEnd;
};

FirstPass RunFirstCoveragePass(const std::vector<VisualItem>& items, Millis start, Millis end) {
    FirstPass pass{0, false, start, end};
    for (const VisualItem& item : items) {
        pass.lastStart = item.hasStart ? item.start : pass.lastStart;
        pass.lastEnd = item.hasEnd ? item.end : pass.lastEnd;
        if (pass.lastStart <= pass.coveredTo && pass.lastEnd > pass.coveredTo) {
            pass.coveredTo = pass.lastEnd;
            pass.moved = true;
        }
    }
    return pass;
}

// Every gap from `coveredTo` on, in time order.
template <typename Visit>
void ForEachGap(const SteadyTimeline& timeline, Millis coveredTo, Millis timelineEnd, Visit visit) {
    while (coveredTo < timelineEnd) {
        Millis gapEnd = timelineEnd;
        const bool coverageResumes = timeline.nextStart(coveredTo, timelineEnd, gapEnd);
        visit(coveredTo, gapEnd);
        if (!coverageResumes)
            break;
        coveredTo = timeline.coverageFrom(gapEnd);
    }
}

} // namespace

void ScanTimelineGaps(const std::vector<VisualItem>& visualItems, CheckRunState& state,
                      Findings& findings) {
    const FirstPass first = RunFirstCoveragePass(visualItems, state.itemStart, state.itemEnd);
    state.itemStart = first.lastStart;
    state.itemEnd = first.lastEnd;
    Millis coveredTo = first.coveredTo;
    if (!first.moved && coveredTo >= state.timelineEnd)
        return;

    const SteadyTimeline timeline(visualItems, first.lastStart, first.lastEnd);
    // A first pass that moved nothing ends the first coverage step at once.
    if (first.moved)
        coveredTo = timeline.coverageFrom(coveredTo);
    // Counted first, so that the list grows once: a growing list is copied at every doubling.
    std::size_t gaps = 0;
    ForEachGap(timeline, coveredTo, state.timelineEnd, [&](Millis, Millis) { ++gaps; });
    findings.reserveGaps(gaps);
    ForEachGap(timeline, coveredTo, state.timelineEnd, [&](Millis from, Millis to) {
        findings.gap(from, to);
        state.errorsFound = true;
    });
}

} // namespace kestrova
