#pragma once
// The gap scan walked literally: every pass walks the document again and converts every time
// text again, pass after pass until coverage stops moving. Quadratic, but plainly right; the
// fast scan is compared against it.

#include "check/findings.h"
#include "check/run_state.h"
#include "check/xml_document.h"

#include <utility>
#include <vector>

namespace kestrova {

void ScanTimelineGapsLiteral(const XmlNode& multilayer, CheckRunState& state, Findings& findings);

// The gaps a scan found, as pairs of their ends, for comparing two scans.
inline std::vector<std::pair<Millis, Millis>> GapSpans(const CheckResult& result) {
    std::vector<std::pair<Millis, Millis>> spans;
    for (const GapFound& gap : result.gaps)
        spans.emplace_back(gap.from, gap.to);
    return spans;
}

} // namespace kestrova
