// Opening projects from outside the window: the program's command line, --help and --version,
// and a project file dropped on the window.

#include "app/app_info.h"
#include "app/command_line.h"
#include "app/qt/main_window.h"
#include "gui_test_support.h"
#include "recording_messages.h"
#include "scripted_files.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>

namespace kestrova::qt {
namespace {

struct ProgramRun {
    int status = -1;
    QString out;
    QString err;
};

// Runs kestrova-checker without any display, as from a terminal on a machine without one, or
// on the offscreen platform.
ProgramRun RunWithoutDisplay(const QStringList& arguments, bool offscreen = false) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    if (offscreen)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KESTROVA_CHECKER), arguments);
    if (!process.waitForFinished(30000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

TEST(KestrovaCheckerProgram, AnswersHelpAndVersionOnTheTerminalWithoutADisplay) {
    const ProgramRun help = RunWithoutDisplay({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0) << help.err.toStdString();
    EXPECT_EQ(help.out.toStdString(), HelpText());
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: kestrova-checker [FILE]")));

    const ProgramRun version = RunWithoutDisplay({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0) << version.err.toStdString();
    EXPECT_EQ(version.out, QStringLiteral("Kestrova Checker %1.%2.%3\n")
                               .arg(kVersionMajor)
                               .arg(kVersionMinor)
                               .arg(kVersionRevision));

    const ProgramRun wrong = RunWithoutDisplay({QStringLiteral("--frobnicate")}, true);
    EXPECT_EQ(wrong.status, 2);
    EXPECT_TRUE(wrong.err.contains(QStringLiteral("--frobnicate"))) << wrong.err.toStdString();
    EXPECT_TRUE(wrong.out.isEmpty());
}

class OpenFromOutside : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        startDirectory_ = QDir::currentPath();
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(KESTROVA_TEST_DATA "/app/two_layers.kpj"), project()));
    }
    void TearDown() override { QDir::setCurrent(startDirectory_); }

    QString project() const { return folder_.filePath(QStringLiteral("two_layers.kpj")); }
    QStringList filesInFolder() const { return QDir(folder_.path()).entryList(QDir::Files); }

    // The report of kpjcheck on the same file, in the box's CR LF form.
    std::string kpjcheckReport() const {
        QString out = testing::ToolOutput(QStringLiteral(KESTROVA_KPJCHECK),
                                          {QDir::toNativeSeparators(project())});
        if (out.endsWith(u'\n'))
            out.chop(1);
        return out.replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toStdString();
    }

    // The window as it was just before: the check runs in a window whose current folder is
    // elsewhere.
    void expectCheckedAsIfChosenInTheDialog(main& w) {
        EXPECT_EQ(PlainTextReportBox(*w.lstReports).text(), kpjcheckReport());
        EXPECT_TRUE(messages_.texts.empty());
        EXPECT_EQ(QDir::current().canonicalPath(), QDir(folder_.path()).canonicalPath());
        EXPECT_EQ(files_.offered,
                  QFile::encodeName(QFileInfo(project()).absoluteFilePath()).toStdString())
            << "the dialog offers the file next time";
        EXPECT_EQ(files_.timesAsked, 0) << "the file came without the dialog";
        EXPECT_EQ(filesInFolder(), QStringList{"two_layers.kpj"}) << "working copy left";
    }

    QTemporaryDir folder_;
    QString startDirectory_;
    testing::ScriptedFiles files_;
    testing::RecordingMessages messages_;
};

TEST_F(OpenFromOutside, FileOnTheCommandLineIsCheckedAsIfChosenInTheDialog) {
    main w(MainWindowServices{{&files_, &messages_}});
    w.checkProjectFile(QFile::encodeName(project()));
    expectCheckedAsIfChosenInTheDialog(w);
}

// What a program writes to standard output when given these bytes as its one argument.
std::string OutputForBytes(const std::string& program, const std::string& argument) {
    std::string output;
    if (FILE* pipe = popen(("'" + program + "' '" + argument + "'").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, got);
        pclose(pipe);
    }
    return output;
}

