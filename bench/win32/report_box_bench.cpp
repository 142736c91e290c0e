// How long the Windows report box takes to show a report: the text set into the EDIT control and
// the control painted, with the shell's rule for long lines (as the window shows it) and without
// it (the whole text set as it is), for reports of many lines of a given length without a space.
// Run under Wine on an X server: report_box_bench_win32.exe. Prints one line per case: the
// case, its lines and their length, and the median of three runs in milliseconds.

#include "app/win32/main_window.h"
#include "app/win32/report_box.h"
#include "check/wide_text.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
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
    DestroyWindow(frame);
    return 0;
}
