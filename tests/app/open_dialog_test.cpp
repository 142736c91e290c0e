// dlgOpen: the project file filter in any letter case, existing files only, the last file
// offered again, cancel changing nothing, and the current directory moved to the chosen folder.

#include "app/qt/open_dialog.h"

#include "gui_test_support.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrova::qt {
namespace {

class OpenDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        startDirectory_ = QDir::currentPath();
        for (const char* name : {"first.kpj", "SHOUTED.KPJ", "Mixed.Kpj", "notes.txt"}) {
            QFile file(folder_.filePath(QString::fromLatin1(name)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("<kestrovadocument2/>\n");
        }
    }
    void TearDown() override { QDir::setCurrent(startDirectory_); }

    QString path(const char* name) const { return folder_.filePath(QString::fromLatin1(name)); }

    QTemporaryDir folder_;
    QString startDirectory_;
};

struct DialogSettings {
    bool seen = false;
    QStringList nameFilters;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptSave;
    QStringList offered;
    QStringList listed;
};

// Notes how the open dialog is set up, then picks `choice` (or cancels when it is empty).
void AnswerDialog(DialogSettings& settings, const QString& choice, bool waitForListing = false) {
    testing::WhenModalOpens([&settings, choice, waitForListing](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
            modal->close();
            return;
        }
        settings.seen = true;
        settings.nameFilters = dialog->nameFilters();
        settings.fileMode = dialog->fileMode();
        settings.acceptMode = dialog->acceptMode();
        settings.offered = dialog->selectedFiles();
        if (waitForListing) {
            auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
            for (int i = 0; i < 300 && list != nullptr; ++i) {
                if (list->model()->rowCount(list->rootIndex()) >= 3) {
                    break;
                }
                QTest::qWait(10);
            }
            QTest::qWait(50);
            if (list != nullptr) {
                for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row) {
                    settings.listed
                        << list->model()->index(row, 0, list->rootIndex()).data().toString();
                }
                settings.listed.sort();
            }
        }
        if (choice.isEmpty()) {
            dialog->reject();
        } else {
            // The dialog leaves its file name box alone while that box has the focus.
            if (QWidget* focused = dialog->focusWidget()) {
                focused->clearFocus();
            }
            dialog->selectFile(choice);
            QMetaObject::invokeMethod(dialog, "accept");
        }
    });
}

TEST_F(OpenDialogTest, RealDialogOffersProjectFilesOnlyAndReturnsTheChosenFile) {
    OpenDialog dlgOpen(nullptr);
    DialogSettings settings;
    AnswerDialog(settings, path("first.kpj"));
    const std::optional<std::string> chosen = dlgOpen.chooseProjectFile();
    ASSERT_TRUE(settings.seen);
    EXPECT_EQ(settings.nameFilters, QStringList{QStringLiteral("Kestrova 4 Project file (*.kpj)")});
    EXPECT_EQ(settings.fileMode, QFileDialog::ExistingFile);
    EXPECT_EQ(settings.acceptMode, QFileDialog::AcceptOpen);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, QDir::toNativeSeparators(path("first.kpj")).toStdString());
    EXPECT_EQ(QDir(QDir::currentPath()).canonicalPath(), QDir(folder_.path()).canonicalPath());
}

TEST_F(OpenDialogTest, RealDialogListsProjectFilesInAnyLetterCase) {
    OpenDialog dlgOpen(nullptr);
    dlgOpen.offer(QFile::encodeName(path("first.kpj")).toStdString()); // opens in the test folder
    DialogSettings settings;
    AnswerDialog(settings, path("SHOUTED.KPJ"), true);
    const std::optional<std::string> chosen = dlgOpen.chooseProjectFile();
    ASSERT_TRUE(settings.seen);
    EXPECT_EQ(settings.listed, (QStringList{"Mixed.Kpj", "SHOUTED.KPJ", "first.kpj"}));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, QDir::toNativeSeparators(path("SHOUTED.KPJ")).toStdString());
}

TEST_F(OpenDialogTest, RealDialogOffersTheFileChosenLastTimeAndCancelChangesNothing) {
    OpenDialog dlgOpen(nullptr);
    DialogSettings none;
    AnswerDialog(none, QString()); // cancel before any choice
    EXPECT_FALSE(dlgOpen.chooseProjectFile().has_value());
    EXPECT_TRUE(none.seen);
    EXPECT_EQ(QDir::currentPath(), startDirectory_);

    DialogSettings first;
    AnswerDialog(first, path("Mixed.Kpj"));
    ASSERT_TRUE(dlgOpen.chooseProjectFile());
    QDir::setCurrent(startDirectory_);

    DialogSettings second;
    AnswerDialog(second, QString()); // cancel
    EXPECT_FALSE(dlgOpen.chooseProjectFile().has_value());
    ASSERT_TRUE(second.seen);
    EXPECT_EQ(second.offered, QStringList{path("Mixed.Kpj")});
    EXPECT_EQ(QDir::currentPath(), startDirectory_);
}

TEST_F(OpenDialogTest, AFileCheckedWithoutTheDialogIsOfferedWhenItNextOpens) {
    OpenDialog dlgOpen(nullptr);
    dlgOpen.offer(QFile::encodeName(path("first.kpj")).toStdString());
    DialogSettings settings;
    AnswerDialog(settings, QString()); // cancel
    EXPECT_FALSE(dlgOpen.chooseProjectFile().has_value());
    ASSERT_TRUE(settings.seen);
    EXPECT_EQ(settings.offered, QStringList{path("first.kpj")});
    EXPECT_EQ(QDir::currentPath(), startDirectory_);
}

} // namespace
} // namespace kestrova::qt
