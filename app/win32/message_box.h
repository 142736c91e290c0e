#pragma once
// The application's message box on Windows: MessageBoxW with an OK button only, no icon, the
// application title as caption, owned by the main window (shown over whichever of its dialogs
// is open), so it is modal to the program.

#include "app/shell_seams.h"

#include <windows.h>

#include <string>

namespace kestrova::win32 {

// MB_OK alone: an OK button, no icon, modal to the owner.
inline constexpr UINT kMessageBoxStyle = MB_OK;

class WindowsMessageBox final : public MessageDisplay {
public:
    explicit WindowsMessageBox(HWND owner = nullptr) : owner_(owner) {}
    void setOwner(HWND owner) { owner_ = owner; }

    // CR LF in the text starts a new line, as MessageBoxW itself shows it.
    void showMessage(const std::string& text) override;

private:
    HWND owner_;
};

} // namespace kestrova::win32
