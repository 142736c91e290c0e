#include "app/qt/main_window.h"

#include "app/app_info.h"
#include "app/command_guard.h"
#include "app/open_command.h"
#include "app/qt/app_icon.h"
#include "app/qt/frm_about.h"

#include <QAction>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextOption>

#include <algorithm>
#include <string>
#include <vector>

namespace kestrova::qt {
namespace {

// Client area below the menu bar, and where its top-left corner stands on the screen.
constexpr int kClientWidth = 478;
constexpr int kClientHeight = 330;
constexpr int kClientLeft = 248;
constexpr int kClientTop = 225;

// The project file a drag carries, as the shell takes drops, when it carries local files only:
// as the file system's bytes (the URL's escapes undone byte by byte, so a name that is not UTF-8
// keeps its bytes).
std::optional<QByteArray> DraggedProjectFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls())
        return std::nullopt;
    std::vector<std::string> files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            return std::nullopt;
        files.push_back(
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString());
    }
    const std::optional<std::string> project = DroppedProjectFile(files);
    if (!project)
        return std::nullopt;
    return QByteArray::fromStdString(*project);
}

// The drag carries a file of this machine (a file manager's drag), not only text or web links.
bool CarriesLocalFiles(const QMimeData* data) {
    if (data == nullptr)
        return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

} // namespace

main::main(MainWindowServices services)
    : lstReports(new QPlainTextEdit), dlgOpen(this), report_(*lstReports), ownMessages_(this),
      files_(services.dialogs.files != nullptr ? *services.dialogs.files : dlgOpen),
      messages_(services.dialogs.messages != nullptr ? *services.dialogs.messages : ownMessages_),
      printers_(services.printers != nullptr ? *services.printers : systemPrinters_),
      registry_(services.registry != nullptr ? *services.registry : PlatformRegistry()),
      launcher_(services.launcher != nullptr ? *services.launcher : PlatformLauncher()) {
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QString::fromUtf8(kMainWindowCaption));
    setWindowIcon(ApplicationIcon());

    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFileOpen = mnuFile->addAction(QStringLiteral("&Open"));
    mnuFileOpen->setObjectName(QStringLiteral("mnuFileOpen"));
    mnuFileOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    Print = mnuFile->addAction(QStringLiteral("&Print"));
    Print->setObjectName(QStringLiteral("Print"));
    Print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpAbout = mnuHelp->addAction(QStringLiteral("&About"));
    mnuHelpAbout->setObjectName(QStringLiteral("mnuHelpAbout"));
    connect(mnuFileOpen, &QAction::triggered, this, &main::mnuFileOpen_Click);
    connect(Print, &QAction::triggered, this, &main::Print_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &main::mnuHelpAbout_Click);

    // The client area holds the report box at a fixed place; nothing lays it out again when
    // the window is resized.
    auto* client = new QWidget;
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    lstReports->setParent(client);
    lstReports->setObjectName(QStringLiteral("lstReports"));
    lstReports->setGeometry(16, 16, 433, 257);
    lstReports->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    lstReports->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    lstReports->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstReports->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lstReports->setReadOnly(false);
    lstReports->setFocus();
    // A project file dropped anywhere on the window is checked; the report box would otherwise
    // take it as text to insert.
    setAcceptDrops(true);
    lstReports->viewport()->installEventFilter(this);

    const int menuHeight = menuBar()->isNativeMenuBar() ? 0 : menuBar()->sizeHint().height();
    setGeometry(kClientLeft, kClientTop - menuHeight, kClientWidth, kClientHeight + menuHeight);
}

void main::mnuFileOpen_Click() {
    runCheck([this] { return RunOpenCommand(files_, messages_, report_, random_, busy_); });
}

void main::checkProjectFile(const QByteArray& path) {
    runCheck([this, &path] {
        return RunOpenCommand(path.toStdString(), files_, messages_, report_, random_, busy_);
    });
}

void main::runCheck(const std::function<std::optional<CheckResult>()>& check) {
    struct Checking {
        bool& flag;
        explicit Checking(bool& f) : flag(f) { flag = true; }
        ~Checking() { flag = false; }
    } checking(checking_);
    RunCommand(messages_, [this, &check] {
        // A name that is not UTF-8 names the job as the dialog shows it, decoded.
        if (const std::optional<CheckResult> result = check())
            lastProject_ = QFile::decodeName(QByteArray::fromStdString(result->file)).toStdString();
    });
}

bool main::takeProjectDrop(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    auto* drop = static_cast<QDropEvent*>(event);
    if (checking_) {
        // The window repaints while a check runs; a drop waits for no check and is refused.
        drop->ignore();
        return true;
    }
    const std::optional<QByteArray> project = DraggedProjectFile(drop->mimeData());
    if (!project) {
        if (!CarriesLocalFiles(drop->mimeData()))
            return false;
        // Files that are not one project are not taken, nor pasted into the report as names.
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop) {
        // Checked once the drop is over, so that the dragging program is not kept waiting
        // while a message of the run is open.
        QMetaObject::invokeMethod(
            this, [this, path = *project] { checkProjectFile(path); }, Qt::QueuedConnection);
    }
    return true;
}

bool main::event(QEvent* event) {
    return takeProjectDrop(event) || QMainWindow::event(event);
}

bool main::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lstReports->viewport() && takeProjectDrop(event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

void main::Print_Click() {
    RunCommand(messages_, [this] {
        // The job is named after the project checked last, so it can be told apart in the queue.
        PrintProgressDialog progress(this);
        RunPrintCommand(report_.text(), PrintJobName(lastProject_), printers_, messages_,
                        &progress);
    });
}

void main::mnuHelpAbout_Click() {
    RunCommand(messages_, [this] {
        frmAbout dialog(this, messages_, registry_, launcher_);
        dialog.exec();
    });
}

} // namespace kestrova::qt
