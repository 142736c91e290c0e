// Showing a report in the window: long reports, very long lines, and a whole check run from the
// chosen file to the report on screen; reading the report back as printing does.

#include "app/qt/main_window.h"
#include "app/qt/report_box.h"
#include "bench/gap_project.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <string>

namespace kestrova {
namespace {

// A report whose layer lines carry names of the given length, one name for every layer.
std::string LongNamesReport(std::int64_t nameLength, int layers) {
    std::string report = "\r\nReporting on project.kpj\r\n\r\nLayers:";
    for (int i = 1; i <= layers; ++i)
        report += "\r\n " + std::to_string(i) + ": \t" + std::string(nameLength, 'n');
    return report + "\r\n\r\nNo errors found";
}

// Sets the text in a box on screen and lets it lay out and paint, as the window does.
void ShowInBox(benchmark::State& run, const std::string& report) {
    QPlainTextEdit box;
    box.resize(433, 257);
    box.show();
    qt::PlainTextReportBox reportBox(box);
    for (auto _ : run) {
        reportBox.setText("");
        reportBox.setText(report);
        box.viewport()->repaint();
        QCoreApplication::processEvents();
    }
}

void ShowReport(benchmark::State& run) {
    ShowInBox(run, bench::GapReportText(static_cast<int>(run.range(0))));
}

void ShowLongName(benchmark::State& run) {
    ShowInBox(run, LongNamesReport(run.range(0), 1));
}

// Many lines each just short of being cut for display.
void ShowManyLongLines(benchmark::State& run) {
    ShowInBox(run, LongNamesReport(run.range(0), 200));
}

// A long layer name that nameless layers repeat: thousands of lines just under the longest shown.
void ShowRepeatedLongName(benchmark::State& run) {
    ShowInBox(run, LongNamesReport(4990, static_cast<int>(run.range(0))));
}

void ReadReport(benchmark::State& run) {
    QPlainTextEdit box;
    qt::PlainTextReportBox reportBox(box);
    reportBox.setText(bench::GapReportText(static_cast<int>(run.range(0))));
    for (auto _ : run)
        benchmark::DoNotOptimize(reportBox.text());
}

void ReadLongName(benchmark::State& run) {
    QPlainTextEdit box;
    qt::PlainTextReportBox reportBox(box);
    reportBox.setText(LongNamesReport(run.range(0), 1));
    for (auto _ : run)
        benchmark::DoNotOptimize(reportBox.text());
}

// A project with a one-second hole after every item: one gap line per item.
void WriteGapProject(const QString& path, int items) {
    const std::string xml = bench::GapProjectText(items);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(xml.data(), static_cast<qint64>(xml.size())) != static_cast<qint64>(xml.size()))
        std::abort();
}

// From the file given to the window (as the Open dialog gives a choice) to the report painted.
void OpenInWindow(benchmark::State& run) {
    QTemporaryDir folder;
    const QString project = folder.filePath(QStringLiteral("gaps.kpj"));
    WriteGapProject(project, static_cast<int>(run.range(0)));
    const QString start = QDir::currentPath();
    qt::main window;
    window.show();
    for (auto _ : run) {
        window.checkProjectFile(QFile::encodeName(project));
        window.lstReports->viewport()->repaint();
        QCoreApplication::processEvents();
    }
    QDir::setCurrent(start);
}

BENCHMARK(ShowReport)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(ShowLongName)->Arg(200000)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(ShowManyLongLines)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(ShowRepeatedLongName)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadReport)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadLongName)->Arg(10 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenInWindow)->Arg(100000)->Unit(benchmark::kMillisecond);

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
