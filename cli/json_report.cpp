#include "cli/json_report.h"

#include "check/report_writer.h"
#include "cli/text_safety.h"

#include <nlohmann/json.hpp>

#include <ostream>

namespace kestrova {
namespace {

using Json = nlohmann::ordered_json;

const char* StatusName(CheckStatus status) {
    switch (status) {
    case CheckStatus::NoErrors:
        return "no-errors";
    case CheckStatus::ErrorsFound:
        return "errors-found";
    case CheckStatus::NotParsed:
        return "not-parsed";
    default:
        return "stopped";
    }
}

// A JSON string's escaped characters, without its quotes: nlohmann's own escaping, so the
// report field is written exactly as a whole string would be.
void WriteEscaped(std::ostream& out, std::string_view text) {
    const std::string quoted = Json(ValidUtf8(std::string(text))).dump();
    out.write(quoted.data() + 1, static_cast<std::streamsize>(quoted.size() - 2));
}

Json Layer(const LayerFound& layer) {
    Json entry;
    entry["number"] = layer.number;
    entry["name"] = layer.ownName ? Json(ValidUtf8(*layer.ownName)) : Json(nullptr);
    entry["scrapped"] = layer.scrapped;
    entry["line"] = layer.fileLine;
    return entry;
}

Json Warning(const LengthWarning& warning) {
    Json entry;
    entry["kind"] = warning.negative() ? "negative-length" : "zero-length";
    entry["layer"] = warning.layer;
    entry["at"] = FormatTime(warning.start);
    entry["atMs"] = warning.start;
    if (warning.negative()) {
        entry["to"] = FormatTime(warning.end);
        entry["toMs"] = warning.end;
    }
    entry["line"] = warning.fileLine;
    return entry;
}

Json Gap(const GapFound& gap) {
    Json entry;
    entry["from"] = FormatTime(gap.from);
    entry["to"] = FormatTime(gap.to);
    entry["fromMs"] = gap.from;
    entry["toMs"] = gap.to;
    entry["line"] = gap.fileLine;
    return entry;
}

// A list written entry by entry.
template <typename Entry, typename ToJson>
void WriteList(std::ostream& out, const char* key, const std::vector<Entry>& entries,
               ToJson toJson) {
    out << ",\"" << key << "\":[";
    bool first = true;
    for (const Entry& entry : entries) {
        if (!first)
            out << ',';
        out << toJson(entry).dump();
        first = false;
    }
    out << ']';
}

} // namespace

int ExitStatusOf(CheckStatus status) {
    switch (status) {
    case CheckStatus::NoErrors:
        return 0;
    case CheckStatus::ErrorsFound:
        return 1;
    default:
        return 2;
    }
}

void WriteJsonReport(std::ostream& out, const CheckResult& result) {
    out << "{\"file\":" << Json(ValidUtf8(result.file)).dump();
    out << ",\"status\":" << Json(StatusName(result.status)).dump();
    out << ",\"exit\":" << ExitStatusOf(result.status);
    out << ",\"report\":\"";
    WriteReport(result, [&out](std::string_view piece) { WriteEscaped(out, piece); });
    out << '"';
    WriteList(out, "layers", result.layers, Layer);
    WriteList(out, "warnings", result.warnings, Warning);
    WriteList(out, "gaps", result.gaps, Gap);
    out << ",\"timelineEndMs\":"
        << (result.timelineEnd ? Json(*result.timelineEnd) : Json()).dump();
    const std::string message = MessageText(result);
    out << ",\"message\":" << (message.empty() ? Json() : Json(ValidUtf8(message))).dump();
    out << ",\"schemaVersion\":" << kJsonSchemaVersion << "}\n";
}

} // namespace kestrova
