#pragma once
// One check's findings as pipeline formats list them: each warning, gap, parse failure or stop
// as one entry with its kind, the report's own wording and the project file's line.

#include "check/check_result.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

enum class FindingKind { ZeroLength, NegativeLength, Gap, NotWellFormed, CheckStopped };

// What a kind of finding is, for the formats that name it.
struct FindingRule {
    FindingKind kind;
    std::string_view id;    // stable, for tools that track findings across runs
    std::string_view title; // a short sentence
    bool error;             // the project could not be checked; else a warning
};

inline constexpr std::array<FindingRule, 5> kFindingRules{{
    {FindingKind::ZeroLength, "zero-length-item", "Zero length item", false},
    {FindingKind::NegativeLength, "negative-length-item", "Negative length item", false},
    {FindingKind::Gap, "timeline-gap", "Gap on timeline", false},
    {FindingKind::NotWellFormed, "not-well-formed", "Project file is not well-formed XML", true},
    {FindingKind::CheckStopped, "check-stopped", "Check stopped", true},
}};

const FindingRule& RuleOf(FindingKind kind);

struct Finding {
    FindingKind kind;
    std::string message; // the report's wording, on one line
    std::uint32_t line;  // the project file's line; 0 when none is known
};

// The findings in report order: the warnings, the gaps, then a parse failure or a stop.
std::vector<Finding> FindingsOf(const CheckResult& result);

} // namespace kestrova
