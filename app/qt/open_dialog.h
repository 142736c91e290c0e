#pragma once
// dlgOpen: the Open dialog through which a check run gets its project file.

#include "app/shell_seams.h"

#include <QString>

#include <optional>
#include <string>

class QFileDialog;
class QWidget;

namespace kestrova::qt {

class OpenDialog final : public FileSelection {
public:
    explicit OpenDialog(QWidget* owner) : owner_(owner) {}

    // Shows the dialog for one existing project file. On a choice the process's current
    // directory moves to the file's folder, so the working copy is made beside the project,
    // and the file is offered again next time. Cancel gives nothing and changes nothing.
    std::optional<std::string> chooseProjectFile() override;

    // The file chosen last, offered when the dialog next opens; empty before the first choice.
    const QString& fileName() const { return fileName_; }

    // The file (UTF-8, or the file system's bytes) is offered when the dialog next opens.
    void offer(const std::string& file) override;

    // Sets up a dialog for one showing: filter, existing files only, the last file offered.
    void prepare(QFileDialog& dialog) const;

private:
    QWidget* owner_;
    QString fileName_;
};

} // namespace kestrova::qt
