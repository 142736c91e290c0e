// How a check run begins and ends: cancelling, replacing the previous report, the parse-error
// report, and every way a run stops early, with what the report box and the message box show.

#include "check/findings.h"
#include "check/working_copy.h"
#include "tests/check/check_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrova {
namespace {

using namespace testing_support;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kParseErrorLine =
    "There is an error in this file - it may be from an earlier version of Kestrova";
constexpr const char* kParseErrorFollowUp =
    " - this may not effect the build in Kestrova but stops this program from checking further.";

TEST(RunStart, cancellingLeavesThePreviousReportAndCreatesNoFile) {
    TempFolder folder;
    CurrentDirectoryGuard inFolder(folder.path());

    const RunResult run = RunOn(std::nullopt, "\r\nolder report");

    EXPECT_FALSE(run.result);
    EXPECT_EQ(run.report, "\r\nolder report");
    EXPECT_TRUE(run.messages.empty());
    EXPECT_TRUE(folder.entries().empty());
}

TEST(RunStart, secondRunReplacesTheFirstReportCompletely) {
    TempFolder folder;
    CurrentDirectoryGuard inFolder(folder.path());
    UnseededRandom random;
    StringReportBox box;
    RecordingMessages messages(box);
    GivenSelection first(FixturePath("survey_output_order.kpj"));
    GivenSelection second(FixturePath("clean_two_layers.kpj"));

    InlineWork busy;
    RunOpenCommand(first, messages, box, random, busy);
    const std::optional<CheckResult> result = RunOpenCommand(second, messages, box, random, busy);

    EXPECT_EQ(result->status, CheckStatus::NoErrors);
    EXPECT_EQ(box.text(), Header(FixturePath("clean_two_layers.kpj")) +
                              Displayed({"", "Layers:", " 1: \tMain camera", " 2: \tTitles", "",
                                         "No errors found"}));
    EXPECT_TRUE(folder.entries().empty());
}

TEST(RunStart, aFileNamedOutsideTheDialogIsTakenAsTheDialogTakesAChoice) {
    TempFolder folder;
    CurrentDirectoryGuard inFolder(folder.path());
    fs::create_directory(folder / "sub");
    fs::copy_file(FixturePath("clean_two_layers.kpj"), folder / "sub" / "p.kpj");
    UnseededRandom random;
    StringReportBox box;
    RecordingMessages messages(box);
    GivenSelection files(std::nullopt);
    InlineWork busy;

    const CheckResult result =
        RunOpenCommand("sub/../sub/p.kpj", files, messages, box, random, busy);

    const std::string full = (folder / "sub" / "p.kpj").lexically_normal().string();
    EXPECT_EQ(result.file, full);
    EXPECT_EQ(files.offered, full);
    EXPECT_EQ(box.text().rfind(Header(full), 0), 0u);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(fs::equivalent(fs::current_path(), folder / "sub"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "sub"), fs::directory_iterator()), 1)
        << "working copy left behind";
}

// ---------------------------------------------------------------------------------------------
// Projects that are not well-formed XML

struct ParseErrorCase {
    std::string fixture;
    long line;
};

void PrintTo(const ParseErrorCase& c, std::ostream* os) {
    *os << c.fixture;
}

class NotParsed : public testing::TestWithParam<ParseErrorCase> {};

TEST_P(NotParsed, showsReasonAndLineOverTheHeaderThenAppendsTheTwoFixedLines) {
    const std::string project = FixturePath(GetParam().fixture);
    TempFolder folder;
    CurrentDirectoryGuard inFolder(folder.path());

    const RunResult run = RunOn(project);

    EXPECT_EQ(run.result->status, CheckStatus::NotParsed);
    ASSERT_EQ(run.messages.size(), 1u);
    const std::string& message = run.messages[0].text;
    const std::string lineSuffix = "\r\n" + std::to_string(GetParam().line);
    ASSERT_TRUE(message.ends_with(lineSuffix)) << message;
    const std::string reason = message.substr(0, message.size() - lineSuffix.size());
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(reason.ends_with("\n")) << reason;
    EXPECT_EQ(MessageText(*run.result), message);
    EXPECT_EQ(run.messages[0].reportWhileShown, Header(project));
    EXPECT_EQ(run.report, Header(project) + Displayed({"", kParseErrorLine, kParseErrorFollowUp}));
    EXPECT_TRUE(folder.entries().empty());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, NotParsed,
                         testing::Values(ParseErrorCase{"malformed.kpj", 5},
                                         ParseErrorCase{"empty.kpj", 1},
                                         // Without the exact plain declaration the bytes are read
                                         // as UTF-8, and the Latin-1 byte in the name is not.
                                         ParseErrorCase{"latin1_bytes_other_declaration.kpj", 5}),
                         [](const auto& info) {
                             return info.param.fixture.substr(0, info.param.fixture.find('.'));
                         });

