#pragma once
// File > Open, written once for every window: the file is chosen, checked, its message shown and
// its report set into the box.

#include "app/busy_work.h"
#include "app/shell_seams.h"
#include "check/check_result.h"
#include "check/random_source.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrova {

// One check run. A cancelled choice changes nothing. The working copy is made in the process's
// current directory, where the Open dialog leaves the chosen file's folder. A project that does
// not parse shows its message while the box holds the report's header; a stopped check shows its
// message with the whole report in the box. The check runs while the window stays painted and
// shows that it is busy. Gives what the check found; nothing on cancel.
std::optional<CheckResult> RunOpenCommand(FileSelection& files, MessageDisplay& messages,
                                          ReportBox& report, RandomSource& random,
                                          BusyWindow& busy);

// One check run of a project file named outside the Open dialog (on the command line, or by
// dropping it on the window), as File > Open runs one chosen in the dialog: the file is taken as
// the dialog takes a choice (TakeProjectFile), and the dialog offers it next time.
CheckResult RunOpenCommand(const std::string& file, FileSelection& files, MessageDisplay& messages,
                           ReportBox& report, RandomSource& random, BusyWindow& busy);

// Of the files dropped on a window (their paths, UTF-8 or the file system's bytes), the project
// to check: the one file of a drop that carries exactly one, named *.kpj in any letter case.
// Any other drop is refused, and nothing is checked.
std::optional<std::string> DroppedProjectFile(const std::vector<std::string>& files);

// A project file (UTF-8, or the file system's bytes) as the Open dialog gives a choice: its
// full path. The process's current directory moves to its folder, where the working copy is
// made; it stays where it was when the folder cannot be entered.
std::string TakeProjectFile(const std::string& file);

} // namespace kestrova
