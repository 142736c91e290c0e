#pragma once
// The command line of kestrova-checker: an optional project file to check at start, or a
// question answered on the terminal (--help, --version). The arguments are the bytes the
// program was given: a file name keeps them, whatever its encoding.

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

namespace kestrova::app {

struct CommandLine {
    enum class Action {
        OpenWindow, // show the window, and check projectFile first when there is one
        ShowHelp,
        ShowVersion,
        Refuse, // a mistake on the command line; `problem` says which
    };
    Action action = Action::OpenWindow;
    QByteArray projectFile; // as given, not decoded
    QString problem;
};

// Reads the arguments after the program name.
CommandLine ReadCommandLine(const QByteArrayList& arguments);

QString HelpText();
QString VersionText();

} // namespace kestrova::app
