// Sends a menu command to the running checker window, as choosing it from the menu would:
//   post_command.exe COMMAND-ID
// The README's pictures are taken this way (scripts/render-windows-pictures.sh).

#include "app/win32/main_window.h"

#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2)
        return 2;
    HWND window = FindWindowW(kestrova::win32::kMainWindowClass, nullptr);
    if (window == nullptr)
        return 1;
    const auto command = static_cast<WPARAM>(std::wcstoul(argv[1], nullptr, 10));
    return PostMessageW(window, WM_COMMAND, command, 0) ? 0 : 1;
}
