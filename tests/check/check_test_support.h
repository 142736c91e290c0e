#pragma once
// Shared pieces of the check-engine and command-line tests: pre-answered platform ports,
// temporary folders, a current-directory guard and whole-file helpers.

#include "app/open_command.h"
#include "check/check_project.h"
#include "check/report_writer.h"
#include "tests/check/rewrite_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kestrova::testing_support {

namespace fs = std::filesystem;

inline std::string FixturePath(const std::string& name) {
    return std::string(KESTROVA_TEST_DATA) + "/check/" + name;
}

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The displayed lines of a report, each behind its CR LF: {"", "a"} is "\r\na".
inline std::string Displayed(std::initializer_list<std::string> lines) {
    std::string text;
    bool first = true;
    for (const std::string& line : lines) {
        if (!first)
            text += "\r\n";
        text += line;
        first = false;
    }
    return text;
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::random_device seed;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const fs::path candidate =
                fs::temp_directory_path() / ("kestrova-test-" + std::to_string(seed()));
            if (fs::create_directory(candidate))
                path_ = candidate;
        }
        if (path_.empty())
            throw std::runtime_error("cannot make a temporary folder");
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(path_))
            names.insert(entry.path().filename().string());
        return names;
    }

private:
    fs::path path_;
};

// Moves the process into a folder for the lifetime of the guard.
class CurrentDirectoryGuard {
public:
    explicit CurrentDirectoryGuard(const fs::path& folder) : saved_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~CurrentDirectoryGuard() {
        std::error_code ignored;
        fs::current_path(saved_, ignored);
    }
    CurrentDirectoryGuard(const CurrentDirectoryGuard&) = delete;
    CurrentDirectoryGuard& operator=(const CurrentDirectoryGuard&) = delete;

private:
    fs::path saved_;
};

class GivenSelection final : public FileSelection {
public:
    explicit GivenSelection(std::optional<std::string> path) : path_(std::move(path)) {}
    std::optional<std::string> chooseProjectFile() override { return path_; }
    void offer(const std::string& file) override { offered = file; }

    std::string offered;

private:
    std::optional<std::string> path_;
};

// Records every message together with what the report box held while it was shown.
class RecordingMessages final : public MessageDisplay {
public:
    struct Shown {
        std::string text;
        std::string reportWhileShown;
    };

    explicit RecordingMessages(const ReportBox& box) : box_(box) {}
    void showMessage(const std::string& text) override { shown.push_back({text, box_.text()}); }

    std::vector<Shown> shown;

private:
    const ReportBox& box_;
};

// Hands out the given fractions in turn, then starts over.
class ScriptedRandom final : public RandomSource {
public:
    explicit ScriptedRandom(std::vector<double> fractions) : fractions_(std::move(fractions)) {}
    double nextFraction() override {
        const double f = fractions_[next_ % fractions_.size()];
        ++next_;
        return f;
    }

private:
    std::vector<double> fractions_;
    std::size_t next_ = 0;
};

// A report box that is only a string.
class StringReportBox final : public ReportBox {
public:
    std::string text() const override { return text_; }
    void setText(std::string text) override { text_ = std::move(text); }

private:
    std::string text_;
};

struct RunResult {
    std::optional<CheckResult> result; // nothing when the choice was cancelled
    std::string report;
    std::vector<RecordingMessages::Shown> messages;
};

// Runs a command's long step where it is called: the tests' windows have nothing to repaint.
class InlineWork final : public BusyWindow {
public:
    void runBusy(const std::function<void()>& work) override { work(); }
};

// One run of File > Open on `path` (nullopt: the user cancels), with a report box that starts
// out holding `previousReport`. The working copy is made in the current directory.
inline RunResult RunOn(std::optional<std::string> path, RandomSource& random,
                       const std::string& previousReport = {}) {
    GivenSelection files(std::move(path));
    StringReportBox box;
    box.setText(previousReport);
    RecordingMessages messages(box);
    RunResult result;
    InlineWork busy;
    result.result = RunOpenCommand(files, messages, box, random, busy);
    result.report = box.text();
    result.messages = messages.shown;
    return result;
}

inline RunResult RunOn(std::optional<std::string> path, const std::string& previousReport = {}) {
    UnseededRandom random;
    return RunOn(std::move(path), random, previousReport);
}

// One check with the working copy beside the project, as kpjcheck makes it: the result and its
// report.
inline RunResult CheckBesideProject(const std::string& path, RandomSource& random) {
    RunResult result;
    result.result = CheckProject({path, WorkingCopyPlace::ProjectFolder, false}, random);
    result.report = ReportText(*result.result);
    return result;
}

inline std::string Header(const std::string& path) {
    return Displayed({"", "Reporting on " + path, ""});
}

// The first working-copy names of a freshly started program, in the order they are tried.
inline const std::vector<std::string>& FirstCandidateNames() {
    static const std::vector<std::string> names = {"AAA@@A@A.tmp", "AA@@AA@A.tmp", "A@A@AA@A.tmp",
                                                   "@@AA@@AA.tmp"};
    return names;
}

// Every one of the 256 names a working copy can take.
inline std::vector<std::string> AllCandidateNames() {
    std::vector<std::string> names;
    for (int bits = 0; bits < 256; ++bits) {
        std::string name;
        for (int i = 7; i >= 0; --i)
            name += (bits >> i) & 1 ? 'A' : '@';
        names.push_back(name + ".tmp");
    }
    return names;
}

} // namespace kestrova::testing_support
