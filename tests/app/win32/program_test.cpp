// kestrova-checker.exe as a user starts it: with a project file as its argument the file is
// checked once the window shows, --help, --version and a mistaken command line are answered in
// the message box, Ctrl+O and Ctrl+P reach their commands from the keyboard, and at another dpi
// the twips layout is scaled.

#include "app/command_line.h"
#include "app/win32/main_window.h"

#include "check/check_project.h"
#include "check/report_writer.h"
#include "check/wide_text.h"

#include "window_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

namespace kestrova::win32 {
namespace {

using testing::PumpUntil;

// The program, started with one argument, and its main window once it shows (when it is to open
// one); closed and waited for at the end.
class Program {
public:
    explicit Program(const std::wstring& argument, bool opensWindow = true) {
        std::wstring line = L"\"" + Wide(KESTROVA_CHECKER_PROGRAM) + L"\"";
        if (!argument.empty())
            line += L" \"" + argument + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process_))
            return;
        CloseHandle(process_.hThread);
        if (!opensWindow)
            return;
        PumpUntil([&] {
            window_ = FindProcessWindow();
            return window_ != nullptr;
        });
    }
    ~Program() {
        if (process_.hProcess == nullptr)
            return;
        if (window_ != nullptr)
            PostMessageW(window_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0)
            TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hProcess);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    HWND window() const { return window_; }
    HWND box() const { return FindWindowExW(window_, nullptr, L"EDIT", nullptr); }
    DWORD processId() const { return process_.dwProcessId; }
    bool ended() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }
    DWORD exitCode() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

private:
    HWND FindProcessWindow() const {
        for (HWND w = FindWindowExW(nullptr, nullptr, kMainWindowClass, nullptr); w != nullptr;
             w = FindWindowExW(nullptr, w, kMainWindowClass, nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == process_.dwProcessId && IsWindowVisible(w))
                return w;
        }
        return nullptr;
    }

    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

std::string BoxText(HWND box) {
    const auto length = SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(box, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return Utf8(text);
}

TEST(Win32Program, ChecksTheFileGivenAsItsArgumentOnceTheWindowShows) {
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW((std::filesystem::u8path(KESTROVA_EXAMPLES) / "rough-cut.kpj").c_str(),
                     MAX_PATH, full, nullptr);
    UnseededRandom random;
    const std::string expected =
        ReportText(CheckProject({Utf8(full), WorkingCopyPlace::CurrentDirectory}, random));
    Program program(full);
    ASSERT_NE(program.window(), nullptr) << "the program's window did not show";
    std::string shown;
    EXPECT_TRUE(PumpUntil([&] {
        shown = BoxText(program.box());
        return shown == expected;
    })) << shown;
}

TEST(Win32Program, StartsEmptyWithoutAnArgument) {
    Program program(L"");
    ASSERT_NE(program.window(), nullptr);
    // The report box has the focus, and nothing is put into it.
    const DWORD thread = GetWindowThreadProcessId(program.window(), nullptr);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    EXPECT_TRUE(PumpUntil(
        [&] { return GetGUIThreadInfo(thread, &gui) && gui.hwndFocus == program.box(); }));
    Sleep(200);
    EXPECT_EQ(BoxText(program.box()), "");
}

// A dialog of the program's, by its class and caption, once it shows.
// A dialog or message box of the process, shown, with that caption (any, for nullptr).
HWND ProcessDialog(DWORD process, const wchar_t* caption) {
    for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", caption); w != nullptr;
         w = FindWindowExW(nullptr, w, L"#32770", caption)) {
        DWORD id = 0;
        GetWindowThreadProcessId(w, &id);
        if (id == process && IsWindowVisible(w))
            return w;
    }
    return nullptr;
}

HWND ProgramDialog(HWND owner, const wchar_t* caption) {
    DWORD process = 0;
    GetWindowThreadProcessId(owner, &process);
    return ProcessDialog(process, caption);
}

