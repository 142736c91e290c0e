#pragma once
// The About dialog's pictures, drawn by our own code so that no image files need shipping.

#include <QIcon>
#include <QPixmap>

namespace kestrova::qt {

// The dialog's picture: 88 x 92 pixels, a timeline of three layers under a magnifying glass
// that finds the gap in the middle layer.
QPixmap AboutPicture();

// The small 16 x 16 icon on the dialog's frame.
QIcon AboutFrameIcon();

} // namespace kestrova::qt
