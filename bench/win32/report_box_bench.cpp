// How long the Windows report box takes to show a report: the text set into the EDIT control and
// the control painted, with the shell's rule for long lines (as the window shows it) and without
// it (the whole text set as it is), for reports of many lines of a given length without a space;
// then a 100,000-gap report: set into the box, and a project with 100,000 gaps opened in the
// window, each to the top painted and to the whole report in the control.
// Run under Wine on an X server: report_box_bench_win32.exe. Prints one line per case: the
// case, its lines and their length, and the median of three runs in milliseconds.

#include "app/win32/gdi_printing.h"
#include "app/win32/main_window.h"
#include "app/win32/report_box.h"
#include "app/win32/resource_ids.h"
#include "bench/gap_project.h"
#include "check/wide_text.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string Report(int lines, std::size_t length) {
    std::string report = "\r\nReporting on project.kpj\r\n\r\nLayers:";
    for (int i = 1; i <= lines; ++i)
        report += "\r\n " + std::to_string(i) + ": \t" + std::string(length, 'n');
    return report + "\r\n\r\nNo errors found";
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Milliseconds to set the text and paint the box; the median of `runs`.
template <typename Show> double Median(HWND frame, HWND edit, Show show, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        SetWindowTextW(edit, L"");
        Pump();
        const auto start = std::chrono::steady_clock::now();
        show();
        InvalidateRect(edit, nullptr, TRUE);
        UpdateWindow(frame);
        Pump();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Lets the box take in the rest of its report: until the control holds `length` characters.
void PumpUntilHolds(HWND edit, std::size_t length) {
    while (static_cast<std::size_t>(GetWindowTextLengthW(edit)) < length) {
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

struct TwoTimes {
    double painted;
    double whole;
};

void PrintMedians(const char* name, int lines, std::vector<TwoTimes> runs) {
    auto median = [&](double TwoTimes::*field) {
        std::vector<double> times;
        for (const TwoTimes& run : runs)
            times.push_back(run.*field);
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    std::printf("%-10s %6d %7s %8.0f painted, %.0f whole\n", name, lines, "-",
                median(&TwoTimes::painted), median(&TwoTimes::whole));
    std::fflush(stdout);
}

// A 100,000-gap report set into the box in parts, as the box does, and, in turn with it, set
// into the control at once: to the top painted, and to the whole text held.
void ShowGapReport(HWND frame, HWND edit, kestrova::win32::EditReportBox& box) {
    const std::string report = kestrova::bench::GapReportText(100000);
    const std::wstring wide = kestrova::win32::Wide(report);
    std::vector<TwoTimes> inParts;
    std::vector<TwoTimes> atOnce;
    for (int i = 0; i < 3; ++i) {
        for (const bool parts : {false, true}) {
            box.setText("");
            Pump();
            const auto start = Clock::now();
            if (parts)
                box.setText(report);
            else
                SetWindowTextW(edit, wide.c_str());
            InvalidateRect(edit, nullptr, TRUE);
            UpdateWindow(frame);
            const double painted = Since(start);
            PumpUntilHolds(edit, wide.size());
            (parts ? inParts : atOnce).push_back({painted, Since(start)});
        }
    }
    PrintMedians("at once", 100000, atOnce);
    PrintMedians("in parts", 100000, inParts);
}

// A project of 100,000 gaps opened in the window, as a file given on the command line is: the
// check, the top of the report painted, the whole report in the box.
void OpenGapProject() {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    SetCurrentDirectoryW(folder);
    const std::wstring path = std::wstring(folder) + L"kestrova-bench-gaps.kpj";
    std::ofstream(std::filesystem::path(path), std::ios::binary)
        << kestrova::bench::GapProjectText(100000);
    kestrova::win32::GdiPrinterSource printers;
    kestrova::win32::MainWindow window(
        GetModuleHandleW(nullptr), printers,
        {kestrova::PlatformRegistry(), kestrova::PlatformLauncher()});
    if (!window.create())
        return;
    ShowWindow(window.handle(), SW_SHOW);
    const HWND reportControl = GetDlgItem(window.handle(), IDC_LST_REPORTS);
    kestrova::ReportBox& report = *kestrova::win32::EditReportBox::AttachedTo(reportControl);
    std::vector<TwoTimes> runs;
    for (int i = 0; i < 3; ++i) {
        report.setText("");
        Pump();
        const auto start = Clock::now();
        window.openFile(kestrova::win32::Utf8(path));
        UpdateWindow(window.handle());
        const double painted = Since(start);
        PumpUntilHolds(reportControl, kestrova::win32::Wide(report.text()).size());
        runs.push_back({painted, Since(start)});
    }
    DestroyWindow(window.handle());
    DeleteFileW(path.c_str());
    PrintMedians("open", 100000, runs);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const bool quick = argc > 1 && std::wstring(argv[1]) == L"--quick";
    HWND frame = CreateWindowExW(0, L"STATIC", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                                 520, 360, nullptr, nullptr, nullptr, nullptr);
    HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", kestrova::win32::kReportBoxStyle,
                                16, 16, 433, 257, frame, nullptr, nullptr, nullptr);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 TRUE);
    kestrova::win32::EditReportBox box(edit);
    Pump();

    struct Case {
        const char* name;
        int lines;
        std::size_t length;
        bool whole; // set as it is, without the rule for long lines
    };
    std::vector<Case> cases = {
        {"as shown", 3000, 4990, false}, {"as shown", 1, 1 << 20, false},
        {"as shown", 200, 20000, false}, {"whole text", 3000, 40, true},
        {"whole text", 3000, 100, true}, {"whole text", 3000, 200, true},
        {"whole text", 20, 1000, true},  {"whole text", 20, 2000, true},
        {"whole text", 20, 3000, true},  {"whole text", 20, 5000, true},
    };
    if (!quick)
        cases.push_back({"whole text", 3000, 4990, true});
    std::printf("case        lines  length   ms (median of 3)\n");
    if (argc > 1 && std::wstring(argv[1]) == L"--gaps")
        cases.clear();
    for (const Case& c : cases) {
        const std::string report = Report(c.lines, c.length);
        const std::wstring wide = kestrova::win32::Wide(report);
        const double ms = c.whole ? Median(
                                        frame, edit, [&] { SetWindowTextW(edit, wide.c_str()); }, 3)
                                  : Median(
                                        frame, edit, [&] { box.setText(report); }, 3);
        std::printf("%-10s %6d %7zu %8.0f\n", c.name, c.lines, c.length, ms);
        std::fflush(stdout);
    }
    ShowGapReport(frame, edit, box);
    DestroyWindow(frame);
    OpenGapProject();
    return 0;
}
