#include "app/qt/frm_about.h"

#include "app/about_texts.h"
#include "app/command_guard.h"
#include "app/qt/about_artwork.h"
#include "app/qt/dialog_frame.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPushButton>

namespace kestrova::qt {
namespace {

// The dialog is laid out in twips; at 15 twips per pixel these are its pixel positions.
constexpr int Px(int twips) {
    return (twips + 7) / 15;
}

QLabel* MakeLabel(QWidget* parent, const char* name, int left, int top, int width, int height,
                  bool blackText) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(Px(left), Px(top), Px(width), Px(height));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    if (blackText) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    return label;
}

} // namespace

frmAbout::frmAbout(QWidget* owner, MessageDisplay& messages, Registry& registry,
                   ProgramLauncher& launcher)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      messages_(messages), registry_(registry), launcher_(launcher) {
    setObjectName(QStringLiteral("frmAbout"));
    setFixedSize(Px(5730), Px(3555));
    setWindowIcon(AboutFrameIcon());
    setModal(true);
    AskForACloseButtonOnly(*this);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picIcon->setLineWidth(2);
    picIcon->setPixmap(AboutPicture());
    picIcon->setGeometry(Px(240), Px(240), 92, 96); // sized to the picture and its border

    lblTitle = MakeLabel(this, "lblTitle", 1770, 240, 3885, 480, true);
    lblVersion = MakeLabel(this, "lblVersion", 1770, 780, 3885, 225, false);
    lblDescription = MakeLabel(this, "lblDescription", 1770, 1320, 3885, 1050, true);
    lblDescription->setWordWrap(true);
    lblDescription->setText(QString::fromStdString(AboutDescription()));
    lblDisclaimer = MakeLabel(this, "lblDisclaimer", 255, 2625, 3870, 825, true);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(Px(4245), Px(2625), Px(1260), Px(345));
    cmdOK->setDefault(true);

    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(Px(4260), Px(3075), Px(1245), Px(345));

    // Tab order: cmdOK, picIcon, cmdSysInfo, lblDescription, lblDisclaimer, lblTitle,
    // lblVersion. Of these only the two buttons take the focus.
    picIcon->setFocusPolicy(Qt::NoFocus);
    setTabOrder(cmdOK, picIcon);
    setTabOrder(picIcon, cmdSysInfo);
    setTabOrder(cmdSysInfo, lblDescription);
    setTabOrder(lblDescription, lblDisclaimer);
    setTabOrder(lblDisclaimer, lblTitle);
    setTabOrder(lblTitle, lblVersion);
    cmdOK->setFocus();

    // Esc and the frame's close button reject the dialog, which closes it like OK does.
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    Form_Load();
}

void frmAbout::Form_Load() {
    setWindowTitle(QString::fromStdString(AboutCaption()));
    lblVersion->setText(QString::fromStdString(AboutVersion()));
    lblTitle->setText(QString::fromStdString(AboutTitle()));
}

void frmAbout::cmdOK_Click() {
    accept();
}

void frmAbout::cmdSysInfo_Click() {
    RunCommand(messages_, [this] { StartSysInfo(registry_, launcher_, messages_); });
}

void frmAbout::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange ||
        (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) == 0)
        return;
    // The dialog asks for neither button, but a window manager may still minimise or maximise
    // it on request, and take the owner along. The dialog goes back to its normal state at
    // once, and so does the window it belongs to.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (QWidget* owner = parentWidget(); owner != nullptr && owner->isMinimized())
                owner->setWindowState(owner->windowState() & ~Qt::WindowMinimized);
            setWindowState(Qt::WindowNoState);
            show();
            activateWindow();
        },
        Qt::QueuedConnection);
}

void frmAbout::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // The etched rule above the buttons: a gray line with a white one, two pixels high, just
    // below it.
    QPainter painter(this);
    painter.fillRect(QRect(QPoint(Px(105), Px(2460)), QPoint(Px(5654), Px(2460) + 1)), Qt::white);
    painter.fillRect(QRect(QPoint(Px(90), Px(2445)), QPoint(Px(5654), Px(2445))),
                     QColor(128, 128, 128));
}

} // namespace kestrova::qt
