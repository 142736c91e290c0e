// The literal gap scan against the fast one on touching items stored in reverse time order,
// where each literal coverage pass moves coverage over one item only.

#include "literal_gap_scan.h"
#include "tests/check/document_from_bytes.h"

#include "check/gap_scan.h"
#include "check/layer_survey.h"

#include <benchmark/benchmark.h>

namespace kestrova {
namespace {

std::string ReversedTouchingProject(int items) {
    std::string xml = "<kestrovadocument2><multilayer><layer><name>Video</name><scrap>no</scrap>";
    for (int i = items - 1; i >= 0; --i) {
        xml += "<layeritem_video><starttime>" + FormatTime(i * 1000) + "</starttime><endtime>" +
               FormatTime(i * 1000 + 1000) + "</endtime></layeritem_video>";
    }
    return xml + "</layer></multilayer></kestrovadocument2>";
}

struct SurveyedProject {
    XmlDocument document;
    CheckRunState state;
    std::vector<VisualItem> visualItems;
    XmlNode multilayer;

    explicit SurveyedProject(int items)
        : document(DocumentFromBytes(ReversedTouchingProject(items))) {
        CheckResult surveyed;
        Findings findings(surveyed, false);
        visualItems = SurveyLayers(document, state, findings);
        multilayer = document.selectSingleNode(ElementKind::Document)
                         .selectSingleNode(ElementKind::Multilayer);
    }
};

void LiteralScan(benchmark::State& run) {
    const SurveyedProject project(static_cast<int>(run.range(0)));
    for (auto _ : run) {
        CheckRunState state = project.state;
        CheckResult result;
        Findings findings(result, false);
        ScanTimelineGapsLiteral(project.multilayer, state, findings);
        benchmark::DoNotOptimize(result);
    }
}

void FastScan(benchmark::State& run) {
    const SurveyedProject project(static_cast<int>(run.range(0)));
    for (auto _ : run) {
        CheckRunState state = project.state;
        CheckResult result;
        Findings findings(result, false);
        ScanTimelineGaps(project.visualItems, state, findings);
        benchmark::DoNotOptimize(result);
    }
}

BENCHMARK(LiteralScan)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FastScan)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace kestrova

BENCHMARK_MAIN();
