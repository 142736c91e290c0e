// Waits for a checker window to show a report, then writes the full path of the program that
// shows it on the first line and the report after it, as UTF-8, and closes the window:
//   window_report.exe
// Exits with 1 when no window has shown a report within 30 seconds. The setup program's test
// (scripts/test-windows.sh) opens a project through the file type this way.

#include "app/win32/main_window.h"
#include "app/win32/resource_ids.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring ReportOf(HWND window) {
    HWND box = GetDlgItem(window, IDC_LST_REPORTS);
    if (box == nullptr)
        return {};
    const LRESULT length = SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT got =
        SendMessageW(box, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(got));
    return text;
}

std::wstring ProgramOf(HWND window) {
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
    if (process == nullptr)
        return {};
    wchar_t path[MAX_PATH * 2];
    DWORD size = sizeof path / sizeof path[0];
    const BOOL ok = QueryFullProcessImageNameW(process, 0, path, &size);
    CloseHandle(process);
    return ok ? std::wstring(path, size) : std::wstring();
}

} // namespace

int wmain() {
    for (int tries = 0; tries < 300; ++tries) {
        HWND window = FindWindowW(kestrova::win32::kMainWindowClass, nullptr);
        if (window != nullptr) {
            const std::wstring report = ReportOf(window);
            if (!report.empty()) {
                const std::string out = Utf8(ProgramOf(window) + L"\r\n" + report);
                std::fwrite(out.data(), 1, out.size(), stdout);
                PostMessageW(window, WM_CLOSE, 0, 0);
                return 0;
            }
        }
        Sleep(100);
    }
    return 1;
}
