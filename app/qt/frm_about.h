#pragma once
// The About dialog: title, version, a line about what the checker does, and a button that
// starts the System Information tool.

#include "app/shell_seams.h"
#include "app/sys_info.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace kestrova::qt {

class frmAbout final : public QDialog {
    Q_OBJECT

public:
    // Loads the dialog (Form_Load) without showing it. Messages go to the given box, registry
    // reads and the tool's start to the given registry and launcher.
    frmAbout(QWidget* owner, MessageDisplay& messages, Registry& registry,
             ProgramLauncher& launcher);

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    MessageDisplay& messages_;
    Registry& registry_;
    ProgramLauncher& launcher_;
};

} // namespace kestrova::qt
