#include "app/qt/open_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace kestrova::app {

void OpenDialog::prepare(QFileDialog& dialog) const {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QString::fromLatin1(kProjectFileFilter));
    // Project files from Windows often end in ".KPJ"; the pattern matches in any letter case.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    if (!fileName_.isEmpty()) {
        const QFileInfo last(fileName_);
        dialog.setDirectory(last.absolutePath());
        dialog.selectFile(last.fileName());
    }
}

std::optional<std::string> OpenDialog::chooseProjectFile() {
    ++timesAsked_;
    if (!scripted_.empty()) {
        const std::optional<QString> answer = scripted_.front();
        scripted_.pop_front();
        if (!answer) {
            return std::nullopt;
        }
        return choose(*answer);
    }

    QFileDialog dialog(owner_);
    prepare(dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return choose(chosen.front());
}

std::optional<std::string> OpenDialog::choose(const QString& path) {
    const QFileInfo file(path);
    fileName_ = file.absoluteFilePath();
    QDir::setCurrent(file.absolutePath());
    return QDir::toNativeSeparators(fileName_).toStdString();
}

} // namespace kestrova::app
