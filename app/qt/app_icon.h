#pragma once
// The application icon, drawn by our own code in its two sizes, 16 x 16 and 32 x 32.

#include <QIcon>
#include <QPixmap>

namespace kestrova::qt {

QPixmap ApplicationIconImage(int size);
QIcon ApplicationIcon();

} // namespace kestrova::qt
