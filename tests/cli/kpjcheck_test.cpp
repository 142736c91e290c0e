// kpjcheck: one check per file, reports on standard output, messages on standard error, and
// the exit status that sums up all files.

#include "cli/kpjcheck.h"
#include "tests/check/check_test_support.h"
#include "tool_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace kestrova {
namespace {

using namespace testing_support;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// Project files copied from the fixtures into a temporary folder, where the tool makes its
// working copies.
class Kpjcheck : public testing::Test {
protected:
    std::string project(const std::string& fixture) {
        const auto path = folder_ / fixture;
        WriteBytes(path, ReadBytes(FixturePath(fixture)));
        return path.string();
    }

    TempFolder folder_;
};

TEST_F(Kpjcheck, cleanProjectPrintsTheReportLineByLineAndExitsZero) {
    const std::string clean = project("clean_two_layers.kpj");
    const ToolRun run = RunTool({clean});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "\nReporting on " + clean +
                           "\n\nLayers:\n 1: \tMain camera\n 2: \tTitles\n\nNo errors found\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(folder_.entries(), std::set<std::string>{"clean_two_layers.kpj"});
}

TEST_F(Kpjcheck, findingsExitOneWithWarningsEachFollowedByAnEmptyLine) {
    const std::string findings = project("survey_output_order.kpj");
    const ToolRun run = RunTool({findings});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "\nReporting on " + findings +
                  "\n\nLayers:\n\tWARNING - Zero length item at 0h 00m 02s 000\n\n"
                  "\tWARNING - Negative length item from 0h 00m 05s 000 to 0h 00m 03s 000\n\n"
                  " 1: \tInterview\n 2: \tOuttakes\t - SCRAPPED\n\n"
                  "Gap on timeline from:  0h 00m 00s 000  to:  0h 00m 02s 000\n"
                  "Gap on timeline from:  0h 00m 02s 000  to:  0h 00m 03s 000\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(Kpjcheck, parseErrorGoesToStandardErrorBehindThePath) {
    const std::string malformed = project("malformed.kpj");
    const ToolRun run = RunTool({malformed});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out,
              "\nReporting on " + malformed +
                  "\n\nThere is an error in this file - it may be from an earlier version of "
                  "Kestrova\n - this may not effect the build in Kestrova but stops this "
                  "program from checking further.\n");
    EXPECT_THAT(run.err, StartsWith(malformed + ": "));
    EXPECT_TRUE(run.err.ends_with("\n5\n")) << run.err;
    EXPECT_EQ(run.err.find('\r'), std::string::npos);
}

TEST_F(Kpjcheck, missingFileIsReportedAsStoppedAndExitsTwo) {
    const std::string missing = (folder_ / "missing.kpj").string();
    const ToolRun run = RunTool({missing});
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.out, StartsWith("\nCheck stopped: "));
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2) << run.out;
    EXPECT_THAT(run.err, StartsWith(missing + ": "));
    EXPECT_THAT(run.err, HasSubstr(missing + "\""));
    EXPECT_TRUE(folder_.entries().empty());
}

struct Several {
    std::vector<std::string> fixtures;
    int status;
};

void PrintTo(const Several& s, std::ostream* os) {
    for (const std::string& f : s.fixtures)
        *os << f << ' ';
}

class KpjcheckSeveral : public Kpjcheck, public testing::WithParamInterface<Several> {};

