#include "cli/kpjcheck.h"

#include "check/check_run.h"
#include "kestrova_version.h"

#include <algorithm>
#include <ostream>

namespace kestrova {
namespace {

constexpr const char* kUsage =
    "Usage: kpjcheck FILE...\n"
    "Checks Kestrova project files (*.kpj): lists the timeline's layers, warns about items of\n"
    "zero or negative length and reports every gap in the video layers.\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "Exit status: 0 no errors found, 1 warnings or gaps found, 2 a file could not be checked.\n";

// Line breaks as the terminal expects them.
std::string WithNewlines(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        result += text[i];
    }
    return result;
}

class GivenFile final : public FileSelection {
public:
    explicit GivenFile(std::string path) : path_(std::move(path)) {}
    std::optional<std::string> chooseProjectFile() override { return path_; }

private:
    std::string path_;
};

class MessagesToStream final : public MessageDisplay {
public:
    MessagesToStream(std::ostream& err, std::string prefix)
        : err_(err), prefix_(std::move(prefix)) {}
    void showMessage(const std::string& text) override {
        err_ << prefix_ << ": " << WithNewlines(text) << '\n';
    }

private:
    std::ostream& err_;
    std::string prefix_;
};

int StatusOf(CheckStatus status) {
    switch (status) {
    case CheckStatus::NoErrors:
        return kAllClean;
    case CheckStatus::ErrorsFound:
        return kFindings;
    default:
        return kNotChecked;
    }
}

int CheckFile(const std::string& path, RandomSource& random, std::ostream& out, std::ostream& err) {
    GivenFile file(path);
    MessagesToStream messages(err, path);
    StringReportBox report;
    const CheckOutcome outcome =
        RunCheck({file, messages, report, random, WorkingCopyPlace::ProjectFolder});
    out << WithNewlines(report.text()) << '\n';
    out.flush();
    return StatusOf(outcome.status);
}

int UsageError(std::ostream& err, const std::string& problem) {
    err << "kpjcheck: " << problem << '\n' << kUsage;
    return kNotChecked;
}

} // namespace

int RunKpjcheck(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            files.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            out << kUsage;
            return kAllClean;
        } else if (argument == "--version") {
            out << "kpjcheck " KESTROVA_VERSION_TEXT "\n";
            return kAllClean;
        } else {
            return UsageError(err, "unknown option '" + argument + "'");
        }
    }
    if (files.empty())
        return UsageError(err, "no project file given");

    // One generator for the whole process: its position carries over from file to file.
    UnseededRandom random;
    int status = kAllClean;
    for (const std::string& file : files)
        status = std::max(status, CheckFile(file, random, out, err));
    return status;
}

} // namespace kestrova
