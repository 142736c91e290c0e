#pragma once

#include "check/findings.h"
#include "check/run_state.h"

#include <vector>

namespace kestrova {

// Finds every stretch between 0 and the end of the timeline that no visual item of a live layer
// covers, one gap each, in time order. Works on the visual items the layer survey returned, in
// n log n time, and finds the same gaps as walking the document pass after pass until coverage
// stops moving.
void ScanTimelineGaps(const std::vector<VisualItem>& visualItems, CheckRunState& state,
                      Findings& findings);

} // namespace kestrova
