#pragma once
// dlgOpen: the Open dialog through which a check run gets its project file.

#include "app/shell_seams.h"

#include <QByteArray>
#include <QString>

#include <deque>
#include <optional>
#include <string>

class QFileDialog;
class QWidget;

namespace kestrova::app {

inline constexpr const char* kProjectFileFilter = "Kestrova 4 Project file (*.kpj)";

class OpenDialog final : public FileSelection {
public:
    explicit OpenDialog(QWidget* owner) : owner_(owner) {}

    // Shows the dialog for one existing project file. On a choice the process's current
    // directory moves to the file's folder, so the working copy is made beside the project,
    // and the file is offered again next time. Cancel gives nothing and changes nothing.
    std::optional<std::string> chooseProjectFile() override;

    // The file chosen last, offered when the dialog next opens; empty before the first choice.
    const QString& fileName() const { return fileName_; }

    // Pre-answers the next showing instead of asking the user: the file (its path as the file
    // system's bytes) is taken as if the user had chosen it in the dialog, or the dialog counts
    // as cancelled.
    void setNextFileName(const QByteArray& path) { scripted_.emplace_back(path); }
    void setNextCancel() { scripted_.emplace_back(std::nullopt); }

    // How many times a file was asked for, pre-answered ones included.
    int timesAsked() const { return timesAsked_; }

    // Sets up a dialog for one showing: filter, existing files only, the last file offered.
    void prepare(QFileDialog& dialog) const;

private:
    std::optional<std::string> choose(const QByteArray& path);

    QWidget* owner_;
    QString fileName_;
    std::deque<std::optional<QByteArray>> scripted_;
    int timesAsked_ = 0;
};

} // namespace kestrova::app
