// Kestrova Checker: creates and shows the main window, then answers its menu commands. A project
// file named on the command line is checked at start; --help and --version answer on the
// terminal without opening a window.

#include "app/app_info.h"
#include "app/qt/command_line.h"
#include "app/qt/main_window.h"
#include "check/file_access.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace {

// The arguments as the bytes they are: a file name from an old archive need not be UTF-8.
QByteArrayList ArgumentsAfterProgram(int argc, char** argv) {
    QByteArrayList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    return arguments;
}

// Answers --help and --version, and refuses a mistaken command line; nothing for a command
// line that opens the window.
std::optional<int> AnswerOnTerminal(const kestrova::app::CommandLine& line) {
    using Action = kestrova::app::CommandLine::Action;
    switch (line.action) {
    case Action::ShowHelp:
        std::fputs(kestrova::app::HelpText().toLocal8Bit().constData(), stdout);
        return 0;
    case Action::ShowVersion:
        std::fputs(kestrova::app::VersionText().toLocal8Bit().constData(), stdout);
        return 0;
    case Action::Refuse:
        std::fprintf(stderr, "kestrova-checker: %s\nTry \"kestrova-checker --help\".\n",
                     line.problem.toLocal8Bit().constData());
        return 2;
    case Action::OpenWindow:
        break;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    using Action = kestrova::app::CommandLine::Action;
    // Questions are answered before the window system is needed, so they work without a
    // display; Qt's own options (-platform, -display, ...) are only known after it starts.
    const kestrova::app::CommandLine early =
        kestrova::app::ReadCommandLine(ArgumentsAfterProgram(argc, argv));
    if (early.action == Action::ShowHelp || early.action == Action::ShowVersion)
        return *AnswerOnTerminal(early);

    kestrova::RemoveListedFilesOnExit();
    QApplication application(argc, argv);
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kestrova.Checker"));
    QApplication::setApplicationName(QString::fromUtf8(kestrova::kApplicationTitle));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(kestrova::kVersionMajor)
                                            .arg(kestrova::kVersionMinor)
                                            .arg(kestrova::kVersionRevision));
    // QApplication has taken its own options out of argv.
    const kestrova::app::CommandLine line =
        kestrova::app::ReadCommandLine(ArgumentsAfterProgram(argc, argv));
    if (const std::optional<int> status = AnswerOnTerminal(line))
        return *status;

    kestrova::app::main window;
    window.show();
    if (!line.projectFile.isEmpty()) {
        // Checked once the window is up, so that a message of the run has its window.
        QTimer::singleShot(0, &window,
                           [&window, file = line.projectFile] { window.checkProjectFile(file); });
    }
    return application.exec();
}
