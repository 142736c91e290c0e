#include "app/qt/about_artwork.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>

namespace kestrova::qt {

QPixmap AboutPicture() {
    QImage image(88, 92, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, 92);
    sky.setColorAt(0, QColor(34, 52, 84));
    sky.setColorAt(1, QColor(12, 20, 36));
    painter.fillRect(image.rect(), sky);

    // Three layers of clips; the middle one has a gap.
    const QColor clipColours[] = {QColor(84, 156, 230), QColor(236, 170, 60),
                                  QColor(110, 196, 120)};
    for (int layer = 0; layer < 3; ++layer) {
        const int top = 14 + layer * 20;
        painter.fillRect(QRect(6, top, 76, 14), QColor(52, 66, 92));
        painter.setPen(Qt::NoPen);
        painter.setBrush(clipColours[layer]);
        if (layer == 1) {
            painter.drawRoundedRect(QRectF(8, top + 2, 26, 10), 2, 2);
            painter.drawRoundedRect(QRectF(50, top + 2, 30, 10), 2, 2);
            painter.setBrush(QColor(220, 50, 47));
            painter.drawRect(QRectF(37, top + 2, 10, 10));
        } else {
            painter.drawRoundedRect(QRectF(8, top + 2, 72, 10), 2, 2);
        }
    }

    // The magnifying glass over the gap.
    painter.setBrush(QColor(255, 255, 255, 60));
    painter.setPen(QPen(QColor(240, 240, 240), 3));
    painter.drawEllipse(QPointF(42, 41), 13, 13);
    painter.setPen(QPen(QColor(200, 160, 100), 6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(52, 51), QPointF(66, 66));

    // A tick: the check found what it was looking for.
    painter.setPen(QPen(QColor(110, 220, 120), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF({QPointF(14, 78), QPointF(22, 86), QPointF(38, 70)}));
    painter.end();
    return QPixmap::fromImage(image);
}

QIcon AboutFrameIcon() {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(QRect(1, 3, 14, 10), QColor(0, 0, 128));
    painter.fillRect(QRect(2, 6, 5, 4), QColor(0, 128, 255));
    painter.fillRect(QRect(7, 6, 2, 4), QColor(255, 0, 0));
    painter.fillRect(QRect(9, 6, 5, 4), QColor(0, 128, 255));
    for (int x = 2; x < 15; x += 3) {
        painter.fillRect(QRect(x, 4, 1, 1), Qt::white);
        painter.fillRect(QRect(x, 11, 1, 1), Qt::white);
    }
    painter.end();
    return QIcon(QPixmap::fromImage(image));
}

} // namespace kestrova::qt
