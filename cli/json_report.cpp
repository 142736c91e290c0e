#include "cli/json_report.h"

#include "cli/text_safety.h"

#include <ostream>

namespace kestrova {
namespace {

using Json = nlohmann::ordered_json;

Json Layers(const std::vector<LayerFound>& layers) {
    Json list = Json::array();
    for (const LayerFound& layer : layers) {
        Json entry;
        entry["number"] = layer.number;
        entry["name"] = layer.name ? Json(ValidUtf8(*layer.name)) : Json(nullptr);
        entry["scrapped"] = layer.scrapped;
        list.push_back(std::move(entry));
    }
    return list;
}

// A warning whose time the report could not write never reached the report (the check stopped
// there), so it is left out here too.
Json Warnings(const std::vector<LengthWarningFound>& warnings) {
    Json list = Json::array();
    for (const LengthWarningFound& warning : warnings) {
        const std::optional<std::string> at = ReportTime(warning.start);
        const std::optional<std::string> to = ReportTime(warning.end);
        if (!at || (warning.negative() && !to))
            continue;
        Json entry;
        entry["kind"] = warning.negative() ? "negative-length" : "zero-length";
        entry["layer"] = warning.layer;
        entry["at"] = *at;
        entry["atMs"] = warning.start;
        if (warning.negative()) {
            entry["to"] = *to;
            entry["toMs"] = warning.end;
        }
        list.push_back(std::move(entry));
    }
    return list;
}

Json Gaps(const std::vector<GapFound>& gaps) {
    Json list = Json::array();
    for (const GapFound& gap : gaps) {
        Json entry;
        entry["from"] = ReportTime(gap.from).value_or("");
        entry["to"] = ReportTime(gap.to).value_or("");
        entry["fromMs"] = gap.from;
        entry["toMs"] = gap.to;
        list.push_back(std::move(entry));
    }
    return list;
}

} // namespace

Json JsonReport(FileCheck&& check) {
    const CheckStatus status = check.outcome.status;
    Json report;
    report["file"] = ValidUtf8(std::move(check.path));
    report["status"] = StatusName(status);
    report["exit"] = ExitStatusOf(status);
    report["report"] = ValidUtf8(std::move(check.report));
    report["layers"] = Layers(check.findings.layers);
    report["warnings"] = Warnings(check.findings.warnings);
    report["gaps"] = Gaps(check.findings.gaps);
    report["timelineEndMs"] =
        check.findings.timelineEnd ? Json(*check.findings.timelineEnd) : Json(nullptr);
    report["message"] = check.outcome.description.empty()
                            ? Json(nullptr)
                            : Json(ValidUtf8(std::move(check.outcome.description)));
    return report;
}

void WriteJsonLine(std::ostream& out, const Json& report) {
    out << report << '\n';
}

} // namespace kestrova
