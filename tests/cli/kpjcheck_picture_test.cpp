// kpjcheck --svg: how the timeline picture shows long texts and names, and what becomes of the
// picture's file when it cannot be written or would take the project's place.

#include "check/file_access.h"
#include "svg_picture.h"
#include "tests/check/check_test_support.h"
#include "tool_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kestrova {
namespace {

using namespace testing_support;
using ::testing::HasSubstr;

std::size_t CodePoints(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string WithoutSpaces(std::string text) {
    std::erase(text, ' ');
    return text;
}

// A long message is wrapped between characters, never inside one: the picture of a stopped
// check on a path of 200 characters of two, three or four bytes shows the whole message, in
// lines of 140 characters at most, without a replacement character.
TEST(PictureText, aLongMessageIsWrappedBetweenCharacters) {
#ifdef _WIN32
    GTEST_SKIP() << "paths this long do not fit Windows' limit";
#endif
    // A few letters before them move the line's end over every byte of a character.
    for (const std::string character : {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x8E\xAC"})
        for (std::size_t letters = 0; letters < 4; ++letters) {
            SCOPED_TRACE(character + " after " + std::to_string(letters) + " letters");
            TempFolder folder;
            std::string component(letters, 'a');
            for (int i = 0; i < 50; ++i)
                component += character;
            const std::string missing =
                (folder / component / component / component / component / "project.kpj").string();
            const fs::path picturePath = folder / "picture.svg";
            const ToolRun run = RunTool({"--svg", picturePath.string(), missing});
            ASSERT_EQ(run.status, 2);
            const std::string message =
                run.err.substr(missing.size() + 2, run.err.size() - missing.size() - 3);
            const Picture picture = ReadPicture(ReadBytes(picturePath));
            ASSERT_TRUE(picture.wellFormed);
            std::string shown;
            for (const std::string& text : picture.texts) {
                EXPECT_EQ(text.find("\xEF\xBF\xBD"), std::string::npos) << text;
                EXPECT_LE(CodePoints(text), 140u) << text;
                shown += text;
            }
            EXPECT_NE(WithoutSpaces(shown).find(WithoutSpaces(message)), std::string::npos)
                << message;
        }
}

// A layer name too long for the room left of the bars is cut there, between characters, with
// the whole name in its title; a name that fits is shown whole, however many letters it has.
TEST(PictureLabels, longNamesAreCutToFitLeftOfTheBarsWithTheWholeNameInTheTitle) {
    const std::string cjk = "\xE6\xBC\xA2";
    const std::string clapper = "\xF0\x9F\x8E\xAC";
    struct Label {
        std::string name;
        bool fits;
        double leastGlyphWidth; // what each of the fonts named gives one of its characters, px
    };
    std::string repeatedCjk;
    std::string repeatedClapper;
    for (int i = 0; i < 30; ++i) {
        repeatedCjk += cjk;
        repeatedClapper += clapper;
    }
    const std::vector<Label> labels = {{std::string(40, 'W'), false, 11},
                                       {std::string(40, 'i'), true, 0},
                                       {repeatedCjk, false, 12},
                                       {repeatedClapper, false, 12},
                                       {"Interview with the director", true, 0}};
    std::string layers;
    for (const Label& label : labels)
        layers += "<layer><name>" + label.name +
                  "</name><scrap>no</scrap><layeritem_video><starttime>0h 00m 00s 000</starttime>"
                  "<endtime>0h 00m 01s 000</endtime></layeritem_video></layer>";
    TempFolder folder;
    WriteBytes(folder / "labels.kpj",
               "<kestrovadocument2><multilayer>" + layers + "</multilayer></kestrovadocument2>");
    const ToolRun run =
        RunTool({"--svg", (folder / "labels.svg").string(), (folder / "labels.kpj").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    const Picture picture = ReadPicture(ReadBytes(folder / "labels.svg"));
    ASSERT_TRUE(picture.wellFormed);
    const std::string ellipsis = "\xE2\x80\xA6";
    for (const Label& label : labels) {
        SCOPED_TRACE(label.name);
        ASSERT_EQ(picture.shownByTitle.count(label.name), 1u);
        const std::string& shown = picture.shownByTitle.at(label.name);
        if (label.fits) {
            EXPECT_EQ(shown, label.name);
            continue;
        }
        ASSERT_TRUE(shown.ends_with(ellipsis)) << shown;
        const std::string kept = shown.substr(0, shown.size() - ellipsis.size());
        EXPECT_FALSE(kept.empty());
        EXPECT_TRUE(label.name.starts_with(kept)) << shown;
        // The label starts 60 px from the left edge and the bars 250 px from it. With the ellipsis,
        // no wider than one character, it must end before the bars.
        const std::size_t characters = CodePoints(kept);
        EXPECT_LE(static_cast<double>(characters + 1) * label.leastGlyphWidth, 190.0) << shown;
    }
}

// ---------------------------------------------------------------------------------------------
// The picture file

TEST(PictureFile, aPictureThatCannotBeWrittenExitsTwoAndSaysSo) {
    TempFolder folder;
    const std::string project = (folder / "clean.kpj").string();
    WriteBytes(project, ReadBytes(FixturePath("clean_two_layers.kpj")));
    for (const std::string& picture : {(folder / "no-such-folder" / "out.svg").string(),
                                       std::string("/dev/full"), folder.path().string()}) {
        const ToolRun run = RunTool({"--svg", picture, project});
        EXPECT_EQ(run.status, 2) << picture;
        EXPECT_THAT(run.err, HasSubstr("cannot write the picture \"" + picture + "\": "));
        EXPECT_THAT(run.out, HasSubstr("No errors found")) << "the report still comes";
    }
    EXPECT_EQ(folder.entries(), std::set<std::string>{"clean.kpj"});
}

// A file of that name that cannot be opened for writing stays as it was: here a program that is
// running, which the system refuses to open for writing whoever asks. The message says why.
TEST(PictureFile, anExistingFileThatCannotBeOpenedIsKeptAndTheReasonGiven) {
#ifdef _WIN32
    GTEST_SKIP() << "a running program's file is locked differently on Windows";
#else
    TempFolder folder;
    const std::string project = (folder / "clean.kpj").string();
    WriteBytes(project, ReadBytes(FixturePath("clean_two_layers.kpj")));
    const fs::path busy = folder / "busy.svg";
    fs::copy_file("/bin/sleep", busy);
    fs::permissions(busy, fs::perms::owner_all);
    const std::string before = ReadBytes(busy);
    std::fflush(nullptr);
    const pid_t running = ::fork();
    if (running == 0) {
        ::execl(busy.c_str(), "sleep", "60", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int refusal = 0;
    for (int tries = 0; tries < 2000 && refusal != ETXTBSY; ++tries) {
        const int probe = ::open(busy.c_str(), O_WRONLY | O_CLOEXEC);
        refusal = probe < 0 ? errno : 0;
        if (probe >= 0)
            ::close(probe);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const ToolRun run = RunTool({"--svg", busy.string(), project});
    ::kill(running, SIGKILL);
    ::waitpid(running, nullptr, 0);
    ASSERT_EQ(refusal, ETXTBSY) << "the program never started";
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err, HasSubstr("cannot write the picture \"" + busy.string() +
                                   "\": " + FileFailure(ETXTBSY).text() + "."));
    EXPECT_EQ(ReadBytes(busy), before);
    EXPECT_THAT(run.out, HasSubstr("No errors found"));
#endif
}

TEST(PictureFile, thePictureNeverOverwritesTheProject) {
    TempFolder folder;
    const std::string project = (folder / "clean.kpj").string();
    const std::string bytes = ReadBytes(FixturePath("clean_two_layers.kpj"));
    WriteBytes(project, bytes);
    CurrentDirectoryGuard inFolder(folder.path());
    const ToolRun run = RunTool({"--svg", "./clean.kpj", "clean.kpj"});
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err, HasSubstr("would overwrite the project file"));
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadBytes(project), bytes);
}

TEST(PictureFile, svgOptionNeedsOneNameAndOneProject) {
    const std::string clean = FixturePath("clean_two_layers.kpj");
    for (const auto& arguments :
         std::vector<std::vector<std::string>>{{clean, "--svg"},
                                               {"--svg=", clean},
                                               {"--svg", "a.svg", "--svg", "b.svg", clean},
                                               {"--svg", "a.svg", clean, clean}}) {
        const ToolRun run = RunTool(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_THAT(run.err, HasSubstr("--svg"));
        EXPECT_THAT(run.err, HasSubstr("Usage: kpjcheck"));
    }
}

} // namespace
} // namespace kestrova
