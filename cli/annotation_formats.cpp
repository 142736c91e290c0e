// Line-by-line formats for CI logs and editors: GitHub workflow commands ("::warning file=…,
// line=…,title=…::…"), which the Actions runner turns into annotations, and GNU-style
// "file:line: warning: …" lines, as compilers write them, which editors jump from.

#include "cli/finding_list.h"
#include "cli/output_format.h"

#include <ostream>

namespace kestrova {
namespace {

// A workflow command's text: "%", CR and LF are escaped, and in a property also ":" and ",".
std::string CommandEscaped(std::string_view text, bool property) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        if (c == '%')
            escaped += "%25";
        else if (c == '\r')
            escaped += "%0D";
        else if (c == '\n')
            escaped += "%0A";
        else if (property && c == ':')
            escaped += "%3A";
        else if (property && c == ',')
            escaped += "%2C";
        else
            escaped += c;
    }
    return escaped;
}

class GithubFormat final : public OutputFormat {
public:
    void write(std::ostream& out, const ProjectCheck& check) override {
        const std::string file = CommandEscaped(check.result.file, true);
        for (const Finding& finding : FindingsOf(check.result)) {
            const FindingRule& rule = RuleOf(finding.kind);
            out << "::" << (rule.error ? "error" : "warning") << " file=" << file;
            if (finding.line > 0)
                out << ",line=" << finding.line;
            out << ",title=" << CommandEscaped(rule.title, true)
                << "::" << CommandEscaped(finding.message, false) << '\n';
        }
    }
};

// A line break in a path would start a line of its own; it is written as the visible "?".
std::string OnOneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (c == '\r' || c == '\n')
            c = '?';
    }
    return line;
}

class GnuFormat final : public OutputFormat {
public:
    void write(std::ostream& out, const ProjectCheck& check) override {
        const std::string file = OnOneLine(check.result.file);
        for (const Finding& finding : FindingsOf(check.result)) {
            out << file;
            if (finding.line > 0)
                out << ':' << finding.line;
            out << ": " << (RuleOf(finding.kind).error ? "error" : "warning") << ": "
                << finding.message << '\n';
        }
    }
};

} // namespace

std::unique_ptr<OutputFormat> MakeGithubFormat() {
    return std::make_unique<GithubFormat>();
}

std::unique_ptr<OutputFormat> MakeGnuFormat() {
    return std::make_unique<GnuFormat>();
}

} // namespace kestrova
