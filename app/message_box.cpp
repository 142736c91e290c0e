#include "app/message_box.h"

#include "about/app_info.h"

#include <QApplication>
#include <QMessageBox>

namespace kestrova::app {

QString MessageBoxText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

void ApplicationMessageBox::showMessage(const std::string& text) {
    shown_.push_back(text);
    if (preAnswered_ > 0) {
        --preAnswered_;
        return;
    }
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
    box.exec();
}

} // namespace kestrova::app
