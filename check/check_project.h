#pragma once
// One check of a project file: the working copy, the document, the layer survey, the item checks
// and the gap scan. It shows nothing and asks nothing; what it found comes back as a value.

#include "check/check_result.h"
#include "check/random_source.h"

#include <string>

namespace kestrova {

// Where the working copy is made: the process's current directory (the window, whose Open
// dialog moves the current directory to the chosen file's folder), or the project file's own
// folder (the command-line tool).
enum class WorkingCopyPlace { CurrentDirectory, ProjectFolder };

struct CheckRequest {
    std::string file; // the project file's path, UTF-8
    WorkingCopyPlace place = WorkingCopyPlace::CurrentDirectory;
    // Keep every item read in the result, for a picture of the timeline.
    bool keepItems = false;
};

// Checks the file. The project file is only read; the working copy is removed on every way out.
// A check that cannot go on comes back Stopped, with what it found before; it throws only
// std::bad_alloc, when memory is too short even to say why it stopped.
CheckResult CheckProject(const CheckRequest& request, RandomSource& random);

} // namespace kestrova
