// The window on a real X server that goes away while a message of a check run is open: the
// program ends and takes its working copy with it.

#include "gui_test_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace kestrova::qt {
namespace {

using testing::WaitFor;

// Whether the process has a handler of its own for the signal (Linux's /proc status).
bool CatchesSignal(qint64 pid, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1U;
    }
    return false;
}

class Stopped {
public:
    explicit Stopped(QProcess& process) : process_(process) {}
    ~Stopped() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    Stopped(const Stopped&) = delete;
    Stopped& operator=(const Stopped&) = delete;

private:
    QProcess& process_;
};

TEST(DisplayConnection, LostDuringACheckTheWorkingCopyGoesWithTheProgram) {
    const QString xvfbProgram = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfbProgram.isEmpty())
        GTEST_SKIP() << "NOTICE: Xvfb is not installed; the loss of the display is not tested.";
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // Some 64 MiB to copy and parse, then a fault at the end: the message comes after the check.
    const QString project = folder.filePath(QStringLiteral("damaged.kpj"));
    {
        QFile file(project);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<kestrovadocument2><multilayer><!--\n");
        file.write(QByteArray(64 << 20, ' '));
        file.write("\n--></multilayer>\n");
    }
    auto workingCopies = [&folder] {
        return QDir(folder.path()).entryList({QStringLiteral("*.tmp")}, QDir::Files);
    };

    // A display of our own: Xvfb picks a free number and writes it to its standard output.
    QProcess xvfb;
    const Stopped xvfbStopped(xvfb);
    xvfb.start(xvfbProgram, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "800x600x24"});
    ASSERT_TRUE(WaitFor([&] { return xvfb.waitForReadyRead(50) && xvfb.canReadLine(); }, 10000))
        << "Xvfb did not start";
    const QString display = QStringLiteral(":") + QString::fromLatin1(xvfb.readLine().trimmed());

    QProcess checker;
    const Stopped checkerStopped(checker);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder.path());
    checker.setProcessEnvironment(environment);
    checker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    checker.start(QStringLiteral(KESTROVA_CHECKER), {project});
    ASSERT_TRUE(checker.waitForStarted(10000));
    // The display goes while the working copy exists.
    ASSERT_TRUE(WaitFor([&] { return !workingCopies().isEmpty(); }, 20000, 1))
        << "the check did not start";
    ASSERT_EQ(checker.state(), QProcess::Running);
    if (!CatchesSignal(checker.processId(), SIGTERM))
        GTEST_SKIP() << "NOTICE: kestrova-checker installs no removal of its working copy on "
                        "exit (no handler for SIGTERM); the loss of the display is not tested.";

    xvfb.terminate();
    ASSERT_TRUE(xvfb.waitForFinished(10000));
    EXPECT_TRUE(checker.waitForFinished(10000)) << "the window did not end without its display";
    EXPECT_EQ(workingCopies(), QStringList{}) << "working copy left behind";
}

} // namespace
} // namespace kestrova::qt