TEST_P(KpjcheckSeveral, reportsEveryFileInOrderAndTheHighestStatusWins) {
    std::vector<std::string> paths;
    for (const std::string& fixture : GetParam().fixtures)
        paths.push_back(fixture == "missing.kpj" ? (folder_ / fixture).string() : project(fixture));
    const ToolRun run = RunTool(paths);
    EXPECT_EQ(run.status, GetParam().status);
    std::size_t at = 0;
    for (const std::string& path : paths) {
        const std::size_t header = run.out.find("\nReporting on " + path + "\n", at);
        const std::size_t stop = run.out.find("\nCheck stopped: ", at);
        ASSERT_TRUE(header != std::string::npos || stop != std::string::npos) << path;
        at = std::min(header, stop) + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, KpjcheckSeveral,
    testing::Values(
        Several{{"clean_two_layers.kpj", "empty_multilayer.kpj"}, 0},
        Several{{"clean_two_layers.kpj", "gap_only_audio.kpj"}, 1},
        Several{{"gap_only_audio.kpj", "clean_two_layers.kpj"}, 1},
        Several{{"malformed.kpj", "clean_two_layers.kpj"}, 2},
        Several{{"gap_hole_between_items.kpj", "unreadable_time.kpj", "empty_multilayer.kpj"}, 2},
        Several{{"clean_two_layers.kpj", "gap_only_audio.kpj", "missing.kpj"}, 2},
        Several{{"clean_two_layers.kpj", "clean_two_layers.kpj"}, 0}));

// The current directory has no free name left: a project in a subfolder is still checked,
// since its copy goes beside it, and one named without a folder gets its copy right here.
TEST_F(Kpjcheck, headerNamesThePathAsGivenAndTheCopyGoesBesideTheProject) {
    std::filesystem::create_directory(folder_ / "sub");
    WriteBytes(folder_ / "sub" / "clean.kpj", ReadBytes(FixturePath("clean_two_layers.kpj")));
    WriteBytes(folder_ / "clean.kpj", ReadBytes(FixturePath("clean_two_layers.kpj")));
    for (const std::string& name : AllCandidateNames())
        WriteBytes(folder_ / name, "");
    CurrentDirectoryGuard inFolder(folder_.path());

    const ToolRun inSub = RunTool({"sub/clean.kpj"});
    EXPECT_EQ(inSub.status, 0) << inSub.err;
    EXPECT_THAT(inSub.out, StartsWith("\nReporting on sub/clean.kpj\n"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_ / "sub"),
                            std::filesystem::directory_iterator()),
              1);

    const ToolRun here = RunTool({"clean.kpj"});
    EXPECT_EQ(here.status, 2);
    EXPECT_THAT(here.err, StartsWith("clean.kpj: "));
    EXPECT_THAT(here.err, HasSubstr(std::filesystem::canonical(folder_.path()).string()));
    EXPECT_EQ(folder_.entries().size(), 258u);
}

// ---------------------------------------------------------------------------------------------
// Options

TEST(KpjcheckOptions, helpAndVersionPrintToStandardOutputAndExitZero) {
    const ToolRun help = RunTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, StartsWith("Usage: kpjcheck [--format FORMAT] FILE..."));
    EXPECT_EQ(help.err, "");

    const ToolRun version = RunTool({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "kpjcheck 1.2.0\n");
    EXPECT_EQ(version.err, "");
}

TEST(KpjcheckOptions, missingFileOrUnknownOptionShowsUsageOnStandardErrorAndExitsTwo) {
    const std::string clean = FixturePath("clean_two_layers.kpj");
    for (const auto& arguments :
         std::vector<std::vector<std::string>>{{},
                                               {"--frobnicate"},
                                               {"-x", clean},
                                               {clean, "--verbose"},
                                               {clean, "--format"},
                                               {"--format", "xml", clean},
                                               {"--format=", clean},
                                               {"--json", "--format=sarif", clean},
                                               {"--format", "gnu", "--format", "github", clean}}) {
        const ToolRun run = RunTool(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "") << "no file is checked";
        EXPECT_THAT(run.err, HasSubstr("Usage: kpjcheck [--format FORMAT] FILE..."));
    }
}

TEST(KpjcheckOptions, jsonIsTheShortFormOfFormatJsonAndTextIsTheDefault) {
    const std::string project = FixturePath("survey_output_order.kpj");
    EXPECT_EQ(RunTool({"--format", "json", project}).out, RunTool({"--json", project}).out);
    EXPECT_EQ(RunTool({"--format=json", "--json", project}).out, RunTool({"--json", project}).out);
    EXPECT_EQ(RunTool({"--format=text", project}).out, RunTool({project}).out);
}

// ---------------------------------------------------------------------------------------------
// Lost output

// Standard output on a full disk or a closed pipe: every write fails.
class FailingBuffer final : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST_F(Kpjcheck, reportThatCannotBeWrittenExitsTwoAndSaysSoOnStandardError) {
    const std::string clean = project("clean_two_layers.kpj");
    const std::string picture = (folder_ / "timeline.svg").string();
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {clean}, {"--json", clean}, {"--svg", picture, clean}, {"--help"}, {"--version"}}) {
        FailingBuffer failing;
        std::ostream out(&failing);
        std::ostringstream err;
        EXPECT_EQ(RunKpjcheck(arguments, out, err), 2) << arguments.front();
        EXPECT_THAT(err.str(), HasSubstr("kpjcheck: cannot write to standard output"));
    }
}

// Started with standard output closed: nothing is checked, since no report could be given.
TEST_F(Kpjcheck, closedStandardOutputChecksNothing) {
    const std::string clean = project("clean_two_layers.kpj");
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    std::ostringstream err;
    EXPECT_EQ(RunKpjcheck({"--svg", (folder_ / "timeline.svg").string(), clean}, out, err), 2);
    EXPECT_THAT(err.str(), HasSubstr("cannot write to standard output"));
    EXPECT_EQ(folder_.entries(), std::set<std::string>{"clean_two_layers.kpj"});
}

} // namespace
} // namespace kestrova
