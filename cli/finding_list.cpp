#include "cli/finding_list.h"

#include "check/findings.h"
#include "check/report_writer.h"

#include <algorithm>

namespace kestrova {
namespace {

// A message from the parser or a stop may span lines; a finding gives it one.
std::string OneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

std::string WarningText(const LengthWarning& warning) {
    using namespace report_line;
    std::string text = warning.negative() ? std::string(kNegativeLength) : std::string(kZeroLength);
    text += FormatTime(warning.start);
    if (warning.negative()) {
        text += kNegativeLengthTo;
        text += FormatTime(warning.end);
    }
    return text.substr(1); // without the report's leading tab
}

std::string GapText(const GapFound& gap) {
    using namespace report_line;
    return std::string(kGapFrom) + FormatTime(gap.from) + std::string(kGapTo) + FormatTime(gap.to);
}

} // namespace

const FindingRule& RuleOf(FindingKind kind) {
    return kFindingRules[static_cast<std::size_t>(kind)];
}

std::vector<Finding> FindingsOf(const CheckResult& result) {
    std::vector<Finding> findings;
    findings.reserve(result.warnings.size() + result.gaps.size() + 1);
    for (const LengthWarning& warning : result.warnings)
        findings.push_back(
            {warning.negative() ? FindingKind::NegativeLength : FindingKind::ZeroLength,
             WarningText(warning), warning.fileLine});
    for (const GapFound& gap : result.gaps)
        findings.push_back({FindingKind::Gap, GapText(gap), gap.fileLine});
    if (result.parseError) {
        const auto line = static_cast<std::uint32_t>(std::max(result.parseError->line, 0L));
        findings.push_back(
            {FindingKind::NotWellFormed,
             std::string(report_line::kNotParsed) + ": " + OneLine(result.parseError->reason),
             line});
    }
    if (result.stop)
        findings.push_back({FindingKind::CheckStopped,
                            std::string(report_line::kStopped) + OneLine(result.stop->message), 0});
    return findings;
}

} // namespace kestrova
