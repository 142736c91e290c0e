#pragma once
// Shared pieces of the hostile-document and file-system-fault tests: a check that can act
// between the choice of the file and the copy, the messages a window would show, and the checks
// every run must pass however it ends.

#include "check/check_project.h"
#include "check/report_writer.h"
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

struct RunResult {
    std::optional<CheckResult> result;
    std::string report;
    std::vector<std::string> messages; // as a window would show them, in order

    bool mentions(const std::string& text) const {
        if (report.find(text) != std::string::npos)
            return true;
        for (const std::string& message : messages)
            if (message.find(text) != std::string::npos)
                return true;
        return false;
    }
};

// One check of the file; `beforeCheck` runs once the file is named, before it is read.
inline RunResult RunOn(const std::string& path,
                       WorkingCopyPlace place = WorkingCopyPlace::ProjectFolder,
                       const std::function<void()>& beforeCheck = {}) {
    if (beforeCheck)
        beforeCheck();
    UnseededRandom random;
    RunResult run;
    run.result = CheckProject({path, place, false}, random);
    run.report = ReportText(*run.result);
    if (run.result->parseError)
        run.messages.push_back(ParseErrorMessage(*run.result->parseError));
    if (run.result->stop)
        run.messages.push_back(run.result->stop->message);
    return run;
}

inline bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// What every run that could not finish its check must show: one plain message, the same in
// the outcome, and a report that says so and never claims a clean project.
inline void ExpectFailureShown(const RunResult& run) {
    EXPECT_TRUE(run.result->status == CheckStatus::Stopped ||
                run.result->status == CheckStatus::NotParsed)
        << "status " << static_cast<int>(run.result->status);
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_FALSE(run.messages[0].empty());
    EXPECT_EQ(run.messages[0], MessageText(*run.result));
    EXPECT_EQ(run.report.find("No errors found"), std::string::npos);
    if (run.result->status == CheckStatus::Stopped) {
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

// A project document of the given layers, a layer, and a video item.
inline std::string Project(const std::string& layers) {
    return "<kestrovadocument2><multilayer>" + layers + "</multilayer></kestrovadocument2>\n";
}

inline std::string Layer(const std::string& name, const std::string& items = "") {
    return "<layer><name>" + name + "</name><scrap>no</scrap>" + items + "</layer>";
}

inline std::string Video(const std::string& start, const std::string& end) {
    return "<layeritem_video><starttime>" + start + "</starttime><endtime>" + end +
           "</endtime></layeritem_video>";
}

// Writes the document as the only file of a fresh folder, checks it there, and makes sure the
// folder holds exactly what it held before: the project file, byte for byte.
inline RunResult CheckDocument(const std::string& bytes) {
    TempFolder folder;
    WriteBytes(folder / "project.kpj", bytes);
    const auto before = Snapshot(folder.path());
    RunResult run = RunOn((folder / "project.kpj").string());
    EXPECT_TRUE(Snapshot(folder.path()) == before) << "the folder changed";
    EXPECT_EQ(EndsWith(run.report, "\r\nNo errors found"),
              run.result->status == CheckStatus::NoErrors);
    if (!run.result->checked())
        ExpectFailureShown(run);
    return run;
}

} // namespace kestrova::hostile
