// The fast gap scan against the literal one: the same gap lines in the same order, the same
// errorsFound and the same carried times, on generated and on structured timelines.

#include "literal_gap_scan.h"
#include "tests/check/document_from_bytes.h"
#include "timeline_generator.h"

#include "check/gap_scan.h"
#include "check/layer_survey.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kestrova {
namespace {

struct ScanResult {
    std::vector<std::pair<Millis, Millis>> gaps;
    bool errorsFound;
    Millis itemStart;
    Millis itemEnd;
};

struct BothScans {
    ScanResult literal;
    ScanResult fast;
};

// Surveys the document once, then runs both scans on copies of the same run state.
BothScans ScanBothWays(const std::string& xml) {
    const XmlDocument document = DocumentFromBytes(xml);
    EXPECT_EQ(document.parseError().errorCode, 0) << xml;
    CheckRunState surveyed;
    CheckResult surveyResult;
    Findings surveyFindings(surveyResult, false);
    const std::vector<VisualItem> visualItems = SurveyLayers(document, surveyed, surveyFindings);
    const XmlNode multilayer =
        document.selectSingleNode(ElementKind::Document).selectSingleNode(ElementKind::Multilayer);

    CheckRunState literalState = surveyed;
    CheckResult literal;
    Findings literalFindings(literal, false);
    ScanTimelineGapsLiteral(multilayer, literalState, literalFindings);
    CheckRunState fastState = surveyed;
    CheckResult fast;
    Findings fastFindings(fast, false);
    ScanTimelineGaps(visualItems, fastState, fastFindings);
    return {
        {GapSpans(literal), literalState.errorsFound, literalState.itemStart, literalState.itemEnd},
        {GapSpans(fast), fastState.errorsFound, fastState.itemStart, fastState.itemEnd}};
}

void ExpectSameScan(const std::string& xml) {
    const BothScans scans = ScanBothWays(xml);
    ASSERT_EQ(scans.fast.gaps, scans.literal.gaps) << "timeline:\n" << xml;
    ASSERT_EQ(scans.fast.errorsFound, scans.literal.errorsFound) << "timeline:\n" << xml;
    ASSERT_EQ(scans.fast.itemStart, scans.literal.itemStart) << "timeline:\n" << xml;
    ASSERT_EQ(scans.fast.itemEnd, scans.literal.itemEnd) << "timeline:\n" << xml;
}

std::string Item(const char* kind, int startSeconds, int endSeconds) {
    return std::string("<") + kind + "><starttime>" + FormatTime(startSeconds * 1000) +
           "</starttime><endtime>" + FormatTime(endSeconds * 1000) + "</endtime></" + kind + ">";
}

std::string OneLayer(const std::string& items) {
    return "<kestrovadocument2><multilayer><layer><name>L</name><scrap>no</scrap>" + items +
           "</layer></multilayer></kestrovadocument2>";
}

// Builds that run slower (sanitizers, an emulated system) compare fewer timelines.
#ifndef KESTROVA_GENERATED_TIMELINES
#define KESTROVA_GENERATED_TIMELINES 100000
#endif

TEST(GapScanDifferential, agreesOnEveryGeneratedTimeline) {
    constexpr int kTimelines = KESTROVA_GENERATED_TIMELINES;
    std::mt19937 random(20261207);
    int withGaps = 0;
    for (int i = 0; i < kTimelines; ++i) {
        const std::string xml = RandomTimelineDocument(random);
        const BothScans scans = ScanBothWays(xml);
        ASSERT_EQ(scans.fast.gaps, scans.literal.gaps) << "timeline " << i << ":\n" << xml;
        ASSERT_EQ(scans.fast.errorsFound, scans.literal.errorsFound) << "timeline:\n" << xml;
        ASSERT_EQ(scans.fast.itemStart, scans.literal.itemStart) << "timeline:\n" << xml;
        ASSERT_EQ(scans.fast.itemEnd, scans.literal.itemEnd) << "timeline:\n" << xml;
        withGaps += scans.literal.errorsFound ? 1 : 0;
    }
    // The generator must reach both outcomes often, or the comparison proves little.
    EXPECT_GT(withGaps, kTimelines / 5);
    EXPECT_LT(withGaps, kTimelines / 5 * 4);
}

TEST(GapScanDifferential, agreesOnTouchingItemsInReverseOrder) {
    std::string items;
    for (int second = 400; second > 0; --second)
        items += Item("layeritem_video", second - 1, second);
    ExpectSameScan(OneLayer(items));
}

TEST(GapScanDifferential, agreesOnHolesBetweenEveryTwoItems) {
    std::string items;
    for (int second = 0; second < 300; second += 3)
        items +=
            Item(second % 2 == 0 ? "layeritem_bitmap" : "layeritem_effect", second, second + 2);
    ExpectSameScan(OneLayer(items + Item("layeritem_audio", 0, 400)));
}

TEST(GapScanDifferential, agreesWhenTheFirstPassMovesNothingButLaterOnesWould) {
    // The first item has an end but no start: in the first pass it carries the survey's last
    // start (the audio item's 5 s) and covers nothing; in later passes it carries the last
    // visual start (0 s) and would cover 0 to 9 s. The first pass decides: the gap stays.
    const std::string xml = "<kestrovadocument2><multilayer><layer><name>L</name>"
                            "<layeritem_video><endtime>0h 00m 09s 000</endtime></layeritem_video>" +
                            Item("layeritem_video", 0, 0) + Item("layeritem_audio", 5, 9) +
                            "</layer></multilayer></kestrovadocument2>";
    ExpectSameScan(xml);
    EXPECT_EQ(ScanBothWays(xml).fast.gaps, (std::vector<std::pair<Millis, Millis>>{{0, 9000}}));
}

TEST(GapScanDifferential, agreesOnNestedAndOverlappingItemsAcrossLayers) {
    const std::string xml = "<kestrovadocument2><multilayer>"
                            "<layer><name>A</name>" +
                            Item("layeritem_video", 0, 10) + Item("layeritem_video", 2, 4) +
                            "</layer>"
                            "<layer><name>B</name><scrap>yes</scrap>" +
                            Item("layeritem_video", 10, 20) +
                            "</layer>"
                            "<layer><name>C</name>" +
                            Item("layeritem_effect", 9, 12) + Item("layeritem_effect", 15, 15) +
                            Item("layeritem_filter", 0, 30) +
                            "</layer></multilayer></kestrovadocument2>";
    ExpectSameScan(xml);
}

} // namespace
} // namespace kestrova
