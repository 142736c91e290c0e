#include "check/gap_scan.h"

#include <algorithm>
#include <vector>

namespace kestrova {
namespace {

struct Span {
    Millis start;
    Millis end;
    std::uint32_t line; // of the item whose end is the span's end
};

// A point of the timeline with the line of the item whose time it is.
struct Bound {
    Millis at;
    std::uint32_t line;
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
            starts_.push_back({carriedStart, item.line});
            if (carriedStart < carriedEnd)
                spans.push_back({carriedStart, carriedEnd, item.line});
        }
        // Of items that start together, the first in the project names the start.
        std::sort(starts_.begin(), starts_.end(), [](const Bound& a, const Bound& b) {
            return a.at < b.at || (a.at == b.at && a.line < b.line);
        });
        mergeTouching(spans);
    }

    // Where coverage stops when it starts at `coveredTo`: the end of the joined stretch of items
    // that holds it, or `coveredTo` itself (with `line`) when no item covers it.
    Bound coverageFrom(Bound coveredTo) const {
        auto after = std::upper_bound(covered_.begin(), covered_.end(), coveredTo.at,
                                      [](Millis at, const Span& span) { return at < span.start; });
        if (after == covered_.begin())
            return coveredTo;
        const Span& holder = *std::prev(after);
        return coveredTo.at <= holder.end ? Bound{holder.end, holder.line} : coveredTo;
    }

    // The earliest item start after `coveredTo` and before `limit`, if there is one.
    bool nextStart(Millis coveredTo, Millis limit, Bound& start) const {
        auto next = std::upper_bound(starts_.begin(), starts_.end(), coveredTo,
                                     [](Millis at, const Bound& bound) { return at < bound.at; });
        if (next == starts_.end() || next->at >= limit)
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
            if (covered_.empty() || span.start > covered_.back().end) {
                covered_.push_back(span);
                continue;
            }
            // Of items that end together, the first in the project names the end.
            Span& joined = covered_.back();
            if (span.end > joined.end || (span.end == joined.end && span.line < joined.line))
                joined = {joined.start, span.end, span.line};
        }
    }

    std::vector<Bound> starts_;
    std::vector<Span> covered_;
};

// The very first walk reads the items with the values the layer survey left, one after another;
// coverage moves over every item that starts at or before it and ends after it.
struct FirstPass {
    Bound coveredTo{0, 0};
    bool moved = false;
    Millis lastStart;
    Millis lastEnd;
};

FirstPass RunFirstCoveragePass(const std::vector<VisualItem>& items, Millis start, Millis end) {
    FirstPass pass{{0, 0}, false, start, end};
    for (const VisualItem& item : items) {
        pass.lastStart = item.hasStart ? item.start : pass.lastStart;
        pass.lastEnd = item.hasEnd ? item.end : pass.lastEnd;
        if (pass.lastStart <= pass.coveredTo.at && pass.lastEnd > pass.coveredTo.at) {
            pass.coveredTo = {pass.lastEnd, item.line};
            pass.moved = true;
        }
    }
    return pass;
}

// Every gap from `coveredTo` on, in time order, each with its line: the line of the item whose
// end begins it, or when no item's end does (coverage never moved), of the item whose start ends
// it, or when none does either, of the item that made the timeline's end.
template <typename Visit>
void ForEachGap(const SteadyTimeline& timeline, Bound coveredTo, bool moved, Bound timelineEnd,
                Visit visit) {
    while (coveredTo.at < timelineEnd.at) {
        Bound gapEnd = timelineEnd;
        const bool coverageResumes = timeline.nextStart(coveredTo.at, timelineEnd.at, gapEnd);
        const std::uint32_t line = moved ? coveredTo.line : gapEnd.line;
        visit(GapFound{coveredTo.at, gapEnd.at, line});
        if (!coverageResumes)
            break;
        coveredTo = timeline.coverageFrom(gapEnd);
        moved = true;
    }
}

} // namespace

void ScanTimelineGaps(const std::vector<VisualItem>& visualItems, CheckRunState& state,
                      Findings& findings) {
    const FirstPass first = RunFirstCoveragePass(visualItems, state.itemStart, state.itemEnd);
    state.itemStart = first.lastStart;
    state.itemEnd = first.lastEnd;
    Bound coveredTo = first.coveredTo;
    if (!first.moved && coveredTo.at >= state.timelineEnd)
        return;

    const SteadyTimeline timeline(visualItems, first.lastStart, first.lastEnd);
    // A first pass that moved nothing ends the first coverage step at once.
    if (first.moved)
        coveredTo = timeline.coverageFrom(coveredTo);
    // Counted first, so that the list grows once: a growing list is copied at every doubling.
    const Bound timelineEnd{state.timelineEnd, state.timelineEndLine};
    std::size_t gaps = 0;
    ForEachGap(timeline, coveredTo, first.moved, timelineEnd, [&](const GapFound&) { ++gaps; });
    findings.reserveGaps(gaps);
    ForEachGap(timeline, coveredTo, first.moved, timelineEnd, [&](const GapFound& gap) {
        findings.gap(gap);
        state.errorsFound = true;
    });
}

} // namespace kestrova
