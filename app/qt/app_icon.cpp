#include "app/qt/app_icon.h"

#include <QImage>
#include <QPainter>

namespace kestrova::qt {

QPixmap ApplicationIconImage(int size) {
    // A strip of film with two clips and the red gap between them, drawn on a 32-unit grid.
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, size >= 32);
    painter.scale(size / 32.0, size / 32.0);
    painter.setPen(Qt::NoPen);

    painter.setBrush(QColor(36, 44, 62));
    painter.drawRoundedRect(QRectF(1, 5, 30, 22), 3, 3);
    painter.setBrush(Qt::white);
    for (int hole = 0; hole < 6; ++hole) {
        painter.drawRect(QRectF(3.5 + hole * 4.5, 7, 2.5, 2.5));
        painter.drawRect(QRectF(3.5 + hole * 4.5, 22.5, 2.5, 2.5));
    }
    painter.setBrush(QColor(72, 144, 224));
    painter.drawRect(QRectF(3, 11, 11, 10));
    painter.drawRect(QRectF(19, 11, 10, 10));
    painter.setBrush(QColor(226, 58, 48));
    painter.drawRect(QRectF(14.5, 11, 4, 10));
    painter.end();
    return QPixmap::fromImage(image);
}

QIcon ApplicationIcon() {
    QIcon icon;
    icon.addPixmap(ApplicationIconImage(16));
    icon.addPixmap(ApplicationIconImage(32));
    return icon;
}

} // namespace kestrova::qt
