// The About dialog: texts, layout, buttons and keys, and the System Info button.

#include "app/qt/frm_about.h"

#include "../shell/fake_system.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace kestrova::qt {
namespace {

using testing::FakeLauncher;
using testing::FakeRegistry;
using testing::RecordingMessages;

struct AboutDialog : ::testing::Test {
    FakeRegistry registry;
    FakeLauncher launcher;
    RecordingMessages messages;
};

TEST_F(AboutDialog, LoadsCaptionTitleVersionAndDescription) {
    frmAbout dialog(nullptr, messages, registry, launcher);
    EXPECT_FALSE(dialog.isVisible()) << "loading does not show the dialog";
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Kestrova Checker"));
    EXPECT_EQ(dialog.lblTitle->text(), QStringLiteral("Kestrova Checker"));
    EXPECT_EQ(dialog.lblVersion->text(), QStringLiteral("Version 1.2.0"));
    EXPECT_EQ(dialog.lblDescription->text(),
              QStringLiteral(
                  "Checks for gaps in video layers and for zero length effects which can cause "
                  "problems with building movies"));
    EXPECT_TRUE(dialog.lblDescription->wordWrap());
    EXPECT_EQ(dialog.lblDisclaimer->text(), QString());
    EXPECT_EQ(dialog.cmdOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(dialog.cmdSysInfo->text(), QStringLiteral("&System Info..."));
    EXPECT_EQ(dialog.lblTitle->palette().color(QPalette::WindowText), QColor(Qt::black));
}

TEST_F(AboutDialog, HasItsFixedLayoutWithoutMinimizeOrMaximize) {
    frmAbout dialog(nullptr, messages, registry, launcher);
    EXPECT_EQ(dialog.size(), QSize(382, 237));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(dialog.picIcon->geometry(), QRect(16, 16, 92, 96));
    EXPECT_EQ(dialog.picIcon->pixmap().size(), QSize(88, 92));
    EXPECT_EQ(dialog.picIcon->contentsRect().size(), QSize(88, 92));
    EXPECT_EQ(dialog.lblTitle->geometry(), QRect(118, 16, 259, 32));
    EXPECT_EQ(dialog.lblVersion->geometry(), QRect(118, 52, 259, 15));
    EXPECT_EQ(dialog.lblDescription->geometry(), QRect(118, 88, 259, 70));
    EXPECT_EQ(dialog.lblDisclaimer->geometry(), QRect(17, 175, 258, 55));
    EXPECT_EQ(dialog.cmdOK->geometry(), QRect(283, 175, 84, 23));
    EXPECT_EQ(dialog.cmdSysInfo->geometry(), QRect(284, 205, 83, 23));
    EXPECT_FALSE(dialog.windowIcon().isNull());
}

TEST_F(AboutDialog, ComesBackWhenMinimisedOrMaximisedAndBringsItsOwnerBack) {
    QWidget owner;
    owner.show();
    frmAbout dialog(&owner, messages, registry, launcher);
    dialog.show();
    for (const Qt::WindowState state : {Qt::WindowMinimized, Qt::WindowMaximized}) {
        owner.setWindowState(state == Qt::WindowMinimized ? Qt::WindowMinimized
                                                          : Qt::WindowNoState);
        dialog.setWindowState(state);
        QTest::qWait(50);
        EXPECT_EQ(dialog.windowState(), Qt::WindowNoState);
        EXPECT_EQ(dialog.size(), QSize(382, 237));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(owner.isMinimized());
    }
}

TEST_F(AboutDialog, DrawsTheEtchedRuleAboveTheButtons) {
    frmAbout dialog(nullptr, messages, registry, launcher);
    const QImage image = dialog.grab().toImage();
    EXPECT_EQ(image.pixelColor(200, 163), QColor(128, 128, 128));
    EXPECT_EQ(image.pixelColor(200, 164), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(200, 165), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(6, 163), QColor(128, 128, 128));
    EXPECT_EQ(image.pixelColor(377, 163), QColor(128, 128, 128));
    EXPECT_EQ(image.pixelColor(7, 165), QColor(Qt::white));
}

TEST_F(AboutDialog, OkIsDefaultAndHasTheFocusAndTabReachesSystemInfo) {
    frmAbout dialog(nullptr, messages, registry, launcher);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_TRUE(dialog.cmdOK->isDefault());
    EXPECT_EQ(QApplication::focusWidget(), dialog.cmdOK);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.cmdSysInfo);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.cmdOK);
}

TEST_F(AboutDialog, OkEscapeEnterAndTheCloseButtonCloseIt) {
    {
        frmAbout dialog(nullptr, messages, registry, launcher);
        dialog.show();
        dialog.cmdOK->click();
        EXPECT_FALSE(dialog.isVisible());
    }
    {
        frmAbout dialog(nullptr, messages, registry, launcher);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
    }
    {
        frmAbout dialog(nullptr, messages, registry, launcher);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible());
    }
    {
        frmAbout dialog(nullptr, messages, registry, launcher);
        dialog.show();
        EXPECT_TRUE(dialog.close());
        EXPECT_FALSE(dialog.isVisible());
    }
    EXPECT_TRUE(messages.texts.empty());
}

TEST_F(AboutDialog, SystemInfoWithoutTheToolSaysSoOnceAndTheDialogStaysOpen) {
    frmAbout dialog(nullptr, messages, registry, launcher);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.cmdSysInfo->setFocus();
    QTest::keyClick(dialog.cmdSysInfo, Qt::Key_Return); // Enter on System Info presses it
    EXPECT_EQ(messages.texts,
              std::vector<std::string>{"System Information Is Unavailable At This Time"});
    EXPECT_TRUE(dialog.isVisible());
    dialog.cmdOK->click();
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(AboutDialog, SystemInfoStartsTheToolAndTheDialogStaysOpen) {
    registry.set(testing::kToolKey, "PATH", {kTypeString, testing::WithZero("C:\\msinfo32.exe")});
    frmAbout dialog(nullptr, messages, registry, launcher);
    dialog.show();
    dialog.cmdSysInfo->click();
    EXPECT_EQ(launcher.started, std::vector<std::string>{"C:\\msinfo32.exe"});
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_TRUE(dialog.isVisible());
}

} // namespace
} // namespace kestrova::qt
