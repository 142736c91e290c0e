// Kestrova Checker: creates and shows the main window, then answers its menu commands. A project
// file named on the command line is checked at start; --help and --version answer on the
// terminal without opening a window.

#include "app/app_info.h"
#include "app/command_line.h"
#include "app/qt/main_window.h"
#include "check/file_access.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

// The arguments as the bytes they are: a file name from an old archive need not be UTF-8.
std::vector<std::string> ArgumentsAfterProgram(int argc, char** argv) {
    return {argv + (argc > 0 ? 1 : 0), argv + argc};
}

// Answers --help and --version, and refuses a mistaken command line; nothing for a command
// line that opens the window.
std::optional<int> AnswerOnTerminal(const kestrova::CommandLine& line) {
    using Action = kestrova::CommandLine::Action;
    switch (line.action) {
    case Action::ShowHelp:
        std::fputs(kestrova::HelpText().c_str(), stdout);
        return 0;
    case Action::ShowVersion:
        std::fputs(kestrova::VersionText().c_str(), stdout);
        return 0;
    case Action::Refuse:
        std::fputs(kestrova::RefusalText(line).c_str(), stderr);
        return 2;
    case Action::OpenWindow:
        break;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    using Action = kestrova::CommandLine::Action;
    // Questions are answered before the window system is needed, so they work without a
    // display; Qt's own options (-platform, -display, ...) are only known after it starts.
    const kestrova::CommandLine early =
        kestrova::ReadCommandLine(ArgumentsAfterProgram(argc, argv));
    if (early.action == Action::ShowHelp || early.action == Action::ShowVersion)
        return *AnswerOnTerminal(early);

    kestrova::RemoveListedFilesOnExit();
    QApplication application(argc, argv);
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kestrova.Checker"));
    QApplication::setApplicationName(QString::fromUtf8(kestrova::kApplicationTitle));
    QApplication::setApplicationVersion(QString::fromStdString(kestrova::VersionNumbers()));
    // QApplication has taken its own options out of argv.
    const kestrova::CommandLine line = kestrova::ReadCommandLine(ArgumentsAfterProgram(argc, argv));
    if (const std::optional<int> status = AnswerOnTerminal(line))
        return *status;

    kestrova::qt::main window;
    window.show();
    if (!line.projectFile.empty()) {
        // Checked once the window is up, so that a message of the run has its window.
        QTimer::singleShot(0, &window,
                           [&window, file = QByteArray::fromStdString(line.projectFile)] {
                               window.checkProjectFile(file);
                           });
    }
    return application.exec();
}
