#pragma once
// The command line of kestrova-checker: an optional project file to check at start, or a
// question answered on the terminal (--help, --version).

#include <QString>
#include <QStringList>

namespace kestrova::app {

struct CommandLine {
    enum class Action {
        OpenWindow, // show the window, and check projectFile first when there is one
        ShowHelp,
        ShowVersion,
        Refuse, // a mistake on the command line; `problem` says which
    };
    Action action = Action::OpenWindow;
    QString projectFile;
    QString problem;
};

// Reads the arguments after the program name.
CommandLine ReadCommandLine(const QStringList& arguments);

QString HelpText();
QString VersionText();

} // namespace kestrova::app
