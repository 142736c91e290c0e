// --format junit: a JUnit XML report for CI servers (Jenkins, GitLab): one testcase per project,
// a failure per warning or gap, an error for a project that is not well-formed or whose check
// stopped. The counts stand in the root's attributes, so the report is written whole at the end.

#include "cli/finding_list.h"
#include "cli/output_format.h"
#include "cli/text_safety.h"

#include <charconv>
#include <ostream>
#include <string>

namespace kestrova {
namespace {

constexpr const char* kSuiteName = "kpjcheck";

// Seconds with three decimals and a decimal point, whatever the locale.
std::string Seconds(double seconds) {
    char text[64];
    const auto written =
        std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 3);
    return std::string(text, written.ptr);
}

class JunitFormat final : public OutputFormat {
public:
    void write(std::ostream&, const ProjectCheck& check) override {
        const std::string file = XmlEscaped(check.result.file);
        const double took = check.took.count();
        cases_ += "    <testcase name=\"" + file + "\" classname=\"" + kSuiteName + "\" file=\"" +
                  file + "\" time=\"" + Seconds(took) + "\"";
        const std::vector<Finding> findings = FindingsOf(check.result);
        if (findings.empty()) {
            cases_ += "/>\n";
        } else {
            cases_ += ">\n";
            for (const Finding& finding : findings)
                writeFinding(file, finding);
            cases_ += "    </testcase>\n";
        }
        ++tests_;
        seconds_ += took;
    }

    void finish(std::ostream& out) override {
        const std::string counts = "tests=\"" + std::to_string(tests_) + "\" failures=\"" +
                                   std::to_string(failures_) + "\" errors=\"" +
                                   std::to_string(errors_) + "\"";
        const std::string time = "time=\"" + Seconds(seconds_) + "\"";
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            << "<testsuites name=\"" << kSuiteName << "\" " << counts << ' ' << time << ">\n"
            << "  <testsuite name=\"" << kSuiteName << "\" " << counts << " skipped=\"0\" " << time
            << ">\n"
            << cases_ << "  </testsuite>\n</testsuites>\n";
    }

private:
    // "<failure>" or "<error>" with the finding's wording and line, for the test's page.
    void writeFinding(const std::string& file, const Finding& finding) {
        const FindingRule& rule = RuleOf(finding.kind);
        const char* element = rule.error ? "error" : "failure";
        ++(rule.error ? errors_ : failures_);
        const std::string where =
            finding.line > 0 ? "line " + std::to_string(finding.line) + ": " : std::string();
        const std::string message = XmlEscaped(where + finding.message);
        const std::string located =
            finding.line > 0 ? file + ":" + std::to_string(finding.line) : file;
        cases_ += "      <";
        cases_ += element;
        cases_ += " type=\"" + std::string(rule.id) + "\" message=\"" + message + "\">" + located +
                  ": " + XmlEscaped(finding.message) + "</" + element + ">\n";
    }

    std::string cases_;
    std::size_t tests_ = 0;
    std::size_t failures_ = 0;
    std::size_t errors_ = 0;
    double seconds_ = 0;
};

} // namespace

std::unique_ptr<OutputFormat> MakeJunitFormat() {
    return std::make_unique<JunitFormat>();
}

} // namespace kestrova