// A name that is not UTF-8 (Latin-1, from an old archive or share) finds its file, and the report
// shows it as kpjcheck's report does once read as UTF-8.
TEST_F(OpenFromOutside, AFileWhoseNameIsNotUtf8IsCheckedByItsBytes) {
    const std::string latin1 = QFile::encodeName(folder_.path()).toStdString() + "/Caf\xE9.kpj";
    ASSERT_EQ(std::rename(QFile::encodeName(project()).constData(), latin1.c_str()), 0);
    QString expected = QString::fromUtf8(OutputForBytes(KESTROVA_KPJCHECK, latin1));
    ASSERT_TRUE(expected.contains(QStringLiteral("Reporting on ")));
    expected.chop(1);
    expected.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));

    // Given as the program's argument, and dropped from a file manager, whose URL escapes the
    // name's bytes.
    const auto asArgument = [&](main& w) { w.checkProjectFile(QByteArray::fromStdString(latin1)); };
    const auto dropped = [&](main& w) {
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        QMimeData data;
        data.setUrls({QUrl::fromEncoded("file://" +
                                        QByteArray::fromStdString(latin1).toPercentEncoding("/"))});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(w.lstReports->viewport(), &enter);
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(w.lstReports->viewport(), &drop);
        QCoreApplication::processEvents();
    };
    for (const auto& given :
         {std::function<void(main&)>(asArgument), std::function<void(main&)>(dropped)}) {
        testing::RecordingMessages messages;
        main w(MainWindowServices{{nullptr, &messages}});
        given(w);
        EXPECT_TRUE(messages.texts.empty());
        EXPECT_EQ(PlainTextReportBox(*w.lstReports).text(), expected.toStdString());
        EXPECT_NE(PlainTextReportBox(*w.lstReports).text().find("Caf\xEF\xBF\xBD.kpj"),
                  std::string::npos);
        EXPECT_EQ(QDir::current().canonicalPath(), QDir(folder_.path()).canonicalPath());
        // Qt cannot list a name that is not UTF-8; the file system can.
        const std::filesystem::path folder(QFile::encodeName(folder_.path()).toStdString());
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1)
            << "working copy left";
    }
    // Nor can Qt remove it: the file goes by its bytes, so that the temporary folder goes too.
    std::filesystem::remove(latin1);
}

TEST_F(OpenFromOutside, MissingFileGivesTheCheckRunsMessageAndStopLine) {
    main w(MainWindowServices{{&files_, &messages_}});
    w.checkProjectFile(QFile::encodeName(folder_.filePath(QStringLiteral("gone/missing.kpj"))));
    ASSERT_EQ(messages_.texts.size(), 1u);
    EXPECT_NE(messages_.texts[0].find("missing.kpj"), std::string::npos);
    EXPECT_NE(PlainTextReportBox(*w.lstReports).text().find("\r\nCheck stopped: "),
              std::string::npos)
        << PlainTextReportBox(*w.lstReports).text();
}

TEST_F(OpenFromOutside, DroppedProjectFileIsCheckedAndOtherDropsAreNot) {
    main w(MainWindowServices{{&files_, &messages_}});
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QWidget* target = w.lstReports->viewport();
    auto drop = [&](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QDropEvent dropped(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &dropped);
        QCoreApplication::processEvents();
        return enter.isAccepted() && dropped.isAccepted();
    };

    QFile::copy(project(), folder_.filePath(QStringLiteral("notes.txt")));
    drop({QUrl::fromLocalFile(folder_.filePath(QStringLiteral("notes.txt")))});
    drop({QUrl::fromLocalFile(project()), QUrl::fromLocalFile(project())});
    drop({QUrl(QStringLiteral("https://example.org/show.kpj"))});
    EXPECT_TRUE(files_.offered.empty()) << "no check ran";
    QFile::remove(folder_.filePath(QStringLiteral("notes.txt")));
    PlainTextReportBox(*w.lstReports).setText("");

    EXPECT_TRUE(drop({QUrl::fromLocalFile(project())}));
    expectCheckedAsIfChosenInTheDialog(w);
}

} // namespace
} // namespace kestrova::qt
