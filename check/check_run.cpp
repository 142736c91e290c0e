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
#include <optional>
#include <vector>

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
        // The copy hands its bytes to the parser as it writes them, so the file is read once.
        DocumentParser parser;
        WorkingCopy copy =
            MakeWorkingCopy(PathFromUtf8(projectFile_), WorkingFolder(projectFile_, ports_.place),
                            ports_.random, &parser);
        std::optional<XmlDocument> document(parser.finish());

        report_.appendLine("Reporting on " + projectFile_);
        report_.appendLineBreak();
        if (document->parseError().errorCode != 0)
            return notParsed(document->parseError(), copy);

        report_.appendLine("Layers:");
        const std::vector<VisualItem> visualItems = SurveyLayers(*document, state_, report_);
        document.reset(); // the scan needs only the items
        report_.appendLineBreak();
        ScanTimelineGaps(visualItems, state_, report_);
        // Removed before the closing line, so that a failure to remove it is never followed by
        // "No errors found".
        copy.remove();
        if (!state_.errorsFound)
            report_.appendLine("No errors found");
        handOverReport();
        return {state_.errorsFound ? CheckStatus::ErrorsFound : CheckStatus::NoErrors, {}};
    }

    CheckOutcome notParsed(const ParseError& parseError, WorkingCopy& copy) {
        const std::string message = parseError.reason + "\r\n" + std::to_string(parseError.line);
        showReport();
        ports_.messages.showMessage(message);
        report_.appendLine(kParseErrorLine);
        report_.appendLine(kParseErrorFollowUp);
        copy.remove();
        handOverReport();
        return {CheckStatus::NotParsed, message};
    }

    CheckOutcome stopped(const std::string& reason) {
        const std::string stopLine = "Check stopped: " + OnOneLine(reason);
        try {
            report_.appendStopLine(stopLine);
        } catch (const std::bad_alloc&) {
            // No room to lengthen a report that has grown this far: the stop line alone says
            // why the run ends, rather than ending with no report at all.
            report_ = ReportText();
            report_.appendStopLine(stopLine);
        }
        handOverReport();
        ports_.messages.showMessage(reason);
        return {CheckStatus::Stopped, reason};
    }

    // Shows the report as far as it has got; the run goes on writing it.
    void showReport() { ports_.report.setText(report_.text()); }
    // Moves the finished report into the box.
    void handOverReport() { ports_.report.setText(report_.take()); }

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
