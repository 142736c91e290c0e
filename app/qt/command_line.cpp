#include "app/qt/command_line.h"

#include "app/app_info.h"

namespace kestrova::app {

CommandLine ReadCommandLine(const QByteArrayList& arguments) {
    CommandLine line;
    bool optionsEnded = false;
    for (const QByteArray& argument : arguments) {
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (argument == "--help" || argument == "-h")) {
            return {CommandLine::Action::ShowHelp, {}, {}};
        } else if (!optionsEnded && argument == "--version") {
            return {CommandLine::Action::ShowVersion, {}, {}};
        } else if (!optionsEnded && argument.startsWith('-') && argument.size() > 1) {
            return {CommandLine::Action::Refuse,
                    {},
                    QStringLiteral("unknown option \"%1\"").arg(QString::fromLocal8Bit(argument))};
        } else if (!line.projectFile.isEmpty()) {
            return {CommandLine::Action::Refuse,
                    {},
                    QStringLiteral("only one project file can be checked at a time")};
        } else {
            line.projectFile = argument;
        }
    }
    return line;
}

QString HelpText() {
    return QStringLiteral(
        "Usage: kestrova-checker [FILE]\n"
        "Checks a Kestrova project file (*.kpj) for gaps in its video layers and for items of\n"
        "zero or negative length, and shows the report in a window.\n"
        "\n"
        "  FILE       the project to check at start, as if chosen with File > Open\n"
        "  --help     show this text and exit\n"
        "  --version  show the version and exit\n");
}

QString VersionText() {
    return QStringLiteral("%1 %2.%3.%4\n")
        .arg(QString::fromUtf8(kApplicationTitle))
        .arg(kVersionMajor)
        .arg(kVersionMinor)
        .arg(kVersionRevision);
}

} // namespace kestrova::app
