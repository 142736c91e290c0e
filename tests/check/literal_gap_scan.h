#pragma once
// The gap scan walked literally: every pass walks the document again and converts every time
// text again, pass after pass until coverage stops moving. Quadratic, but plainly right; the
// fast scan is compared against it.

#include "check/report_text.h"
#include "check/run_state.h"
#include "check/xml_document.h"

namespace kestrova {

void ScanTimelineGapsLiteral(const XmlNode& multilayer, CheckRunState& state, ReportText& report);

} // namespace kestrova
