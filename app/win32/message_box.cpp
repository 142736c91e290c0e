#include "app/win32/message_box.h"

#include "app/app_info.h"
#include "check/wide_text.h"

namespace kestrova::win32 {

void WindowsMessageBox::showMessage(const std::string& text) {
    // Over the dialog the main window has open, if any, so that the box is on top of it.
    HWND owner = owner_ != nullptr ? GetLastActivePopup(owner_) : nullptr;
    MessageBoxW(owner, Wide(text).c_str(), Wide(kApplicationTitle).c_str(), kMessageBoxStyle);
}

} // namespace kestrova::win32
