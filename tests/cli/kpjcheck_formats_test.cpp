// kpjcheck --json and --svg: the JSON object and the timeline picture say what the text report
// says, on every fixture and example and on generated timelines, gap for gap up to the picture's
// limit; texts from the project and the command line are made safe.

#include "cli/kpjcheck.h"
#include "cli/text_safety.h"
#include "svg_picture.h"
#include "tests/check/check_test_support.h"
#include "timeline_generator.h"
#include "tool_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <optional>
#include <random>

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

} // namespace
} // namespace kestrova
