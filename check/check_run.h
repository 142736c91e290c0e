#pragma once
// One check run: from the file selection to the last report line.

#include "check/check_observer.h"
#include "check/platform.h"

#include <string>

namespace kestrova {

enum class CheckStatus {
    Cancelled,   // the user cancelled the file selection; nothing changed
    NoErrors,    // the report ends with "No errors found"
    ErrorsFound, // the report holds at least one warning or gap line
    NotParsed,   // the project is not well-formed XML; the message box told the user
    Stopped,     // the run could not go on; the report ends with "Check stopped: "
};

struct CheckOutcome {
    CheckStatus status = CheckStatus::Cancelled;
    // For NotParsed and Stopped: what the message box said. Empty otherwise.
    std::string description;

    bool checked() const {
        return status == CheckStatus::NoErrors || status == CheckStatus::ErrorsFound;
    }
};

// Where the working copy is made: the process's current directory (the window, whose Open
// dialog moves the current directory to the chosen file's folder), or the project file's own
// folder (the command-line tool).
enum class WorkingCopyPlace { CurrentDirectory, ProjectFolder };

struct CheckPorts {
    FileSelection& files;
    MessageDisplay& messages;
    ReportBox& report;
    RandomSource& random;
    WorkingCopyPlace place = WorkingCopyPlace::CurrentDirectory;
    // Told of the findings as they are made; the report is the same with or without one.
    CheckObserver* observer = nullptr;
};

// Runs one check. The report box shows the report as far as it has got whenever a message is
// shown and when the run ends; the project file is only read; the working copy is removed on
// every way out.
CheckOutcome RunCheck(CheckPorts ports);

} // namespace kestrova
