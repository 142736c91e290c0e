#pragma once
// What the tests of the Windows window share: a main window of their own, message pumping with
// a time limit, and twips at the window's dpi.

#include "app/win32/main_window.h"
#include "app/win32/report_box.h"
#include "app/win32/resource_ids.h"

#include "../scripted_files.h"
#include "fake_system.h"

#include <windows.h>

#include <shlobj.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrova::win32::testing {

// Handles waiting messages until `done` holds or the time is up; gives `done()` at the end.
inline bool PumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
    return done();
}

// A printer source that has no default printer, or a printer that refuses every job.
class NoPrinters final : public PrinterSource {
public:
    std::unique_ptr<Printer> defaultPrinter() override { return nullptr; }
};

// A drop as the shell makes it: DROPFILES and the names, each ending in a zero, then one more
// zero.
inline void DropFiles(HWND window, const std::vector<std::wstring>& names) {
    std::wstring list;
    for (const std::wstring& name : names)
        list += name + L'\0';
    const std::size_t bytes = sizeof(DROPFILES) + (list.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    list.copy(reinterpret_cast<wchar_t*>(drop + 1), list.size());
    GlobalUnlock(memory);
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

inline void DropFile(HWND window, const std::wstring& name) {
    DropFiles(window, {name});
}

inline int Px(int twips, HWND window) {
    const UINT dpi = GetDpiForWindow(window);
    return MulDiv(twips, static_cast<int>(dpi != 0 ? dpi : 96), 1440);
}

inline std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The window's report box, found from its control as the box's own fill timer finds it.
inline ReportBox& ReportIn(const MainWindow& window) {
    return *EditReportBox::AttachedTo(GetDlgItem(window.handle(), IDC_LST_REPORTS));
}

// A control's rectangle in its parent's client coordinates.
inline RECT PlaceInParent(HWND control) {
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

// A main window as the program makes it, shown, with printers, a registry, an Open dialog and a
// message box of the test's; `openDialog` replaces the scripted Open dialog (with a real one of
// the test's own). Each dialog the window opens is handed to `dialogShown` once it shows.
class WindowFixture {
public:
    explicit WindowFixture(PrinterSource& printers, FileSelection* openDialog = nullptr)
        : window(GetModuleHandleW(nullptr), printers, {registry, launcher},
                 {openDialog != nullptr ? openDialog : &files, &messages}, [this](HWND dialog) {
                     if (dialogShown)
                         dialogShown(dialog);
                 }) {
        created = window.create();
        if (created) {
            ShowWindow(window.handle(), SW_SHOWNORMAL);
            SetForegroundWindow(window.handle());
            UpdateWindow(window.handle());
        }
    }

    kestrova::testing::FakeRegistry registry;
    kestrova::testing::FakeLauncher launcher;
    kestrova::testing::ScriptedFiles files;
    kestrova::testing::RecordingMessages messages;
    std::function<void(HWND)> dialogShown;
    MainWindow window;
    bool created = false;
};

} // namespace kestrova::win32::testing
