#pragma once
// The About dialog frmAbout on Windows: a DIALOGEX resource laid out in twips, modal and owned
// by the main window, with a close button only and a fixed size.

#include "app/sys_info.h"

#include <windows.h>

#include <functional>

namespace kestrova::win32 {

// The dialog's client area, in twips.
inline constexpr int kAboutWidthTwips = 5730;
inline constexpr int kAboutHeightTwips = 3555;

// A control's place in twips.
struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

// Pixels for a length in twips at the given dots per inch (15 twips per pixel at 96).
inline int PixelsOf(int twips, UINT dpi) {
    return MulDiv(twips, static_cast<int>(dpi), 1440);
}

// What the dialog's System Info button uses.
struct AboutServices {
    MessageDisplay& messages;
    Registry& registry;
    ProgramLauncher& launcher;
};

// Shows the dialog until it is closed. `loaded` is called once the dialog has loaded (its
// controls placed and filled), before it takes input; tests inspect and close it from there.
void ShowAboutDialog(HINSTANCE instance, HWND owner, AboutServices services,
                     const std::function<void(HWND)>& loaded = {});

} // namespace kestrova::win32
