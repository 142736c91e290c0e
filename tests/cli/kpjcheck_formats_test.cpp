// kpjcheck --json and --svg: the JSON object and the timeline picture say what the text report
// says, on every fixture and example and on generated timelines; texts from the project and the
// command line are made safe; a picture that cannot be written exits 2.

#include "check/file_access.h"
#include "cli/kpjcheck.h"
#include "cli/text_safety.h"
#include "tests/check/check_test_support.h"
#include "timeline_generator.h"
#include "tool_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
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
using ::testing::Contains;
using ::testing::HasSubstr;
using Json = nlohmann::json;

std::string WithNewlines(std::string text) {
    std::erase_if(text, [](char c) { return c == '\r'; }); // reports hold no other CR
    return text;
}

// The text after `prefix` in `line`, split at the first `separator` when one is given.
std::optional<std::vector<std::string>> Fields(const std::string& line, std::string_view prefix,
                                               std::string_view separator = {}) {
    if (!line.starts_with(prefix))
        return std::nullopt;
    const std::string rest = line.substr(prefix.size());
    if (separator.empty())
        return std::vector<std::string>{rest};
    const std::size_t at = rest.find(separator);
    if (at == std::string::npos)
        return std::nullopt;
    return std::vector<std::string>{rest.substr(0, at), rest.substr(at + separator.size())};
}

// What the lines of a report say.
struct ReportLines {
    std::vector<std::pair<std::string, std::string>> gaps;
    std::vector<std::vector<std::string>> warnings; // kind, at[, to]
    // Lines of the layer list, each warning with its empty line left out; for a finished check
    // only (none otherwise).
    std::optional<std::size_t> layerLines;
};

ReportLines ReadReport(const std::string& report) {
    const std::string text = WithNewlines(report);
    std::vector<std::string> all;
    for (std::size_t at = 0;;) {
        const std::size_t lineBreak = text.find('\n', at);
        all.push_back(text.substr(at, lineBreak - at));
        if (lineBreak == std::string::npos)
            break;
        at = lineBreak + 1;
    }
    ReportLines lines;
    std::optional<std::size_t> layersAt;
    std::optional<std::size_t> closingAt; // the first gap line or "No errors found"
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (const auto gap = Fields(all[i], "Gap on timeline from:  ", "  to:  "))
            lines.gaps.emplace_back((*gap)[0], (*gap)[1]);
        else if (const auto zero = Fields(all[i], "\tWARNING - Zero length item at "))
            lines.warnings.push_back({"zero-length", (*zero)[0]});
        else if (const auto negative =
                     Fields(all[i], "\tWARNING - Negative length item from ", " to "))
            lines.warnings.push_back({"negative-length", (*negative)[0], (*negative)[1]});
        if (all[i] == "Layers:" && !layersAt)
            layersAt = i;
        if ((all[i] == "No errors found" || !lines.gaps.empty()) && !closingAt)
            closingAt = i;
    }
    // Without gaps or "No errors found", a finished report ends with the line break after the
    // layer list.
    if (!closingAt && all.back().empty())
        closingAt = all.size();
    if (!layersAt || !closingAt)
        return lines;
    lines.layerLines = 0;
    for (std::size_t i = *layersAt + 1; i + 1 < *closingAt; ++i) {
        if (all[i].starts_with("\tWARNING - "))
            ++i; // and its empty line
        else
            ++*lines.layerLines;
    }
    return lines;
}

// An SVG picture read back with the XML parser: is it well-formed, which class="gap" elements
// does it hold (with their titles), and which texts does it show.
struct Picture {
    bool wellFormed = false;
    std::vector<std::string> gapTitles;
    std::vector<std::string> texts;
    std::map<std::string, std::string> shownByTitle; // texts that carry a title
};

std::string Attribute(xmlNode* node, const char* name) {
    std::unique_ptr<xmlChar, decltype(xmlFree)> value(
        xmlGetProp(node, reinterpret_cast<const xmlChar*>(name)), xmlFree);
    return value ? reinterpret_cast<const char*>(value.get()) : "";
}

std::string Content(xmlNode* node) {
    std::unique_ptr<xmlChar, decltype(xmlFree)> text(xmlNodeGetContent(node), xmlFree);
    return text ? reinterpret_cast<const char*>(text.get()) : "";
}

std::string Name(xmlNode* node) {
    return reinterpret_cast<const char*>(node->name);
}

