// The application's message box: OK only, no icon, the application title, modal, CR LF breaks.

#include "app/qt/message_box.h"

#include "gui_test_support.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QWidget>

#include <gtest/gtest.h>

namespace kestrova::qt {
namespace {

struct ShownBox {
    bool seen = false;
    QString caption;
    QString text;
    int buttonCount = -1;
    bool okButton = false;
    QMessageBox::Icon icon = QMessageBox::Warning;
    Qt::WindowModality modality = Qt::NonModal;
    Qt::TextFormat format = Qt::AutoText;
    int width = 0;
    int captionRoom = 0;
};

// Shows a message through the real box and closes it with its OK button, noting what it showed.
ShownBox ShowAndCloseWithOk(ApplicationMessageBox& messages, const std::string& text) {
    ShownBox shown;
    testing::WhenModalOpens([&shown](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) {
            modal->close();
            return;
        }
        shown.seen = true;
        shown.caption = box->windowTitle();
        shown.text = box->text();
        shown.buttonCount = static_cast<int>(box->buttons().size());
        shown.okButton = box->button(QMessageBox::Ok) != nullptr;
        shown.icon = box->icon();
        shown.modality = box->windowModality();
        shown.format = box->textFormat();
        shown.width = box->width();
        shown.captionRoom = CaptionRoom(*box);
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
            ok->click();
        } else {
            box->close();
        }
    });
    messages.showMessage(text);
    return shown;
}

TEST(MessageBox, ShowsTextWithOkOnlyNoIconAndApplicationTitleModalToApplication) {
    QWidget owner;
    owner.show();
    ApplicationMessageBox messages(&owner);
    const ShownBox shown = ShowAndCloseWithOk(messages, "Nothing to print!");
    ASSERT_TRUE(shown.seen);
    EXPECT_EQ(shown.caption, QStringLiteral("Kestrova Checker"));
    EXPECT_EQ(shown.text, QStringLiteral("Nothing to print!"));
    EXPECT_EQ(shown.buttonCount, 1);
    EXPECT_TRUE(shown.okButton);
    EXPECT_EQ(shown.icon, QMessageBox::NoIcon);
    EXPECT_EQ(shown.modality, Qt::ApplicationModal);

    // Wide enough for the caption in a bold font beside four frame buttons.
    QFont bold = owner.font();
    bold.setBold(true);
    const QFontMetrics caption(bold);
    EXPECT_GE(shown.captionRoom,
              caption.horizontalAdvance(QStringLiteral("Kestrova Checker")) + 4 * caption.height());
    EXPECT_GE(shown.width, shown.captionRoom);
}

TEST(MessageBox, StartsANewLineAtCrLfAndShowsMarkupAsPlainText) {
    ApplicationMessageBox messages(nullptr);
    const ShownBox shown =
        ShowAndCloseWithOk(messages, "Opening and ending tag mismatch: <b> and </a>\r\n7");
    ASSERT_TRUE(shown.seen);
    EXPECT_EQ(shown.text, QStringLiteral("Opening and ending tag mismatch: <b> and </a>\n7"));
    EXPECT_EQ(shown.format, Qt::PlainText);
}

TEST(MessageBox, TextStartsANewLineAtEachCrLf) {
    EXPECT_EQ(MessageBoxText("first\r\nsecond\r\nline"), QStringLiteral("first\nsecond\nline"));
}

} // namespace
} // namespace kestrova::qt