// ---------------------------------------------------------------------------------------------
// Runs that stop part way

// The report as far as it had got, then exactly one line "Check stopped: " and the reason.
void ExpectStoppedAfter(const RunResult& run, const std::string& reportSoFar) {
    EXPECT_EQ(run.result->status, CheckStatus::Stopped);
    const std::string stopLine = "\r\nCheck stopped: ";
    ASSERT_TRUE(run.report.starts_with(reportSoFar + stopLine)) << run.report;
    const std::string reason = run.report.substr(reportSoFar.size() + stopLine.size());
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(reason.find_first_of("\r\n"), std::string::npos) << reason;
    EXPECT_THAT(run.report, Not(HasSubstr("No errors found")));
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(run.messages[0].reportWhileShown, run.report);
    EXPECT_EQ(MessageText(*run.result), run.messages[0].text);
}

struct StopCase {
    std::string fixture;
    std::vector<std::string> linesSoFar; // displayed lines after the header
    std::vector<std::string> named;      // what the message must name besides the file
};

void PrintTo(const StopCase& c, std::ostream* os) {
    *os << c.fixture;
}

class StopsOnDocument : public testing::TestWithParam<StopCase> {};

TEST_P(StopsOnDocument, keepsTheReportSoFarNamesFileAndPlaceAndRemovesTheCopy) {
    const std::string project = FixturePath(GetParam().fixture);
    const std::string before = ReadBytes(project);
    TempFolder folder;
    CurrentDirectoryGuard inFolder(folder.path());

    const RunResult run = RunOn(project);

    std::string soFar = Header(project);
    for (const std::string& line : GetParam().linesSoFar)
        soFar += "\r\n" + line;
    ExpectStoppedAfter(run, soFar);
    ASSERT_FALSE(run.messages.empty());
    EXPECT_THAT(run.messages[0].text, HasSubstr(project));
    for (const std::string& named : GetParam().named)
        EXPECT_THAT(run.messages[0].text, HasSubstr(named));
    EXPECT_TRUE(folder.entries().empty());
    EXPECT_EQ(ReadBytes(project), before);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, StopsOnDocument,
    testing::Values(
        StopCase{"no_document_element.kpj", {"Layers:"}, {"kestrovadocument2"}},
        StopCase{"no_multilayer.kpj", {"Layers:"}, {"multilayer"}},
        StopCase{"unreadable_time.kpj", {"Layers:", " 1: \tCamera"}, {"layer 2", "0H 00m 05s 000"}},
        StopCase{"time_out_of_range.kpj", {"Layers:"}, {"layer 1", "-597h 00m 00s 000"}},
        // A zero-length item at -2,145,610,000 ms: its warning cannot be written.
        StopCase{"time_cannot_be_written.kpj", {"Layers:", " 1: \tCamera"}, {"layer 2"}}),
    [](const auto& info) { return info.param.fixture.substr(0, info.param.fixture.find('.')); });

// A report that reaches its size limit stops the run; the stop line itself must still go in,
// even where it is longer than the room left. The project fills the report to ten bytes short
// of the limit with one long layer line repeated by nameless layers, then asks for a warning.
TEST(StopsOnDocument, reportAtItsSizeLimitStillEndsWithTheStopLine) {
    TempFolder folder;
    const std::string project = (folder / "huge.kpj").string();
    const std::size_t nameLength = 1 << 20;
    const std::size_t lineSize = 2 + 5 + nameLength; // CR LF, " 1: ", tab, name
    const std::size_t fixed = Header(project).size() + 2 + 7;
    const std::size_t repeats = (Findings::kReportLimit - fixed) / lineSize;
    const std::string lastPrefix = std::to_string(repeats + 1) + ": \t";
    const std::size_t lastName =
        Findings::kReportLimit - fixed - repeats * lineSize - 10 - 2 - lastPrefix.size();
    std::string document = std::string(kPlainDeclaration) +
                           "\n<kestrovadocument2><multilayer>\n<layer><name>" +
                           std::string(nameLength, 'n') + "</name></layer>\n";
    for (std::size_t layer = 1; layer < repeats; ++layer)
        document += "<layer/>\n";
    document += "<layer><name>" + std::string(lastName, 't') +
                "</name></layer>\n"
                "<layer><layeritem_video><starttime>0h 00m 01s 000</starttime>"
                "<endtime>0h 00m 01s 000</endtime></layeritem_video></layer>\n"
                "</multilayer></kestrovadocument2>\n";
    WriteBytes(project, document);
    CurrentDirectoryGuard inFolder(folder.path());

    RunResult run;
    try {
        run = RunOn(project);
    } catch (const std::exception& escaped) {
        FAIL() << "the run let a failure escape: " << escaped.what();
    }

    EXPECT_EQ(run.result->status, CheckStatus::Stopped);
    const std::size_t lastLine = run.report.rfind("\r\n");
    ASSERT_NE(lastLine, std::string::npos);
    EXPECT_TRUE(run.report.compare(lastLine, 17, "\r\nCheck stopped: ") == 0);
    EXPECT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(folder.entries(), std::set<std::string>{"huge.kpj"});
}

