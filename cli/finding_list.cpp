#include "cli/finding_list.h"

#include "check/report_lines.h"

#include <algorithm>

namespace kestrova {
namespace {

std::string WarningText(const LengthWarning& warning) {
    std::string text;
    PieceText out(text);
    report_lines::WarningText(out, warning);
    return text.substr(1); // without the report's leading tab
}

std::string GapText(const GapFound& gap) {
    std::string text;
    PieceText out(text);
    report_lines::GapText(out, gap);
    return text;
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
