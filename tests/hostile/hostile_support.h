#pragma once
// Shared pieces of the hostile-document and file-system-fault tests: a file selection that can
// act between the choice and the copy, recorded messages, and the checks every run must pass
// however it ends.

#include "check/check_run.h"
#include "check/platform.h"
#include "check_test_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::hostile {

namespace fs = std::filesystem;

using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

// Every entry of a folder (not descending) with the bytes of each regular file; other kinds of
// entry are recorded by kind, so that a change of kind shows too.
inline std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_symlink())
            entries[name] = "symlink to " + fs::read_symlink(entry.path()).string();
        else if (entry.is_regular_file())
            entries[name] = ReadBytes(entry.path());
        else
            entries[name] = "kind " + std::to_string(static_cast<int>(entry.status().type()));
    }
    return entries;
}

// Answers the Open dialog with a fixed path; `beforeReturn` runs after the choice is made and
// before the run goes on with it.
class GivenPath final : public FileSelection {
public:
    explicit GivenPath(std::string path, std::function<void()> beforeReturn = {})
        : path_(std::move(path)), beforeReturn_(std::move(beforeReturn)) {}
    std::optional<std::string> chooseProjectFile() override {
        if (beforeReturn_)
            beforeReturn_();
        return path_;
    }

private:
    std::string path_;
    std::function<void()> beforeReturn_;
};

class RecordedMessages final : public MessageDisplay {
public:
    void showMessage(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

struct RunResult {
    CheckOutcome outcome;
    std::string report;
    std::vector<std::string> messages;

    bool mentions(const std::string& text) const {
        if (report.find(text) != std::string::npos)
            return true;
        for (const std::string& message : messages)
            if (message.find(text) != std::string::npos)
                return true;
        return outcome.description.find(text) != std::string::npos;
    }
};

inline RunResult RunOn(const std::string& path,
                       WorkingCopyPlace place = WorkingCopyPlace::ProjectFolder,
                       std::function<void()> beforeReturn = {}) {
    GivenPath files(path, std::move(beforeReturn));
    RecordedMessages messages;
    StringReportBox report;
    UnseededRandom random;
    RunResult result;
    result.outcome = RunCheck({files, messages, report, random, place});
    result.report = report.text();
    result.messages = messages.shown;
    return result;
}

inline bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// What every run that could not finish its check must show: one plain message, the same in
// the outcome, and a report that says so and never claims a clean project.
inline void ExpectFailureShown(const RunResult& run) {
    EXPECT_TRUE(run.outcome.status == CheckStatus::Stopped ||
                run.outcome.status == CheckStatus::NotParsed)
        << "status " << static_cast<int>(run.outcome.status);
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_FALSE(run.messages[0].empty());
    EXPECT_EQ(run.messages[0], run.outcome.description);
    EXPECT_EQ(run.report.find("No errors found"), std::string::npos);
    if (run.outcome.status == CheckStatus::Stopped) {
        const std::size_t stop = run.report.rfind("\r\nCheck stopped: ");
        ASSERT_NE(stop, std::string::npos) << run.report;
        EXPECT_EQ(run.report.find("\r\n", stop + 2), std::string::npos)
            << "the stop line is the last";
    }
}

// The largest resident size the process has had so far, in MiB.
inline long PeakResidentMiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace kestrova::hostile
