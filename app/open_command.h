#pragma once
// File > Open, written once for every window: the file is chosen, checked, its message shown and
// its report set into the box.

#include "app/busy_work.h"
#include "app/shell_seams.h"
#include "check/check_result.h"
#include "check/random_source.h"

#include <optional>

namespace kestrova {

// One check run. A cancelled choice changes nothing. The working copy is made in the process's
// current directory, where the Open dialog leaves the chosen file's folder. A project that does
// not parse shows its message while the box holds the report's header; a stopped check shows its
// message with the whole report in the box. The check runs while the window stays painted and
// shows that it is busy. Gives what the check found; nothing on cancel.
std::optional<CheckResult> RunOpenCommand(FileSelection& files, MessageDisplay& messages,
                                          ReportBox& report, RandomSource& random,
                                          BusyWindow& busy);

} // namespace kestrova
