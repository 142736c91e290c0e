#pragma once
// The main window `main`: the report box lstReports, the Open dialog dlgOpen and the menu
// bar with File > Open, File > Print and Help > About.

#include "app/qt/busy_window.h"
#include "app/qt/message_box.h"
#include "app/qt/open_dialog.h"
#include "app/qt/qt_printing.h"
#include "app/qt/report_box.h"
#include "app/shell_seams.h"
#include "app/sys_info.h"
#include "check/check_result.h"
#include "check/random_source.h"

#include <QMainWindow>

#include <functional>
#include <optional>
#include <string>

class QAction;
class QMenu;
class QPlainTextEdit;

namespace kestrova::qt {

// What the window's commands work through. Each one left empty is the window's own: its Open
// dialog and message box, the default printer, the system's registry and program launcher.
struct MainWindowServices {
    CommandDialogs dialogs;
    PrinterSource* printers = nullptr;
    Registry* registry = nullptr;
    ProgramLauncher* launcher = nullptr;
};

class main final : public QMainWindow {
    Q_OBJECT

public:
    explicit main(MainWindowServices services = {});

    // Controls.
    QPlainTextEdit* lstReports = nullptr;
    OpenDialog dlgOpen;
    QMenu* mnuFile = nullptr;
    QAction* mnuFileOpen = nullptr;
    QAction* Print = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpAbout = nullptr;

    // Commands.
    void mnuFileOpen_Click();  // one check run
    void Print_Click();        // prints the report
    void mnuHelpAbout_Click(); // the About dialog, modal

    // One check run of the given project file, as File > Open runs one chosen in the dialog:
    // from the command line, and for a project file dropped on the window. The path is the file
    // system's own bytes, so a name that is not UTF-8 still finds its file.
    void checkProjectFile(const QByteArray& path);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool takeProjectDrop(QEvent* event);

    // Runs the check as a command and keeps the name of the project it checked.
    void runCheck(const std::function<std::optional<CheckResult>()>& check);

    PlainTextReportBox report_;
    ApplicationMessageBox ownMessages_;
    SystemPrinters systemPrinters_;
    FileSelection& files_;
    MessageDisplay& messages_;
    PrinterSource& printers_;
    Registry& registry_;
    ProgramLauncher& launcher_;
    // One generator for the life of the window: each check run goes on where the last stopped.
    UnseededRandom random_;
    PaintingBusyWindow busy_;
    bool checking_ = false; // a check runs, and the window only repaints
    // The project checked last, after which a print job is named.
    std::string lastProject_;
};

} // namespace kestrova::qt
