#include "app/qt/open_dialog.h"

#include "check/file_access.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

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
        const std::optional<QByteArray> answer = scripted_.front();
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
    return choose(QFile::encodeName(chosen.front()));
}

// The file is taken by its bytes, so that a name which is not UTF-8 (from an old archive or a
// share) is checked as it is; the dialog offers it again under its decoded name.
std::optional<std::string> OpenDialog::choose(const QByteArray& path) {
    const std::filesystem::path given = PathFromUtf8(std::string_view(path.data(), path.size()));
    std::error_code error;
    std::filesystem::path file = std::filesystem::absolute(given, error);
    file = (error ? given : file).lexically_normal();
    const std::string bytes = Utf8FromPath(file);
    fileName_ = QFile::decodeName(QByteArray::fromStdString(bytes));
    std::filesystem::current_path(file.parent_path(), error); // stays where it was on failure
    return bytes;
}

} // namespace kestrova::app
