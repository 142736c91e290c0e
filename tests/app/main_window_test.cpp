// The main window: its menus and layout, and its three commands run through the window.

#include "app/qt/main_window.h"

#include "app/command_guard.h"
#include "app/qt/frm_about.h"
#include "check/check_project.h"
#include "check/report_writer.h"
#include "gui_test_support.h"
#include "recording_messages.h"
#include "scripted_files.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <new>

namespace kestrova::qt {
namespace {

// The default printer as a PDF file; it notes the job's name.
class PdfPrinters final : public PrinterSource {
public:
    explicit PdfPrinters(QString path) : path_(std::move(path)) {}
    std::unique_ptr<Printer> defaultPrinter() override {
        return std::make_unique<PdfJobPrinter>(path_, jobName);
    }
    std::string jobName;

private:
    class PdfJobPrinter final : public Printer {
    public:
        PdfJobPrinter(const QString& path, std::string& jobName) : jobName_(jobName) {
            printer_.setOutputFormat(QPrinter::PdfFormat);
            printer_.setOutputFileName(path);
        }
        std::unique_ptr<PrintPages> startJob(const std::string& name) override {
            jobName_ = name;
            return StartPrintJob(printer_, name);
        }

    private:
        QPrinter printer_{QPrinter::HighResolution};
        std::string& jobName_;
    };

    QString path_;
};

// A registry without keys, as on a machine without the System Information tool.
class EmptyRegistry final : public Registry {
public:
    long OpenKey(std::uint32_t, const std::string&, std::uint32_t, std::uint32_t,
                 RegistryKey&) override {
        return 2;
    }
    long QueryValue(RegistryKey, const std::string&, std::uint32_t&, unsigned char*,
                    std::uint32_t&) override {
        return 6;
    }
    long CloseKey(RegistryKey) override { return 6; }
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        startDirectory_ = QDir::currentPath();
        for (const char* name : {"two_layers.kpj", "not_xml.kpj"}) {
            ASSERT_TRUE(
                QFile::copy(QStringLiteral(KESTROVA_TEST_DATA "/app/") + QString::fromLatin1(name),
                            folder_.filePath(QString::fromLatin1(name))));
        }
    }
    void TearDown() override { QDir::setCurrent(startDirectory_); }

    QString project(const char* name) const { return folder_.filePath(QString::fromLatin1(name)); }
    QStringList filesInFolder() const {
        return QDir(folder_.path()).entryList(QDir::Files, QDir::Name);
    }

    // The window with the test's Open dialog and message box.
    MainWindowServices scripted(PrinterSource* printers = nullptr) {
        return {{&files_, &messages_}, printers};
    }
    std::string answer(const char* name) const {
        return QFile::encodeName(project(name)).toStdString();
    }

