#include "app/open_command.h"

#include "app/app_info.h"
#include "check/check_project.h"
#include "check/file_access.h"
#include "check/report_lines.h"
#include "check/report_writer.h"

#include <filesystem>
#include <new>
#include <string_view>
#include <system_error>

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

// Checks the file while the window stays painted, and shows what the check found.
CheckResult CheckAndShow(const std::string& file, MessageDisplay& messages, ReportBox& report,
                         RandomSource& random, BusyWindow& busy) {
    CheckResult result;
    busy.runBusy([&] {
        result = CheckProject({file, WorkingCopyPlace::CurrentDirectory, false}, random);
    });
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

} // namespace

std::optional<CheckResult> RunOpenCommand(FileSelection& files, MessageDisplay& messages,
                                          ReportBox& report, RandomSource& random,
                                          BusyWindow& busy) {
    const std::optional<std::string> chosen = files.chooseProjectFile();
    if (!chosen)
        return std::nullopt;
    return CheckAndShow(*chosen, messages, report, random, busy);
}

CheckResult RunOpenCommand(const std::string& file, FileSelection& files, MessageDisplay& messages,
                           ReportBox& report, RandomSource& random, BusyWindow& busy) {
    const std::string taken = TakeProjectFile(file);
    files.offer(taken);
    return CheckAndShow(taken, messages, report, random, busy);
}

std::optional<std::string> DroppedProjectFile(const std::vector<std::string>& files) {
    if (files.size() != 1)
        return std::nullopt;
    const std::string& file = files.front();
    // The pattern's "*.kpj" without its star.
    constexpr std::string_view kEnding = std::string_view(kProjectFilePattern).substr(1);
    if (file.size() < kEnding.size())
        return std::nullopt;
    for (std::size_t i = 0; i < kEnding.size(); ++i) {
        const char c = file[file.size() - kEnding.size() + i];
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != kEnding[i])
            return std::nullopt;
    }
    return file;
}

std::string TakeProjectFile(const std::string& file) {
    const std::filesystem::path given = PathFromUtf8(file);
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(given, error);
    full = (error ? given : full).lexically_normal();
    std::filesystem::current_path(full.parent_path(), error); // stays where it was on failure
    return Utf8FromPath(full);
}

} // namespace kestrova
