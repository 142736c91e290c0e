// kestrova-checker.exe: the checker's own window on Windows. With a project file as its
// argument (as the file association starts it), that file is checked once the window shows.

#include "app/win32/gdi_printing.h"
#include "app/win32/main_window_win32.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>

namespace {

// Posted to the window so that the argument is checked once the window is on screen.
constexpr UINT kCheckArgument = WM_APP + 1;

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    kestrova::win32::GdiPrinterSource printers;
    kestrova::win32::MainWindow window(
        instance, printers,
        {kestrova::about::PlatformRegistry(), kestrova::about::PlatformLauncher()});
    if (!window.create())
        return 1;
    window.endLoopOnClose(true);

    std::wstring argument;
    int count = 0;
    if (PWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count)) {
        if (count > 1)
            argument = arguments[1];
        LocalFree(arguments);
    }
    ShowWindow(window.handle(), show);
    UpdateWindow(window.handle());
    if (!argument.empty())
        PostThreadMessageW(GetCurrentThreadId(), kCheckArgument, 0, 0);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr && message.message == kCheckArgument) {
            window.openFile(argument);
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
