#pragma once

#include "check/findings.h"
#include "check/run_state.h"
#include "check/xml_document.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

// " 1: \tname" for layers 1 to 9, "10: \tname" from 10 on.
std::string LayerLine(std::int64_t layerNumber, std::string_view name);

// Lists the layers, marks scrapped ones, finds the end of the timeline and warns about items of
// zero or negative length, into the findings. Returns the visual items of live layers, in
// document order, for the gap scan. Throws DocumentProblem when the document lacks the document
// element or the multilayer element, or holds a time or text it cannot read.
std::vector<VisualItem> SurveyLayers(const XmlDocument& document, CheckRunState& state,
                                     Findings& findings);

} // namespace kestrova