void Collect(xmlNode* node, Picture& picture) {
    for (; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        if (Attribute(node, "class") == "gap") {
            std::string title;
            for (xmlNode* child = node->children; child != nullptr; child = child->next)
                if (child->type == XML_ELEMENT_NODE && Name(child) == "title")
                    title = Content(child);
            picture.gapTitles.push_back(title);
        }
        if (Name(node) == "text") {
            std::string shown;
            std::optional<std::string> title;
            for (xmlNode* child = node->children; child != nullptr; child = child->next) {
                if (child->type == XML_TEXT_NODE)
                    shown += Content(child);
                else if (child->type == XML_ELEMENT_NODE && Name(child) == "title")
                    title = Content(child);
            }
            picture.texts.push_back(shown);
            if (title)
                picture.shownByTitle[*title] = shown;
        }
        Collect(node->children, picture);
    }
}

Picture ReadPicture(const std::string& svg) {
    Picture picture;
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> document(
        xmlReadMemory(svg.data(), static_cast<int>(svg.size()), "picture.svg", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE),
        xmlFreeDoc);
    if (!document)
        return picture;
    xmlNode* root = xmlDocGetRootElement(document.get());
    picture.wellFormed = root != nullptr && Name(root) == "svg";
    Collect(root, picture);
    return picture;
}

bool ShowsTextStartingWith(const Picture& picture, const std::string& start) {
    for (const std::string& text : picture.texts)
        if (text.starts_with(start))
            return true;
    return false;
}

// Runs the text check and the --json --svg check of one project and compares them line by line.
void ExpectFormatsAgree(const std::string& project, const fs::path& picturePath) {
    const ToolRun text = RunTool({project});
    const ToolRun both = RunTool({"--json", "--svg", picturePath.string(), project});
    ASSERT_EQ(both.status, text.status) << both.err;
    ASSERT_EQ(std::count(both.out.begin(), both.out.end(), '\n'), 1) << "one line per file";
    const Json json = Json::parse(both.out);

    EXPECT_EQ(json["file"], project);
    EXPECT_EQ(json["exit"], text.status);
    const std::map<std::string, int> exitOfStatus = {
        {"no-errors", 0}, {"errors-found", 1}, {"not-parsed", 2}, {"stopped", 2}};
    EXPECT_EQ(exitOfStatus.at(json["status"]), text.status);
    const std::string report = json["report"];
    EXPECT_EQ(WithNewlines(report) + "\n", text.out);
    EXPECT_EQ(json["message"].is_null(), text.status < 2);

    const ReportLines lines = ReadReport(report);
    std::vector<std::pair<std::string, std::string>> gaps;
    for (const Json& gap : json["gaps"]) {
        gaps.emplace_back(gap["from"], gap["to"]);
        EXPECT_EQ(FormatTime(gap["fromMs"]), gap["from"]);
        EXPECT_EQ(FormatTime(gap["toMs"]), gap["to"]);
        EXPECT_LE(gap["toMs"].get<Millis>(), json["timelineEndMs"].get<Millis>());
    }
    EXPECT_EQ(gaps, lines.gaps);
    std::vector<std::vector<std::string>> warnings;
    for (const Json& warning : json["warnings"]) {
        warnings.push_back({warning["kind"], warning["at"]});
        EXPECT_EQ(FormatTime(warning["atMs"]), warning["at"]);
        if (warning.contains("to"))
            warnings.back().push_back(warning["to"]);
    }
    EXPECT_EQ(warnings, lines.warnings);
    ASSERT_EQ(lines.layerLines.has_value(), text.status < 2);
    if (lines.layerLines) {
        EXPECT_EQ(json["layers"].size(), *lines.layerLines);
    }
    if (json["status"] == "not-parsed") {
        EXPECT_TRUE(json["timelineEndMs"].is_null());
    }
    if (text.status < 2) {
        EXPECT_TRUE(json["timelineEndMs"].is_number_integer());
    }

    const Picture picture = ReadPicture(ReadBytes(picturePath));
    ASSERT_TRUE(picture.wellFormed);
    if (text.status == 2) {
        EXPECT_TRUE(picture.gapTitles.empty());
        EXPECT_TRUE(ShowsTextStartingWith(
            picture, json["status"] == "not-parsed" ? "Not checked" : "Check stopped"));
        return;
    }
    std::vector<std::string> gapLines;
    for (const auto& [from, to] : lines.gaps)
        gapLines.push_back("Gap from " + from + " to " + to);
    EXPECT_EQ(picture.gapTitles, gapLines);
}