    QTemporaryDir folder_;
    QString startDirectory_;
    testing::ScriptedFiles files_;
    testing::RecordingMessages messages_;
};

TEST_F(MainWindowTest, MenuBarHoldsFileOpenPrintAndHelpAboutOnly) {
    main w;
    const QList<QAction*> bar = w.menuBar()->actions();
    ASSERT_EQ(bar.size(), 2);
    EXPECT_EQ(bar[0]->menu(), w.mnuFile);
    EXPECT_EQ(bar[1]->menu(), w.mnuHelp);
    EXPECT_EQ(w.mnuFile->title(), QStringLiteral("&File"));
    EXPECT_EQ(w.mnuHelp->title(), QStringLiteral("&Help"));
    EXPECT_EQ(w.mnuFile->actions(), (QList<QAction*>{w.mnuFileOpen, w.Print}));
    EXPECT_EQ(w.mnuHelp->actions(), QList<QAction*>{w.mnuHelpAbout});
    EXPECT_EQ(w.mnuFileOpen->text(), QStringLiteral("&Open"));
    EXPECT_EQ(w.Print->text(), QStringLiteral("&Print"));
    EXPECT_EQ(w.mnuHelpAbout->text(), QStringLiteral("&About"));
    EXPECT_EQ(w.mnuFileOpen->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(w.Print->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    EXPECT_TRUE(w.mnuHelpAbout->shortcut().isEmpty());
    for (QAction* item : {w.mnuFileOpen, w.Print, w.mnuHelpAbout}) {
        EXPECT_TRUE(item->isEnabled());
        EXPECT_TRUE(item->isVisible());
        EXPECT_FALSE(item->isCheckable());
    }
    EXPECT_EQ(w.objectName(), QStringLiteral("main"));
}

TEST_F(MainWindowTest, OpensWithItsCaptionPlaceSizeAndAnEmptyFocusedReportBox) {
    main w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kestrova Timeline Checker"));
    EXPECT_FALSE(w.windowIcon().isNull());
    EXPECT_EQ(w.centralWidget()->mapToGlobal(QPoint(0, 0)), QPoint(248, 225));
    EXPECT_EQ(w.centralWidget()->size(), QSize(478, 330));
    EXPECT_EQ(w.lstReports->geometry(), QRect(16, 16, 433, 257));
    EXPECT_EQ(w.lstReports->toPlainText(), QString());
    EXPECT_FALSE(w.lstReports->isReadOnly());
    EXPECT_EQ(w.lstReports->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(w.lstReports->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_NE(w.lstReports->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(QApplication::focusWidget(), w.lstReports);
    EXPECT_FALSE(w.isMaximized());
    EXPECT_FALSE(w.isMinimized());
}

TEST_F(MainWindowTest, ReportBoxKeepsItsPlaceWhenTheWindowIsResizedOrMaximized) {
    main w;
    w.show();
    w.resize(900, 700);
    QTest::qWait(20);
    EXPECT_EQ(w.lstReports->geometry(), QRect(16, 16, 433, 257));
    w.resize(200, 150);
    QTest::qWait(20);
    EXPECT_EQ(w.lstReports->geometry(), QRect(16, 16, 433, 257));
    w.showMaximized();
    QTest::qWait(20);
    EXPECT_EQ(w.lstReports->geometry(), QRect(16, 16, 433, 257));
}

TEST_F(MainWindowTest, CtrlOAndCtrlPRunOpenAndPrint) {
    main w(scripted());
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    files_.cancel();
    QTest::keyClick(w.lstReports, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(files_.timesAsked, 1);
    QTest::keyClick(w.lstReports, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(messages_.texts, std::vector<std::string>{"Nothing to print!"});
}

TEST_F(MainWindowTest, CheckRunInTheWindowGivesTheSameReportAsTheCheckOnItsOwn) {
    const std::string path = QDir::toNativeSeparators(project("two_layers.kpj")).toStdString();
    UnseededRandom random;
    const CheckResult checked =
        CheckProject({path, WorkingCopyPlace::ProjectFolder, false}, random);
    ASSERT_TRUE(checked.checked());
    const std::string expected = ReportText(checked);

    main w(scripted());
    files_.answer(answer("two_layers.kpj"));
    w.mnuFileOpen->trigger();
    EXPECT_EQ(PlainTextReportBox(*w.lstReports).text(), expected);
    EXPECT_TRUE(messages_.texts.empty());
    EXPECT_EQ(
        PlainTextReportBox(*w.lstReports).text().rfind("\r\nReporting on " + path + "\r\n", 0), 0u);
    EXPECT_NE(PlainTextReportBox(*w.lstReports).text().find("Caf\xC3\xA9 video"),
              std::string::npos);
    EXPECT_EQ(QDir(QDir::currentPath()).canonicalPath(), QDir(folder_.path()).canonicalPath());
    EXPECT_EQ(filesInFolder(), (QStringList{"not_xml.kpj", "two_layers.kpj"}))
        << "working copy left behind";

    // A second run replaces the report completely.
    files_.answer(answer("two_layers.kpj"));
    w.mnuFileOpen->trigger();
    EXPECT_EQ(PlainTextReportBox(*w.lstReports).text(), expected);
}

TEST_F(MainWindowTest, CancellingTheOpenDialogKeepsThePreviousReportAndMakesNoFile) {
    main w(scripted());
    PlainTextReportBox(*w.lstReports).setText("\r\nprevious report");
    QDir::setCurrent(folder_.path());
    files_.cancel();
    w.mnuFileOpen->trigger();
    EXPECT_EQ(PlainTextReportBox(*w.lstReports).text(), "\r\nprevious report");
    EXPECT_EQ(filesInFolder(), (QStringList{"not_xml.kpj", "two_layers.kpj"}));
    EXPECT_TRUE(messages_.texts.empty());
}

TEST_F(MainWindowTest, ParseErrorIsShownWhileTheBoxHoldsTheHeader) {
    main w(MainWindowServices{{&files_, nullptr}}); // the window's own message box
    w.show();
    const std::string path = QDir::toNativeSeparators(project("not_xml.kpj")).toStdString();
    std::string boxWhileShown;
    QString caption;
    std::vector<std::string> shown;
    testing::WhenModalOpens([&](QWidget* modal) {
        boxWhileShown = PlainTextReportBox(*w.lstReports).text();
        caption = modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            shown.push_back(box->text().toStdString());
        modal->close();
    });
    files_.answer(answer("not_xml.kpj"));
    w.mnuFileOpen->trigger();

    EXPECT_EQ(boxWhileShown, "\r\nReporting on " + path + "\r\n");
    EXPECT_EQ(caption, QStringLiteral("Kestrova Checker"));
    ASSERT_EQ(shown.size(), 1u);
    const std::string& message = shown[0];
    const auto lineBreak = message.rfind('\n');
    ASSERT_NE(lineBreak, std::string::npos);
    EXPECT_FALSE(message.substr(lineBreak + 1).empty());
    EXPECT_EQ(message.substr(lineBreak + 1).find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(
        PlainTextReportBox(*w.lstReports).text(),
        "\r\nReporting on " + path +
            "\r\n\r\nThere is an error in this file - it may be from an earlier version of Kestrova"
            "\r\n - this may not effect the build in Kestrova but stops this program from checking "
            "further.");
    EXPECT_EQ(filesInFolder(), (QStringList{"not_xml.kpj", "two_layers.kpj"}));
}

TEST_F(MainWindowTest, PrintWithAnEmptyBoxSaysNothingToPrint) {
    const QString pdf = folder_.filePath(QStringLiteral("out.pdf"));
    PdfPrinters printers(pdf);
    main w(scripted(&printers));
    w.Print->trigger();
    EXPECT_EQ(messages_.texts, std::vector<std::string>{"Nothing to print!"});
    EXPECT_FALSE(QFileInfo::exists(pdf));
}

TEST_F(MainWindowTest, PrintPrintsTheReportAsTheUserEditedIt) {
    const QString pdf = folder_.filePath(QStringLiteral("out.pdf"));
    PdfPrinters printers(pdf);
    main w(scripted(&printers));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    files_.answer(answer("two_layers.kpj"));
    w.mnuFileOpen->trigger();
    w.lstReports->moveCursor(QTextCursor::End);
    QTest::keyClick(w.lstReports, Qt::Key_Return);
    QTest::keyClicks(w.lstReports, "Checked by Ann");

    w.Print->trigger();
    EXPECT_TRUE(messages_.texts.empty());
    const QString text = testing::PdfText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("Checked by Ann"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Titles"))) << text.toStdString();
    EXPECT_TRUE(text.indexOf(QStringLiteral("Titles")) <
                text.indexOf(QStringLiteral("Checked by Ann")));
    EXPECT_EQ(printers.jobName, "Kestrova Checker \xE2\x80\x93 two_layers.kpj");
}

// Memory runs out while a command lays out its work.
class MemoryShortPrinters final : public PrinterSource {
public:
    std::unique_ptr<Printer> defaultPrinter() override { throw std::bad_alloc(); }
};

TEST_F(MainWindowTest, ACommandThatRunsOutOfMemorySaysSoAndTheWindowGoesOn) {
    MemoryShortPrinters printers;
    main w(scripted(&printers));
    PlainTextReportBox(*w.lstReports).setText("\r\nsomething");
    w.Print->trigger();
    PlainTextReportBox(*w.lstReports).setText("");
    w.Print->trigger();
    EXPECT_EQ(messages_.texts, (std::vector<std::string>{kNotEnoughMemory, "Nothing to print!"}));
}

TEST_F(MainWindowTest, HelpAboutShowsAFreshAboutDialogModallyOwnedByTheWindow) {
    main w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    for (int showing = 0; showing < 2; ++showing) {
        bool seen = false;
        QString title;
        QWidget* owner = nullptr;
        bool windowBlocked = false;
        testing::WhenModalOpens([&](QWidget* modal) {
            auto* dialog = qobject_cast<frmAbout*>(modal);
            ASSERT_NE(dialog, nullptr);
            seen = true;
            title = dialog->windowTitle();
            owner = dialog->parentWidget();
            windowBlocked = QApplication::activeModalWidget() == dialog && dialog->isModal();
            dialog->cmdOK->click();
        });
        w.mnuHelpAbout->trigger();
        EXPECT_TRUE(seen);
        EXPECT_EQ(title, QStringLiteral("About Kestrova Checker"));
        EXPECT_EQ(owner, &w);
        EXPECT_TRUE(windowBlocked);
        EXPECT_TRUE(w.findChildren<frmAbout*>().isEmpty()) << "dialog not destroyed on close";
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

TEST_F(MainWindowTest, SystemInfoWithoutTheToolSaysSoAndTheAboutDialogStaysOpen) {
    EmptyRegistry registry;
    main w(MainWindowServices{{nullptr, &messages_}, nullptr, &registry});
    w.show();
    bool stillOpen = false;
    testing::WhenModalOpens([&](QWidget* modal) {
        auto* dialog = qobject_cast<frmAbout*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->cmdSysInfo->click();
        stillOpen = dialog->isVisible();
        dialog->cmdOK->click();
    });
    w.mnuHelpAbout->trigger();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(messages_.texts,
              std::vector<std::string>{"System Information Is Unavailable At This Time"});
}

} // namespace
} // namespace kestrova::qt
