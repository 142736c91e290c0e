#include "literal_gap_scan.h"

#include "check/gap_scan.h"
#include "check/layer_survey.h"

namespace kestrova {
namespace {

// Walks the visual items of live layers in document order, reading their times into the run's
// carried itemStart and itemEnd, and hands each item's values to the pass's test.
template <typename Test>
void WalkVisualItems(const XmlNode& multilayer, CheckRunState& state, Test test) {
    std::int64_t layerNumber = 0;
    for (const XmlNode layer : multilayer.childNodes()) {
        if (layer.kind() != ElementKind::Layer)
            continue;
        ++layerNumber;
        if (state.isScrapped(layerNumber))
            continue;
        for (const XmlNode item : layer.childNodes()) {
            const std::optional<ItemKind> kind = ItemKindOf(item.kind());
            if (!kind || !CoversTimeline(*kind))
                continue;
            for (const XmlNode child : item.childNodes()) {
                if (child.kind() == ElementKind::StartTime)
                    state.itemStart = ParseTimeText(child.text());
                else if (child.kind() == ElementKind::EndTime)
                    state.itemEnd = ParseTimeText(child.text());
            }
            test(state.itemStart, state.itemEnd);
        }
    }
}

} // namespace

void ScanTimelineGapsLiteral(const XmlNode& multilayer, CheckRunState& state, Findings& findings) {
    Millis coveredTo = 0;
    bool coverageResumes = true;
    while (coverageResumes) {
        coverageResumes = false;
        bool coverageExtended = true;
        while (coverageExtended) {
            coverageExtended = false;
            WalkVisualItems(multilayer, state, [&](Millis start, Millis end) {
                if (start <= coveredTo && end > coveredTo) {
                    coveredTo = end;
                    coverageExtended = true;
                }
            });
        }
        if (coveredTo >= state.timelineEnd)
            break;
        const Millis gapStart = coveredTo;
        Millis gapEnd = state.timelineEnd;
        WalkVisualItems(multilayer, state, [&](Millis start, Millis) {
            if (start < gapEnd && start > coveredTo) {
                gapEnd = start;
                coverageResumes = true;
            }
        });
        coveredTo = gapEnd;
        findings.gap({gapStart, coveredTo});
        state.errorsFound = true;
    }
}

} // namespace kestrova
