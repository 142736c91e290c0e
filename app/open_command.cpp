#include "app/open_command.h"

#include "check/check_project.h"
#include "check/report_lines.h"
#include "check/report_writer.h"

#include <new>

namespace kestrova {
namespace {

// The report box's text for the result. A report too large to be written out in the memory
// left gives way to the stop line alone, so that the box still says why the check ends.
std::string BoxText(const CheckResult& result, std::string& lateStop) {
    try {
        return ReportText(result);
    } catch (const std::bad_alloc&) {
        lateStop = "Cannot show the report of \"" + result.file + "\": there is not enough memory.";
        return std::string(report_line::kLineBreak) + std::string(report_line::kStopped) + lateStop;
    }
}

} // namespace

std::optional<CheckResult> RunOpenCommand(FileSelection& files, MessageDisplay& messages,
                                          ReportBox& report, RandomSource& random) {
    const std::optional<std::string> chosen = files.chooseProjectFile();
    if (!chosen)
        return std::nullopt;
    CheckResult result = CheckProject({*chosen, WorkingCopyPlace::CurrentDirectory, false}, random);
    if (result.parseError) {
        report.setText(ReportHeader(result));
        messages.showMessage(ParseErrorMessage(*result.parseError));
    }
    std::string lateStop;
    report.setText(BoxText(result, lateStop));
    if (result.stop)
        messages.showMessage(result.stop->message);
    else if (!lateStop.empty())
        messages.showMessage(lateStop);
    return result;
}

} // namespace kestrova