TEST(Win32Program, AnswersHelpVersionAndAMistakeInTheMessageBoxWithoutTheWindow) {
    const struct {
        const wchar_t* argument;
        std::wstring shown; // a part of the box's text
        DWORD status;
    } cases[] = {
        {L"--version", Wide(VersionText()).substr(0, VersionText().size() - 1), 0},
        {L"--help", L"Usage: kestrova-checker [FILE]", 0},
        {L"--frobnicate", L"unknown option \"--frobnicate\"", 2},
    };
    for (const auto& c : cases) {
        Program program(c.argument, false);
        HWND box = nullptr;
        ASSERT_TRUE(PumpUntil([&] {
            return (box = ProcessDialog(program.processId(), L"Kestrova Checker")) != nullptr;
        })) << Utf8(c.argument);
        EXPECT_NE(testing::WindowText(GetDlgItem(box, 0xFFFF)).find(c.shown), std::wstring::npos)
            << Utf8(c.argument);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(PumpUntil([&] { return program.ended(); })) << Utf8(c.argument);
        EXPECT_EQ(program.exitCode(), c.status) << Utf8(c.argument);
    }
}

void PressCtrlAnd(WORD key) {
    INPUT keys[4] = {};
    for (INPUT& input : keys)
        input.type = INPUT_KEYBOARD;
    keys[0].ki.wVk = VK_CONTROL;
    keys[1].ki.wVk = key;
    keys[2].ki.wVk = key;
    keys[2].ki.dwFlags = KEYEVENTF_KEYUP;
    keys[3].ki.wVk = VK_CONTROL;
    keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(4, keys, sizeof(INPUT));
}

TEST(Win32Program, CtrlOOpensTheOpenDialogAndCtrlPPrintsFromTheKeyboard) {
    Program program(L"");
    ASSERT_NE(program.window(), nullptr);
    SetForegroundWindow(program.window());
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == program.window(); }));
    PressCtrlAnd('O');
    HWND open = nullptr;
    EXPECT_TRUE(
        PumpUntil([&] { return (open = ProgramDialog(program.window(), nullptr)) != nullptr; }));
    if (open != nullptr) {
        PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(open); }));
    }
    // With the box empty, Ctrl+P says there is nothing to print.
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == program.window(); }));
    PressCtrlAnd('P');
    HWND message = nullptr;
    EXPECT_TRUE(PumpUntil([&] {
        return (message = ProgramDialog(program.window(), L"Kestrova Checker")) != nullptr;
    }));
    if (message != nullptr) {
        EXPECT_EQ(testing::WindowText(GetDlgItem(message, 0xFFFF)), L"Nothing to print!");
        PostMessageW(message, WM_COMMAND, IDOK, 0);
        PumpUntil([&] { return !IsWindow(message); });
    }
}

// The display's dots per inch, as Wine keeps them for the programs started after the change;
// put back at the end.
class DisplayDpi {
public:
    explicit DisplayDpi(DWORD dpi) {
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr);
        DWORD size = sizeof before_;
        had_ = RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr,
                                reinterpret_cast<BYTE*>(&before_), &size) == ERROR_SUCCESS;
        RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                       sizeof dpi);
    }
    ~DisplayDpi() {
        if (had_)
            RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&before_), sizeof before_);
        else
            RegDeleteValueW(key_, L"LogPixels");
        RegCloseKey(key_);
    }
    DisplayDpi(const DisplayDpi&) = delete;
    DisplayDpi& operator=(const DisplayDpi&) = delete;

private:
    HKEY key_ = nullptr;
    DWORD before_ = 0;
    bool had_ = false;
};

TEST(Win32Program, ScalesItsTwipsLayoutAtAnotherDpi) {
    const int dpi = 144;
    std::optional<Program> program;
    {
        DisplayDpi larger(dpi);
        program.emplace(L"");
    }
    ASSERT_NE(program->window(), nullptr);
    // The manifest makes it aware of each monitor's dpi.
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(program->window())),
              DPI_AWARENESS_PER_MONITOR_AWARE);
    RECT client{};
    GetClientRect(program->window(), &client);
    RECT box{};
    GetWindowRect(program->box(), &box);
    EXPECT_EQ(client.right, MulDiv(7170, dpi, 1440));
    EXPECT_EQ(client.bottom, MulDiv(4950, dpi, 1440));
    EXPECT_EQ(box.right - box.left, MulDiv(6495, dpi, 1440));
    EXPECT_EQ(box.bottom - box.top, MulDiv(3855, dpi, 1440));
}

} // namespace
} // namespace kestrova::win32
