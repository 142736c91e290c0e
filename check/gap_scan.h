#pragma once

#include "check/report_text.h"
#include "check/run_state.h"

#include <string>
#include <vector>

namespace kestrova {

// "Gap on timeline from:  <from>  to:  <to>"
std::string GapLine(Millis from, Millis to);

// Reports every stretch between 0 and the end of the timeline that no visual item of a live
// layer covers, one gap line each, in time order. Works on the visual items the layer survey
// returned, in n log n time, and gives the same lines as walking the document pass after pass
// until coverage stops moving.
void ScanTimelineGaps(const std::vector<VisualItem>& visualItems, CheckRunState& state,
                      ReportText& report);

} // namespace kestrova
