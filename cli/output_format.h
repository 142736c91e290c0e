#pragma once
// How kpjcheck writes the results of one call to standard output. The call's projects are
// checked (perhaps several at once), and their results reach the format one by one in the order
// the projects were named; the format writes them as its readers expect: a report per project,
// a JSON line per project, or one document for the whole call.

#include "check/check_result.h"

#include <chrono>
#include <iosfwd>
#include <memory>
#include <string_view>

namespace kestrova {

// One project's check as the output sees it.
struct ProjectCheck {
    const CheckResult& result;
    std::chrono::duration<double> took; // from the start of its check to its result
};

class OutputFormat {
public:
    virtual ~OutputFormat() = default;
    // Before the first project: what the whole call's output opens with.
    virtual void begin(std::ostream& out) { (void)out; }
    // One project, in the order the projects were named.
    virtual void write(std::ostream& out, const ProjectCheck& check) = 0;
    // After the last project (also when the call checked none or stopped early).
    virtual void finish(std::ostream& out) { (void)out; }
};

// The report text, one per project, as the window shows it.
std::unique_ptr<OutputFormat> MakeTextFormat();
// One JSON object per project, one per line.
std::unique_ptr<OutputFormat> MakeJsonFormat();
// One SARIF 2.1.0 log for the whole call.
std::unique_ptr<OutputFormat> MakeSarifFormat();
// One JUnit XML report for the whole call, a testcase per project.
std::unique_ptr<OutputFormat> MakeJunitFormat();
// A GitHub workflow command per finding.
std::unique_ptr<OutputFormat> MakeGithubFormat();
// A "file:line: warning: message" line per finding.
std::unique_ptr<OutputFormat> MakeGnuFormat();

// The names --format takes, as the usage text lists them.
inline constexpr std::string_view kFormatNames = "text|json|sarif|junit|github|gnu";
// The format of that name, or none for a name that is not one.
std::unique_ptr<OutputFormat> MakeFormatNamed(std::string_view name);

} // namespace kestrova
