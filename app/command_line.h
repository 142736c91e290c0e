#pragma once
// The command line of kestrova-checker, the same for every window: an optional project file to
// check at start, or a question answered without opening the window (--help, --version). The
// arguments are the bytes the program was given (UTF-8 on Windows): a file name keeps them,
// whatever its encoding.

#include <string>
#include <vector>

namespace kestrova {

struct CommandLine {
    enum class Action {
        OpenWindow, // show the window, and check projectFile first when there is one
        ShowHelp,
        ShowVersion,
        Refuse, // a mistake on the command line; `problem` says which
    };
    Action action = Action::OpenWindow;
    std::string projectFile; // as given, not decoded
    std::string problem;
};

// Reads the arguments after the program name.
CommandLine ReadCommandLine(const std::vector<std::string>& arguments);

// What --help and --version answer, lines ended by LF.
std::string HelpText();
std::string VersionText();
// What a refused command line is answered with: the problem and where to find help.
std::string RefusalText(const CommandLine& line);

} // namespace kestrova
