// --format sarif: one SARIF 2.1.0 log for the whole call, for code-scanning services. Every
// warning, gap, parse failure and stop is a result of its rule, with the report's wording and
// the project file's line; a path given relative stays relative to the folder kpjcheck ran in.

#include "cli/finding_list.h"
#include "cli/output_format.h"
#include "cli/text_safety.h"
#include "kestrova_version.h"

#include <nlohmann/json.hpp>

#include <ostream>

namespace kestrova {
namespace {

using Json = nlohmann::ordered_json;

// The folder kpjcheck ran in, which relative paths are relative to.
constexpr const char* kRunFolder = "%SRCROOT%";

#ifdef _WIN32
constexpr bool kBackslashSeparates = true;
#else
constexpr bool kBackslashSeparates = false;
#endif

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

bool IsDriveLetter(std::string_view path) {
    const unsigned char first = path.empty() ? 0 : static_cast<unsigned char>(path[0]);
    return kBackslashSeparates && path.size() >= 2 && path[1] == ':' &&
           ((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z'));
}

// The path's bytes as URI path characters: separators as "/", everything else that is not
// unreserved percent-encoded (so a ":" never reads as a scheme, a "%" never as an escape).
std::string UriPath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri;
    uri.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (c == '/' || (kBackslashSeparates && c == '\\'))
            uri += '/';
        else if (IsUnreserved(c) || (i == 1 && IsDriveLetter(path)))
            uri += static_cast<char>(c);
        else
            uri += {'%', kHex[c >> 4], kHex[c & 15]};
    }
    return uri;
}

// A relative path stays relative to the run's folder; an absolute one becomes a file URI.
Json ArtifactLocation(std::string_view path) {
    const std::string uriPath = UriPath(path);
    Json location;
    if (IsDriveLetter(path))
        location["uri"] = "file:///" + uriPath;
    else if (kBackslashSeparates && uriPath.starts_with("//"))
        location["uri"] = "file:" + uriPath; // a share: file://server/share/...
    else if (uriPath.starts_with('/'))
        location["uri"] = "file://" + uriPath;
    else {
        location["uri"] = uriPath;
        location["uriBaseId"] = kRunFolder;
    }
    return location;
}

Json Rules() {
    Json rules = Json::array();
    for (const FindingRule& rule : kFindingRules) {
        Json entry;
        entry["id"] = rule.id;
        entry["shortDescription"]["text"] = rule.title;
        entry["defaultConfiguration"]["level"] = rule.error ? "error" : "warning";
        rules.push_back(std::move(entry));
    }
    return rules;
}

Json Result(const std::string& file, const Finding& finding) {
    const FindingRule& rule = RuleOf(finding.kind);
    Json result;
    result["ruleId"] = rule.id;
    result["ruleIndex"] = static_cast<int>(finding.kind);
    result["level"] = rule.error ? "error" : "warning";
    result["message"]["text"] = ValidUtf8(finding.message);
    Json physical;
    physical["artifactLocation"] = ArtifactLocation(file);
    if (finding.line > 0)
        physical["region"]["startLine"] = finding.line;
    result["locations"] = Json::array({Json{{"physicalLocation", std::move(physical)}}});
    return result;
}

class SarifFormat final : public OutputFormat {
public:
    void begin(std::ostream& out) override {
        Json driver;
        driver["name"] = "kpjcheck";
        driver["fullName"] = "Kestrova Checker (kpjcheck)";
        driver["version"] = KESTROVA_VERSION_TEXT;
        driver["semanticVersion"] = KESTROVA_VERSION_TEXT;
        driver["rules"] = Rules();
        const std::string tool = Json{{"driver", std::move(driver)}}.dump();
        out << R"({"$schema":"https://json.schemastore.org/sarif-2.1.0.json","version":"2.1.0",)"
            << R"("runs":[{"tool":)" << tool << R"(,"columnKind":"utf16CodeUnits","results":[)";
    }

    // The results are written as they come, so that no project's findings wait for the rest.
    void write(std::ostream& out, const ProjectCheck& check) override {
        for (const Finding& finding : FindingsOf(check.result)) {
            out << (first_ ? "\n" : ",\n") << Result(check.result.file, finding).dump();
            first_ = false;
        }
    }

    void finish(std::ostream& out) override { out << "\n]}]}\n"; }

private:
    bool first_ = true;
};

} // namespace

std::unique_ptr<OutputFormat> MakeSarifFormat() {
    return std::make_unique<SarifFormat>();
}

} // namespace kestrova
