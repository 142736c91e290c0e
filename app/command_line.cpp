#include "app/command_line.h"

#include "app/app_info.h"

namespace kestrova {

CommandLine ReadCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        const bool option = !optionsEnded && argument.size() > 1 && argument.front() == '-';
        if (option && argument == "--") {
            optionsEnded = true;
        } else if (option && (argument == "--help" || argument == "-h")) {
            return {CommandLine::Action::ShowHelp, {}, {}};
        } else if (option && argument == "--version") {
            return {CommandLine::Action::ShowVersion, {}, {}};
        } else if (option) {
            return {CommandLine::Action::Refuse, {}, "unknown option \"" + argument + "\""};
        } else if (!line.projectFile.empty()) {
            return {
                CommandLine::Action::Refuse, {}, "only one project file can be checked at a time"};
        } else {
            line.projectFile = argument;
        }
    }
    return line;
}

std::string HelpText() {
    return "Usage: kestrova-checker [FILE]\n"
           "Checks a Kestrova project file (*.kpj) for gaps in its video layers and for items of\n"
           "zero or negative length, and shows the report in a window.\n"
           "\n"
           "  FILE       the project to check at start, as if chosen with File > Open\n"
           "  --help     show this text and exit\n"
           "  --version  show the version and exit\n";
}

std::string VersionText() {
    return std::string(kApplicationTitle) + " " + VersionNumbers() + "\n";
}

std::string RefusalText(const CommandLine& line) {
    return "kestrova-checker: " + line.problem + "\nTry \"kestrova-checker --help\".\n";
}

} // namespace kestrova
