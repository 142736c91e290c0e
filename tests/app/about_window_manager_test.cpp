// The About dialog on a real X server under a real window manager (openbox), both private to
// this test: the frame offers to close it but not to minimise, maximise or fill the screen, and
// a request to minimise it never takes the main window out of view.

#include "app/qt/frm_about.h"

#include "../shell/fake_system.h"
#include "gui_test_support.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWindow>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace kestrova::qt {
namespace {

using kestrova::testing::WaitFor;

// Xvfb on a free display number and openbox managing it; both end with this object.
class PrivateDesktop {
public:
    explicit PrivateDesktop(const QString& folder) {
        const QString xvfbProgram = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString openboxProgram = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        if (xvfbProgram.isEmpty() || openboxProgram.isEmpty()) {
            missing_ = QStringLiteral("Xvfb or openbox is not installed");
            return;
        }
        xvfb_.start(xvfbProgram,
                    {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
        if (!WaitFor([&] { return xvfb_.waitForReadyRead(50) && xvfb_.canReadLine(); }, 10000)) {
            missing_ = QStringLiteral("Xvfb did not start");
            return;
        }
        display_ = QStringLiteral(":") + QString::fromLatin1(xvfb_.readLine().trimmed());

        // openbox keeps its settings, cache and log in this test's folder, and marks the moment
        // it manages the screen by running the startup command.
        const QString ready = QDir(folder).filePath(QStringLiteral("openbox-ready"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display_);
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME",
                                 "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
            environment.insert(QString::fromLatin1(name), folder);
        openbox_.setProcessEnvironment(environment);
        openbox_.start(openboxProgram, {"--sm-disable", "--startup", "touch " + ready});
        if (!WaitFor([&] { return QFileInfo::exists(ready); }, 10000))
            missing_ = QStringLiteral("openbox did not start");
    }
    ~PrivateDesktop() {
        for (QProcess* process : {&openbox_, &xvfb_}) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->terminate();
            if (!process->waitForFinished(5000)) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }
    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;

    bool ready() const { return missing_.isEmpty(); }
    QString missing() const { return missing_; }
    QString display() const { return display_; }

private:
    QProcess xvfb_;
    QProcess openbox_;
    QString display_;
    QString missing_;
};

PrivateDesktop* gDesktop = nullptr;

// Notes every time a window went out of view: the window manager unmapped it, however briefly.
class OutOfViewWatch : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && !static_cast<QWindow*>(watched)->isExposed())
            ++times;
        return false;
    }
    int times = 0;
};

// The names of the actions the window manager allows on a window (_NET_WM_ALLOWED_ACTIONS).
std::vector<std::string> AllowedActions(const QWidget& widget) {
    xcb_connection_t* const connection =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const auto atom = [connection](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t found = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return found;
    };
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, static_cast<xcb_window_t>(widget.winId()),
                         atom("_NET_WM_ALLOWED_ACTIONS"), XCB_ATOM_ATOM, 0, 64),
        nullptr);
    std::vector<std::string> names;
    if (reply == nullptr)
        return names;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
    for (int i = 0; i < xcb_get_property_value_length(reply) / 4; ++i) {
        xcb_get_atom_name_reply_t* name =
            xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, atoms[i]), nullptr);
        if (name != nullptr)
            names.emplace_back(xcb_get_atom_name_name(name), xcb_get_atom_name_name_length(name));
        std::free(name);
    }
    std::free(reply);
    return names;
}

TEST(AboutDialogUnderAWindowManager, OffersACloseButtonOnlyAndNeverTakesItsOwnerAlong) {
    if (!gDesktop->ready())
        GTEST_SKIP() << "NOTICE: " << gDesktop->missing().toStdString()
                     << "; the About dialog is not tried under a window manager.";
    testing::FakeRegistry registry;
    testing::FakeLauncher launcher;
    testing::RecordingMessages messages;
    QWidget owner;
    owner.setWindowTitle(QStringLiteral("Owner"));
    owner.resize(500, 400);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    frmAbout dialog(&owner, messages, registry, launcher);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    ASSERT_TRUE(WaitFor(
        [&] {
            QCoreApplication::processEvents();
            return !AllowedActions(dialog).empty();
        },
        5000));
    const std::vector<std::string> actions = AllowedActions(dialog);
    const auto allowed = [&actions](const char* action) {
        return std::find(actions.begin(), actions.end(), action) != actions.end();
    };
    EXPECT_TRUE(allowed("_NET_WM_ACTION_CLOSE"));
    for (const char* refused : {"_NET_WM_ACTION_MINIMIZE", "_NET_WM_ACTION_MAXIMIZE_HORZ",
                                "_NET_WM_ACTION_MAXIMIZE_VERT", "_NET_WM_ACTION_FULLSCREEN"})
        EXPECT_FALSE(allowed(refused)) << refused;

    OutOfViewWatch ownerWatch;
    owner.windowHandle()->installEventFilter(&ownerWatch);

    // What the minimise button of the frame does: the window manager is asked to iconify it.
    dialog.setWindowState(Qt::WindowMinimized);
    QTest::qWait(1500);

    EXPECT_EQ(ownerWatch.times, 0) << "the main window went out of view with the dialog";
    EXPECT_FALSE(owner.isMinimized());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.isMinimized());
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog)) << "the dialog did not come back";
}

} // namespace
} // namespace kestrova::qt

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    kestrova::qt::PrivateDesktop desktop(folder.path());
    kestrova::qt::gDesktop = &desktop;
    if (desktop.ready()) {
        qputenv("DISPLAY", desktop.display().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qputenv("XDG_RUNTIME_DIR", folder.path().toLocal8Bit());
    int result = 0;
    {
        QApplication application(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
