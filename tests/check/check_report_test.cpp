// Whole reports of check runs on fixture projects: the layer list, the item warnings, the gap
// lines and the closing line, compared character for character.

#include "tests/check/check_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrova {
namespace {

using namespace testing_support;

std::string Gap(const std::string& from, const std::string& to) {
    return "Gap on timeline from:  " + from + "  to:  " + to;
}

std::string Zero(const std::string& at) {
    return "\tWARNING - Zero length item at " + at;
}

std::string Negative(const std::string& from, const std::string& to) {
    return "\tWARNING - Negative length item from " + from + " to " + to;
}

const std::string k0s = "0h 00m 00s 000";
const std::string k1s = "0h 00m 01s 000";
const std::string k2s = "0h 00m 02s 000";
const std::string k3s = "0h 00m 03s 000";
const std::string k4s = "0h 00m 04s 000";
const std::string k5s = "0h 00m 05s 000";
const std::string k6s = "0h 00m 06s 000";
const std::string k7s = "0h 00m 07s 000";
const std::string k8s = "0h 00m 08s 000";
const std::string k9s = "0h 00m 09s 000";
const std::string k10s = "0h 00m 10s 000";
const std::string k12s = "0h 00m 12s 000";

struct ReportCase {
    std::string fixture;
    std::vector<std::string> afterHeader; // the displayed lines from "Layers:" on
};

void PrintTo(const ReportCase& c, std::ostream* os) {
    *os << c.fixture;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += "\r\n" + line;
    return text;
}

std::string FixtureName(const testing::TestParamInfo<ReportCase>& info) {
    return info.param.fixture.substr(0, info.param.fixture.find('.'));
}

class FixtureReport : public testing::TestWithParam<ReportCase> {};

TEST_P(FixtureReport, isExactlyTheExpectedTextAndLeavesNoFileBehind) {
    const std::string project = FixturePath(GetParam().fixture);
    const std::string before = ReadBytes(project);
    TempFolder folder;
    CurrentDirectoryGuard inFolder(folder.path());

    const RunResult run = RunOn(project, "previous report");

    EXPECT_EQ(run.report, Header(project) + Join(GetParam().afterHeader));
    const bool clean = GetParam().afterHeader.back() == "No errors found";
    EXPECT_EQ(run.result->status, clean ? CheckStatus::NoErrors : CheckStatus::ErrorsFound);
    EXPECT_TRUE(run.messages.empty());
    EXPECT_TRUE(folder.entries().empty()) << "the working copy is still there";
    EXPECT_EQ(ReadBytes(project), before);
}

INSTANTIATE_TEST_SUITE_P(
    LayerList, FixtureReport,
    testing::Values(
        ReportCase{"clean_two_layers.kpj",
                   {"Layers:", " 1: \tMain camera", " 2: \tTitles", "", "No errors found"}},
        ReportCase{"clean_two_layers_no_final_line_end.kpj",
                   {"Layers:", " 1: \tMain camera", " 2: \tTitles", "", "No errors found"}},
        ReportCase{"empty_multilayer.kpj", {"Layers:", "", "No errors found"}},
        // Warnings stand above their layer's line and are each followed by an empty line.
        ReportCase{"survey_output_order.kpj",
                   {"Layers:", Zero(k2s), "", Negative(k5s, k3s), "", " 1: \tInterview",
                    " 2: \tOuttakes\t - SCRAPPED", "", Gap(k0s, k2s), Gap(k2s, k3s)}},
        ReportCase{"layer_numbers_9_and_10.kpj",
                   {"Layers:", " 1: \tLayer 1", " 2: \tLayer 2", " 3: \tLayer 3", " 4: \tLayer 4",
                    " 5: \tLayer 5", " 6: \tLayer 6", " 7: \tLayer 7", " 8: \tLayer 8",
                    " 9: \tLayer 9", "10: \tLayer 10", "", "No errors found"}},
        // The mark goes onto the line left from layer 1, which the name then replaces; the
        // layer still counts as scrapped, so its 50 s video does not stretch the timeline.
        ReportCase{"scrap_before_name.kpj",
                   {"Layers:", " 1: \tFirst", " 2: \tSecond", "", "No errors found"}},
        ReportCase{"layers_without_name.kpj",
                   {"Layers:", "", " 2: \tTwo\t - SCRAPPED", " 2: \tTwo\t - SCRAPPED",
                    " 2: \tTwo\t - SCRAPPED\t - SCRAPPED", "", "No errors found"}},
        // "Yes" and "YES" leave the layer live; " yes " is "yes" once trimmed.
        ReportCase{"scrap_text_case_and_spaces.kpj",
                   {"Layers:", " 1: \tUpper first", " 2: \tAll upper", " 3: \tPadded\t - SCRAPPED",
                    "", Gap(k5s, k8s)}},
        ReportCase{"first_items_without_times.kpj",
                   {"Layers:", Zero(k0s), "", Negative(k2s, k1s), "", Negative(k2s, k1s), "",
                    " 1: \tCamera", "", Gap(k0s, k1s)}},
        ReportCase{"non_layer_children.kpj",
                   {"Layers:", " 1: \tReal & only", " 2: \tSecond", "", "No errors found"}},
        ReportCase{"latin1_name.kpj",
                   {"Layers:", " 1: \tCaf\xC3\xA9 sc\xC3\xA8ne", "", "No errors found"}},
        ReportCase{"utf8_declared_name.kpj",
                   {"Layers:", " 1: \tCaf\xC3\xA9 sc\xC3\xA8ne", "", "No errors found"}}),
    FixtureName);

INSTANTIATE_TEST_SUITE_P(
    Gaps, FixtureReport,
    testing::Values(
        ReportCase{"gap_hole_between_items.kpj", {"Layers:", " 1: \tCamera", "", Gap(k5s, k8s)}},
        ReportCase{"gap_first_item_after_zero.kpj", {"Layers:", " 1: \tCamera", "", Gap(k0s, k3s)}},
        ReportCase{"gap_audio_and_filter_past_end.kpj",
                   {"Layers:", " 1: \tCamera", " 2: \tSound", "", Gap(k4s, k12s)}},
        ReportCase{"gap_only_audio.kpj", {"Layers:", " 1: \tMusic", "", Gap(k0s, k7s)}},
        ReportCase{"gap_all_layers_scrapped.kpj",
                   {"Layers:", " 1: \tOld\t - SCRAPPED", " 2: \tOlder\t - SCRAPPED", "",
                    "No errors found"}},
        ReportCase{"gap_zero_item_at_coverage_end.kpj",
                   {"Layers:", Zero(k5s), "", " 1: \tCamera", " 2: \tMusic", "", Gap(k5s, k9s)}},
        ReportCase{"gap_split_by_zero_and_negative_items.kpj",
                   {"Layers:", Zero(k6s), "", Negative(k8s, k7s), "", " 1: \tCamera", "",
                    Gap(k2s, k6s), Gap(k6s, k8s), Gap(k8s, k10s)}},
        ReportCase{"gap_reverse_touching_and_overlapping.kpj",
                   {"Layers:", " 1: \tLate", " 2: \tEarly", "", "No errors found"}},
        // Its end counts while the layer has no scrapped flag yet; the scrap that follows
        // takes the video out of the coverage.
        ReportCase{
            "scrap_after_items.kpj",
            {"Layers:", " 1: \tCamera", " 2: \tScrapped late\t - SCRAPPED", "", Gap(k5s, k9s)}},
        // The video lacks an end time: the scan starts with the audio's end left by the survey.
        ReportCase{"gap_endtime_carried_from_survey.kpj",
                   {"Layers:", " 1: \tMusic", " 2: \tCamera", "", "No errors found"}},
        // The survey judges the effect with the audio's end (no warning); the scan walks only
        // visual items, so it judges it with the video's end and it covers nothing.
        ReportCase{"gap_endtime_carried_within_scan.kpj",
                   {"Layers:", " 1: \tCamera", " 2: \tMusic", " 3: \tTitles", "", Gap(k4s, k10s)}}),
    FixtureName);

// A layer count past the 16-bit range, written into a temporary project.
TEST(LayerCount, goesOnPast32767) {
    constexpr int kLayers = 33000;
    TempFolder folder;
    std::string project =
        "<?xml version=\"1.0\" standalone=\"yes\" ?>\n<kestrovadocument2>\n<multilayer>\n"
        "<layer><name>1</name><scrap>no</scrap><layeritem_video>"
        "<starttime>0h 00m 00s 000</starttime><endtime>0h 00m 05s 000</endtime>"
        "</layeritem_video></layer>\n";
    for (int layer = 2; layer <= kLayers; ++layer) {
        project += "<layer><name>" + std::to_string(layer) + "</name>";
        if (layer == 32768)
            project += "<scrap>yes</scrap><layeritem_video><starttime>0h 00m 00s 000</starttime>"
                       "<endtime>0h 00m 30s 000</endtime></layeritem_video>";
        if (layer == kLayers)
            project += "<layeritem_audio><starttime>0h 00m 00s 000</starttime>"
                       "<endtime>0h 00m 07s 000</endtime></layeritem_audio>";
        project += "</layer>\n";
    }
    project += "</multilayer>\n</kestrovadocument2>\n";
    WriteBytes(folder / "many.kpj", project);
    CurrentDirectoryGuard inFolder(folder.path());

    const RunResult run = RunOn((folder / "many.kpj").string());

    ASSERT_EQ(run.result->status, CheckStatus::ErrorsFound) << MessageText(*run.result);
    EXPECT_NE(
        run.report.find("\r\n32767: \t32767\r\n32768: \t32768\t - SCRAPPED\r\n32769: \t32769\r\n"),
        std::string::npos);
    // Layer 32768 is scrapped, so its 30 s video neither covers nor stretches the timeline; the
    // audio of the last layer does.
    EXPECT_TRUE(run.report.ends_with("\r\n33000: \t33000\r\n\r\n" + Gap(k5s, k7s)))
        << run.report.substr(run.report.size() - 200);
}

} // namespace
} // namespace kestrova
