#include "app/qt/open_dialog.h"

#include "app/app_info.h"
#include "app/open_command.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace kestrova::qt {

void OpenDialog::prepare(QFileDialog& dialog) const {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("%1 (%2)").arg(QString::fromUtf8(kProjectFileKind),
                                                       QString::fromUtf8(kProjectFilePattern)));
    // Project files from Windows often end in ".KPJ"; the pattern matches in any letter case.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    if (!fileName_.isEmpty()) {
        const QFileInfo last(fileName_);
        dialog.setDirectory(last.absolutePath());
        dialog.selectFile(last.fileName());
    }
}

std::optional<std::string> OpenDialog::chooseProjectFile() {
    QFileDialog dialog(owner_);
    prepare(dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    // The file is taken by its bytes, so that a name which is not UTF-8 (from an old archive or
    // a share) is checked as it is.
    const std::string file = TakeProjectFile(QFile::encodeName(chosen.front()).toStdString());
    offer(file);
    return file;
}

// The dialog offers a name that is not UTF-8 under its decoded name.
void OpenDialog::offer(const std::string& file) {
    fileName_ = QFile::decodeName(QByteArray::fromStdString(file));
}

} // namespace kestrova::qt
