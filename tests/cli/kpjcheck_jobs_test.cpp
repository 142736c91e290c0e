// kpjcheck -j N: whatever the number of checks at once, standard output, standard error and the
// exit status are byte for byte those of one check after another, on clean, faulty, damaged
// (not well-formed) and stopped projects, named one by one or found in folders.

#include "tests/check/check_test_support.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using namespace testing_support;

// Every project the fixtures and the examples hold, copied into one folder per source, so that
// the working copies are made in the test's own folder.
class KpjcheckJobs : public testing::Test {
protected:
    KpjcheckJobs() {
        for (const auto& [source, into] :
             {std::pair{std::string(KESTROVA_TEST_DATA) + "/check", "check"},
              std::pair{std::string(KESTROVA_TEST_DATA) + "/app", "app"},
              std::pair{std::string(KESTROVA_EXAMPLES), "examples"}}) {
            fs::create_directory(folder_ / into);
            for (const auto& entry : fs::directory_iterator(source)) {
                const fs::path copy = folder_ / into / entry.path().filename();
                fs::copy_file(entry.path(), copy);
                projects_.push_back(copy.string());
            }
        }
        std::sort(projects_.begin(), projects_.end());
#ifndef _WIN32
        // A project that is a named pipe stops its check before any copy is made.
        const fs::path pipe = folder_ / "check" / "pipe.kpj";
        ::mkfifo(pipe.c_str(), 0600);
        projects_.push_back(pipe.string());
#endif
    }

    void expectSameAsOneByOne(std::vector<std::string> arguments) {
        std::vector<std::string> oneByOne = {"-j", "1"};
        oneByOne.insert(oneByOne.end(), arguments.begin(), arguments.end());
        const ToolRun expected = RunTool(oneByOne);
        EXPECT_FALSE(expected.out.empty());
        EXPECT_FALSE(expected.err.empty()) << "the damaged and stopped projects say why";
        for (const char* jobs : {"2", "3", "8", "64"}) {
            std::vector<std::string> atOnce = {"--jobs", jobs};
            atOnce.insert(atOnce.end(), arguments.begin(), arguments.end());
            const ToolRun run = RunTool(atOnce);
            EXPECT_EQ(run.status, expected.status) << jobs << " at once";
            EXPECT_EQ(run.out, expected.out) << jobs << " at once";
            EXPECT_EQ(run.err, expected.err) << jobs << " at once";
        }
        // No working copy is left in any folder.
        for (const auto& entry : fs::recursive_directory_iterator(folder_.path()))
            EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
    }

    TempFolder folder_;
    std::vector<std::string> projects_;
};

TEST_F(KpjcheckJobs, projectsNamedOneByOneGiveTheSameOutputAsOneCheckAtATime) {
    std::vector<std::string> arguments = projects_;
    // A missing file, and the same project twice, checked twice.
    arguments.insert(arguments.begin() + 3, (folder_ / "missing.kpj").string());
    arguments.push_back(projects_.front());
    expectSameAsOneByOne(arguments);
}

TEST_F(KpjcheckJobs, foldersGiveTheSameReportsAndJsonLinesAsOneCheckAtATime) {
    const std::string root = folder_.path().string();
    expectSameAsOneByOne({root});
    expectSameAsOneByOne({"--json", (folder_ / "examples").string(), projects_.back(), root});
}

} // namespace
} // namespace kestrova
