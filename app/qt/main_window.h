#pragma once
// The main window `main`: the report box lstReports, the Open dialog dlgOpen and the menu
// bar with File > Open, File > Print and Help > About.

#include "about/sys_info.h"
#include "app/qt/busy_window.h"
#include "app/qt/message_box.h"
#include "app/qt/open_dialog.h"
#include "app/qt/qt_printing.h"
#include "app/qt/report_box.h"
#include "app/shell_seams.h"
#include "check/random_source.h"

#include <QMainWindow>

class QAction;
class QMenu;
class QPlainTextEdit;

namespace kestrova::app {

class main final : public QMainWindow {
    Q_OBJECT

public:
    main();

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

    // One check run of the given project file, as File > Open with the file chosen in the
    // dialog: from the command line, and for a project file dropped on the window. The path is
    // the file system's own bytes, so a name that is not UTF-8 still finds its file.
    void checkProjectFile(const QByteArray& path);

    // The report box as the check run sees it, and the message box of every command.
    ReportBox& reportBox() { return report_; }
    ApplicationMessageBox& messages() { return messages_; }

    // Replace the default printer and the System Information registry and launcher.
    void usePrinters(PrinterSource& printers) { printers_ = &printers; }
    void useSystemInfo(about::Registry& registry, about::ProgramLauncher& launcher) {
        registry_ = &registry;
        launcher_ = &launcher;
    }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool takeProjectDrop(QEvent* event);

    PlainTextReportBox report_;
    ApplicationMessageBox messages_;
    // One generator for the life of the window: each check run goes on where the last stopped.
    UnseededRandom random_;
    PaintingBusyWindow busy_;
    SystemPrinters systemPrinters_;
    PrinterSource* printers_;
    about::Registry* registry_;
    about::ProgramLauncher* launcher_;
};

} // namespace kestrova::app
