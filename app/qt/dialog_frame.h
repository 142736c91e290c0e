#pragma once
// The frame a window manager draws around a fixed dialog that offers a close button only.

class QDialog;

namespace kestrova::qt {

// The window flags ask every window manager for a close button only, and most draw just that.
// Openbox draws a minimise button on every dialog whatever the flags ask, and minimising a
// dialog minimises the window it belongs to as well; its toolbar windows get the frame the
// dialog asks for. So under openbox the dialog names the toolbar type before the dialog type.
// Elsewhere it changes nothing. Call it before the dialog is first shown.
void AskForACloseButtonOnly(QDialog& dialog);

} // namespace kestrova::qt
