// Showing a long report in the window's report box, and reading it back as printing does.

#include "app/report_box.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <benchmark/benchmark.h>

#include <string>

namespace kestrova {
namespace {

std::string LongReport(int gaps) {
    std::string report = "\r\nReporting on project.kpj\r\n\r\nLayers:\r\n 1: \tVideo\r\n";
    for (int i = 0; i < gaps; ++i)
        report += "\r\nGap on timeline from:  0h 00m 01s 000  to:  0h 00m 02s 000";
    return report;
}

void ShowReport(benchmark::State& run) {
    const std::string report = LongReport(static_cast<int>(run.range(0)));
    QPlainTextEdit box;
    app::PlainTextReportBox reportBox(box);
    for (auto _ : run) {
        reportBox.setText("");
        reportBox.setText(report);
    }
}

void ReadReport(benchmark::State& run) {
    QPlainTextEdit box;
    app::PlainTextReportBox reportBox(box);
    reportBox.setText(LongReport(static_cast<int>(run.range(0))));
    for (auto _ : run)
        benchmark::DoNotOptimize(reportBox.text());
}

BENCHMARK(ShowReport)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadReport)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace kestrova

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