// Failures while the working copy is made come before the report is cleared: the report is
// then only the stop line, whatever the box held before.
TEST(StopsOnFiles, missingProjectFileGivesOnlyTheStopLine) {
    TempFolder folder;
    CurrentDirectoryGuard inFolder(folder.path());
    const std::string project = (folder / "absent.kpj").string();

    const RunResult run = RunOn(project, "\r\nolder report");

    ExpectStoppedAfter(run, "");
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_THAT(run.messages[0].text, HasSubstr(project));
    EXPECT_TRUE(folder.entries().empty());
}

TEST(StopsOnFiles, projectThatIsAFolderCannotBeRead) {
    TempFolder folder;
    CurrentDirectoryGuard inFolder(folder.path());
    std::filesystem::create_directory(folder / "folder.kpj");

    const RunResult run = RunOn((folder / "folder.kpj").string());

    ExpectStoppedAfter(run, "");
    EXPECT_EQ(folder.entries(), std::set<std::string>{"folder.kpj"});
}

TEST(StopsOnFiles, lineBreaksInTheReasonStayOnTheStopLine) {
    TempFolder folder;
    CurrentDirectoryGuard inFolder(folder.path());

    const RunResult run = RunOn((folder / "two\r\nlines.kpj").string());

    ExpectStoppedAfter(run, "");
}

TEST(StopsOnFiles, workingCopyThatCannotBeCreatedStopsTheRun) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows never removes a folder that is a process's current folder";
#endif
    TempFolder folder;
    std::filesystem::create_directory(folder / "gone");
    CurrentDirectoryGuard inFolder(folder / "gone");
    std::filesystem::remove(folder / "gone"); // the current directory no longer exists

    const RunResult run = RunOn(FixturePath("clean_two_layers.kpj"));

    ExpectStoppedAfter(run, "");
}

TEST(StopsOnFiles, allWorkingCopyNamesTakenStopsNamingTheFolder) {
    TempFolder folder;
    for (const std::string& name : AllCandidateNames())
        WriteBytes(folder / name, "kept " + name);
    CurrentDirectoryGuard inFolder(folder.path());

    const RunResult run = RunOn(FixturePath("clean_two_layers.kpj"));

    ExpectStoppedAfter(run, "");
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_THAT(run.messages[0].text,
                HasSubstr(std::filesystem::canonical(folder.path()).string()));
    EXPECT_EQ(folder.entries().size(), 256u);
    for (const std::string& name : AllCandidateNames())
        EXPECT_EQ(ReadBytes(folder / name), "kept " + name);
}

// The window makes the copy in the current directory, the command-line tool beside the
// project; a folder whose every name is taken shows which one was used.
TEST(WorkingCopyPlace, currentDirectoryOrProjectFolder) {
    TempFolder projectFolder;
    TempFolder current;
    const std::string project = (projectFolder / "clean.kpj").string();
    WriteBytes(project, ReadBytes(FixturePath("clean_two_layers.kpj")));
    for (const std::string& name : AllCandidateNames())
        WriteBytes(projectFolder / name, "");
    CurrentDirectoryGuard inFolder(current.path());

    EXPECT_EQ(RunOn(project).result->status, CheckStatus::NoErrors);
    UnseededRandom random;
    EXPECT_EQ(CheckBesideProject(project, random).result->status, CheckStatus::Stopped);
    EXPECT_TRUE(current.entries().empty());
    EXPECT_EQ(projectFolder.entries().size(), 257u);
}

} // namespace
} // namespace kestrova
