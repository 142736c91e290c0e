#include "app/qt/message_box.h"

#include "app/app_info.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace kestrova::qt {

QString MessageBoxText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

int CaptionRoom(const QWidget& box) {
    // Window managers draw the caption in a bold font of their own beside up to four frame
    // buttons (menu, minimise, maximise, close), each about as wide as the caption is high.
    QFont captionFont = box.font();
    captionFont.setBold(true);
    const QFontMetrics caption(captionFont);
    const int button = caption.height() + 8;
    return caption.horizontalAdvance(box.windowTitle()) + 4 * button + 2 * 16;
}

void ApplicationMessageBox::showMessage(const std::string& text) {
    // Over the About dialog when it is open, over the main window otherwise.
    QWidget* parent = QApplication::activeModalWidget();
    if (parent == nullptr) {
        parent = owner_;
    }
    QMessageBox box(parent);
    box.setWindowTitle(QString::fromUtf8(kApplicationTitle));
    box.setIcon(QMessageBox::NoIcon);
    // The texts come from parsers and paths; none of them is markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(MessageBoxText(text));
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    // A short text would make the box too narrow for its caption; the box sizes itself to the
    // widest item of its layout.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(CaptionRoom(box), 0, QSizePolicy::Fixed), grid->rowCount(), 0,
                      1, grid->columnCount());
    }
    box.exec();
}

} // namespace kestrova::qt
