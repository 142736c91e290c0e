// The scenario table played on the Qt window, through its own menu actions, report box, drop
// handling and About dialog.

#include "app/qt/main_window.h"

#include "app/qt/frm_about.h"
#include "app/qt/report_box.h"
#include "gui_test_support.h"
#include "window_scenarios.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QUrl>

#include <gtest/gtest.h>

namespace kestrova::qt {
namespace {

using testing::AboutTexts;
using testing::ScenarioServices;

class QtWindowDriver final : public testing::WindowDriver {
public:
    explicit QtWindowDriver(ScenarioServices& services)
        : window_(MainWindowServices{{&services.files, &services.messages},
                                     &services.printers,
                                     &services.registry,
                                     &services.launcher}) {
        window_.show();
        exposed_ = QTest::qWaitForWindowExposed(&window_);
    }

    bool exposed() const { return exposed_; }

    ReportBox& box() override { return report_; }
    std::string shownText() override {
        return DisplayToReport(window_.lstReports->document()->toRawText());
    }
    void open() override { window_.mnuFileOpen->trigger(); }
    void print() override { window_.Print->trigger(); }

    // A drag from a file manager carrying the file's URL, dropped on the report box.
    void drop(const std::string& file) override {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
        QWidget* target = window_.lstReports->viewport();
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent dropped(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &dropped);
        QCoreApplication::processEvents(); // the check runs once the drop is over
    }

    AboutTexts about(bool pressSystemInfo) override {
        AboutTexts texts;
        kestrova::testing::WhenModalOpens([&](QWidget* modal) {
            auto* dialog = qobject_cast<frmAbout*>(modal);
            if (dialog == nullptr) {
                modal->close();
                return;
            }
            texts = {dialog->windowTitle().toStdString(), dialog->lblTitle->text().toStdString(),
                     dialog->lblVersion->text().toStdString()};
            if (pressSystemInfo)
                dialog->cmdSysInfo->click();
            dialog->cmdOK->click();
        });
        window_.mnuHelpAbout->trigger();
        return texts;
    }

private:
    main window_;
    PlainTextReportBox report_{*window_.lstReports}; // the window's box, as its commands see it
    bool exposed_ = false;
};

class QtWindowScenario : public ::testing::TestWithParam<testing::Scenario> {};

TEST_P(QtWindowScenario, PlaysAsTheTableSays) {
    ScenarioServices services;
    QtWindowDriver window(services);
    ASSERT_TRUE(window.exposed());
    testing::PlayScenario(GetParam(), services, window);
}

INSTANTIATE_TEST_SUITE_P(Table, QtWindowScenario, ::testing::ValuesIn(testing::Scenarios()),
                         testing::ScenarioName);

} // namespace
} // namespace kestrova::qt
