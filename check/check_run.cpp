#include "check/check_run.h"

#include "check/check_failure.h"
#include "check/file_access.h"
#include "check/gap_scan.h"
#include "check/layer_survey.h"
#include "check/report_text.h"
#include "check/working_copy.h"
#include "check/xml_document.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace kestrova {
namespace {

constexpr std::string_view kParseErrorLine =
    "There is an error in this file - it may be from an earlier version of Kestrova";
constexpr std::string_view kParseErrorFollowUp =
    " - this may not effect the build in Kestrova but stops this program from checking further.";

std::filesystem::path WorkingFolder(const std::string& projectFile, WorkingCopyPlace place) {
    if (place == WorkingCopyPlace::CurrentDirectory)
        return ".";
    const std::filesystem::path folder = PathFromUtf8(projectFile).parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

std::string OnOneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

class CheckRun {
public:
    CheckRun(CheckPorts ports, std::string projectFile)
        : ports_(ports), projectFile_(std::move(projectFile)) {
        state_.observer = ports.observer;
    }

    CheckOutcome execute() {
        try {
            return check();
        } catch (const CheckStopped& stop) {
            return stopped(stop.what());
        } catch (const DocumentProblem& problem) {
            return stopped("Cannot check \"" + projectFile_ + "\": " + problem.what() + ".");
        } catch (const std::bad_alloc&) {
            return stopped("Cannot check \"" + projectFile_ + "\": there is not enough memory.");
        }
    }

private:
    CheckOutcome check() {
        WorkingCopy copy = MakeWorkingCopy(
            PathFromUtf8(projectFile_), WorkingFolder(projectFile_, ports_.place), ports_.random);
        XmlDocument document;
        const ParseError& parseError = load(document, copy);

        report_.appendLine("Reporting on " + projectFile_);
        report_.appendLineBreak();
        if (parseError.errorCode != 0)
            return notParsed(parseError, copy);

        report_.appendLine("Layers:");
        SurveyLayers(document, state_, report_);
        report_.appendLineBreak();
        ScanTimelineGaps(state_, report_);
        // Removed before the closing line, so that a failure to remove it is never followed by
        // "No errors found".
        copy.remove();
        if (!state_.errorsFound)
            report_.appendLine("No errors found");
        showReport();
        return {state_.errorsFound ? CheckStatus::ErrorsFound : CheckStatus::NoErrors, {}};
    }

    const ParseError& load(XmlDocument& document, const WorkingCopy& copy) {
        try {
            return document.load(copy.path());
        } catch (const std::system_error& failure) {
            throw CheckStopped("Cannot load the working copy \"" + copy.path().filename().string() +
                               "\": " + failure.code().message() + ".");
        }
    }

    CheckOutcome notParsed(const ParseError& parseError, WorkingCopy& copy) {
        const std::string message = parseError.reason + "\r\n" + std::to_string(parseError.line);
        showReport();
        ports_.messages.showMessage(message);
        report_.appendLine(kParseErrorLine);
        report_.appendLine(kParseErrorFollowUp);
        copy.remove();
        showReport();
        return {CheckStatus::NotParsed, message};
    }

    CheckOutcome stopped(const std::string& reason) {
        report_.appendStopLine("Check stopped: " + OnOneLine(reason));
        showReport();
        ports_.messages.showMessage(reason);
        return {CheckStatus::Stopped, reason};
    }

    void showReport() { ports_.report.setText(report_.text()); }

    CheckPorts ports_;
    std::string projectFile_;
    ReportText report_;
    CheckRunState state_;
};

} // namespace

CheckOutcome RunCheck(CheckPorts ports) {
    std::optional<std::string> chosen = ports.files.chooseProjectFile();
    if (!chosen)
        return {CheckStatus::Cancelled, {}};
    return CheckRun(ports, std::move(*chosen)).execute();
}

} // namespace kestrova
