// kestrova-checker.exe: the checker's own window on Windows. With a project file as its
// argument (as the file association starts it), that file is checked once the window shows;
// --help, --version and a mistaken command line are answered in the message box, without the
// window.

#include "app/command_line.h"
#include "app/win32/gdi_printing.h"
#include "app/win32/main_window.h"
#include "check/wide_text.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// Posted to the window so that the argument is checked once the window is on screen.
constexpr UINT kCheckArgument = WM_APP + 1;

// The arguments after the program's name, UTF-8.
std::vector<std::string> ArgumentsAfterProgram() {
    std::vector<std::string> arguments;
    int count = 0;
    if (PWSTR* given = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            arguments.push_back(kestrova::win32::Utf8(given[i]));
        LocalFree(given);
    }
    return arguments;
}

// Answers --help and --version, and refuses a mistaken command line, in the message box; nothing
// for a command line that opens the window.
std::optional<int> AnswerInMessageBox(const kestrova::CommandLine& line) {
    using Action = kestrova::CommandLine::Action;
    kestrova::win32::WindowsMessageBox messages;
    switch (line.action) {
    case Action::ShowHelp:
        messages.showMessage(kestrova::HelpText());
        return 0;
    case Action::ShowVersion:
        messages.showMessage(kestrova::VersionText());
        return 0;
    case Action::Refuse:
        messages.showMessage(kestrova::RefusalText(line));
        return 2;
    case Action::OpenWindow:
        break;
    }
    return std::nullopt;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const kestrova::CommandLine line = kestrova::ReadCommandLine(ArgumentsAfterProgram());
    if (const std::optional<int> status = AnswerInMessageBox(line))
        return *status;

    kestrova::win32::GdiPrinterSource printers;
    kestrova::win32::MainWindow window(
        instance, printers, {kestrova::PlatformRegistry(), kestrova::PlatformLauncher()});
    if (!window.create())
        return 1;
    window.endLoopOnClose(true);

    ShowWindow(window.handle(), show);
    UpdateWindow(window.handle());
    if (!line.projectFile.empty())
        PostThreadMessageW(GetCurrentThreadId(), kCheckArgument, 0, 0);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr && message.message == kCheckArgument) {
            window.openFile(line.projectFile);
            continue;
        }
        if (window.handle() != nullptr &&
            TranslateAcceleratorW(window.handle(), window.accelerators(), &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