std::vector<std::string> EveryProject() {
    std::vector<std::string> projects;
    for (const std::string& folder :
         {std::string(KESTROVA_TEST_DATA) + "/check", std::string(KESTROVA_TEST_DATA) + "/app",
          std::string(KESTROVA_EXAMPLES)})
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".kpj")
                projects.push_back(entry.path().string());
    std::sort(projects.begin(), projects.end());
    return projects;
}

class FormatsAgree : public testing::TestWithParam<std::string> {
protected:
    TempFolder folder_;
};

TEST_P(FormatsAgree, jsonAndPictureSayWhatTheReportSays) {
    const fs::path project = folder_ / fs::path(GetParam()).filename().string();
    WriteBytes(project, ReadBytes(GetParam()));
    ExpectFormatsAgree(project.string(), folder_ / "timeline.svg");
    EXPECT_EQ(folder_.entries().size(), 2u) << "no working copy is left";
}

INSTANTIATE_TEST_SUITE_P(FixturesAndExamples, FormatsAgree, testing::ValuesIn(EveryProject()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = fs::path(info.param).stem().string();
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(FormatsAgreeOnGenerated, jsonAndPictureSayWhatTheReportSaysOnRandomTimelines) {
    TempFolder folder;
    std::mt19937 random(13);
    for (int i = 0; i < 150; ++i) {
        const std::string xml = RandomTimelineDocument(random);
        WriteBytes(folder / "random.kpj", xml);
        SCOPED_TRACE(xml);
        ExpectFormatsAgree((folder / "random.kpj").string(), folder / "timeline.svg");
        if (testing::Test::HasFailure())
            break;
    }
}

// Items of one second with a one-second hole between every two: `items - 1` gaps.
std::string ProjectWithHoles(int items, int layers = 1) {
    std::string xml = "<kestrovadocument2><multilayer>";
    for (int layer = 1; layer <= layers; ++layer) {
        xml += "<layer><name>L" + std::to_string(layer) + "</name><scrap>no</scrap>";
        for (int i = layer - 1; i < items; i += layers)
            xml += "<layeritem_video><starttime>" + FormatTime(i * 2000) + "</starttime><endtime>" +
                   FormatTime(i * 2000 + 1000) + "</endtime></layeritem_video>";
        xml += "</layer>";
    }
    return xml + "</multilayer></kestrovadocument2>";
}

struct GapCountCase {
    int items;
    int layers;
    std::size_t bands; // 0: fewer bands than gaps
    std::string note;  // a text the picture shows
};

void PrintTo(const GapCountCase& c, std::ostream* os) {
    *os << c.items << " items on " << c.layers << " layers";
}

class PictureGapCount : public testing::TestWithParam<GapCountCase> {};

TEST_P(PictureGapCount, everyGapIsABandUpToOneThousandThenBandsMergeAndTheTotalIsStated) {
    const GapCountCase& c = GetParam();
    TempFolder folder;
    WriteBytes(folder / "holes.kpj", ProjectWithHoles(c.items, c.layers));
    const ToolRun run =
        RunTool({"--svg", (folder / "holes.svg").string(), (folder / "holes.kpj").string()});
    EXPECT_EQ(run.status, 1);
    const std::size_t gapLines = ReadReport(run.out).gaps.size();
    EXPECT_EQ(gapLines, static_cast<std::size_t>(c.items - 1));
    const Picture picture = ReadPicture(ReadBytes(folder / "holes.svg"));
    ASSERT_TRUE(picture.wellFormed);
    if (c.bands != 0)
        EXPECT_EQ(picture.gapTitles.size(), c.bands);
    else
        EXPECT_LT(picture.gapTitles.size(), gapLines);
    EXPECT_TRUE(ShowsTextStartingWith(picture, c.note)) << c.note;
}

INSTANTIATE_TEST_SUITE_P(Sizes, PictureGapCount,
                         testing::Values(GapCountCase{1001, 1, 1000, "Errors found"},
                                         GapCountCase{1002, 1, 0, "More than 1,000 gaps"},
                                         GapCountCase{3000, 250, 0,
                                                      "Layers 1\xE2\x80\x93"
                                                      "3"}));

TEST(PictureGapCount, mergedPictureStatesTheTotalNumberOfGaps) {
    TempFolder folder;
    WriteBytes(folder / "holes.kpj", ProjectWithHoles(5000));
    RunTool({"--svg", (folder / "holes.svg").string(), (folder / "holes.kpj").string()});
    const std::string svg = ReadBytes(folder / "holes.svg");
    EXPECT_THAT(svg, HasSubstr("4,999 gaps in all"));
    EXPECT_LT(svg.size(), 100'000u) << "gaps merged per pixel column keep the picture small";
}

// Texts of the project and of the command line are escaped and made valid UTF-8 in both formats.
TEST(TextSafety, markupInNamesAndBytesThatAreNotUtf8InThePathComeOutSafe) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows file names can hold neither these characters nor bytes that are "
                    "not UTF-8";
#endif
    TempFolder folder;
    const std::string project = (folder / "caf\xE9 <\"&'>.kpj").string();
    WriteBytes(project,
               "<kestrovadocument2><multilayer>"
               "<layer><name>Tom &amp; Jerry</name><scrap>no</scrap></layer>"
               "<layer><name>&lt;b&gt;\"x\" it's&lt;/b&gt;</name><scrap>yes</scrap></layer>"
               "<layer><scrap>no</scrap></layer>"
               "</multilayer></kestrovadocument2>");
    const std::string picture = (folder / "out.svg").string();
    const ToolRun run = RunTool({"--json", "--svg", picture, project});
    EXPECT_EQ(run.status, 0) << run.err;

    const Json json = Json::parse(run.out); // throws on bytes that are not UTF-8
    const std::string replaced = (folder / "caf\xEF\xBF\xBD <\"&'>.kpj").string();
    EXPECT_EQ(json["file"], replaced);
    EXPECT_THAT(json["report"].get<std::string>(), HasSubstr("Reporting on " + replaced));
    EXPECT_EQ(json["layers"][0]["name"], "Tom & Jerry");
    EXPECT_EQ(json["layers"][1]["name"], "<b>\"x\" it's</b>");
    EXPECT_TRUE(json["layers"][2]["name"].is_null());

    const Picture shown = ReadPicture(ReadBytes(picture));
    ASSERT_TRUE(shown.wellFormed);
    EXPECT_THAT(shown.texts, Contains("Tom & Jerry"));
    EXPECT_THAT(shown.texts, Contains("<b>\"x\" it's</b> (scrapped)"));
    EXPECT_THAT(shown.texts, Contains("(no name)"));
    EXPECT_THAT(shown.texts, Contains(replaced));
}

// Every text goes out as JSON the strict parser takes and as XML the XML parser takes: broken,
// overlong and surrogate sequences and characters XML forbids become U+FFFD; valid text stays.
TEST(TextSafety, anyBytesBecomeTextThatJsonAndXmlParsersAccept) {
    struct Case {
        std::string bytes;
        std::string utf8;
    };
    const std::string r = "\xEF\xBF\xBD";
    for (const Case& c : std::vector<Case>{{"plain \xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAC",
                                            "plain \xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAC"},
                                           {"\xFF", r},
                                           {"\xC0\x80", r + r},
                                           {"\xED\xA0\x80", r + r + r},
                                           {"\xF4\x90\x80\x80", r + r + r + r},
                                           {"cut \xE2\x82", "cut " + r + r},
                                           {"tab\tbell\x07", "tab\tbell\x07"}}) {
        EXPECT_EQ(ValidUtf8(c.bytes), c.utf8);
        EXPECT_EQ(Json::parse(Json(ValidUtf8(c.bytes)).dump()), c.utf8);
        const Picture shown = ReadPicture("<svg><text>" + XmlEscaped(c.bytes) + "&lt;&amp;" +
                                          XmlEscaped("\"'\x01\xEF\xBF\xBF") + "</text></svg>");
        ASSERT_TRUE(shown.wellFormed) << XmlEscaped(c.bytes);
        std::string inXml = c.utf8; // a control character other than tab is no XML character
        if (const std::size_t bell = inXml.find('\x07'); bell != std::string::npos)
            inXml.replace(bell, 1, r);
        EXPECT_EQ(shown.texts.at(0), inXml + "<&\"'" + r + r);
    }
}

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
