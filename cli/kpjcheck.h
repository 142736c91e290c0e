#pragma once
// kpjcheck: checks project files from the command line, one check run per file, exactly as the
// window's File > Open would with that file chosen.

#include <iosfwd>
#include <string>
#include <vector>

namespace kestrova {

// Exit statuses: the highest one over all files applies.
enum ExitStatus : int {
    kAllClean = 0,   // every report ends with "No errors found"
    kFindings = 1,   // some report holds a warning or a gap line
    kNotChecked = 2, // some file could not be checked, the command line was wrong, or output
                     // (report, message or picture) could not be written
};

// Runs the tool; reports (or JSON objects) go to `out`, messages and usage to `err`. A write to
// either stream that fails makes the exit status 2. Returns the exit status.
int RunKpjcheck(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

} // namespace kestrova
