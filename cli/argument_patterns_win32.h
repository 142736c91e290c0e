#pragma once
// The Command Prompt hands "*" and "?" on to the program unexpanded; Windows console programs
// expand them themselves. kpjcheck does the same with its file arguments.

#include <string>
#include <vector>

namespace kestrova::win32 {

// Every file argument (UTF-8) holding "*" or "?" in its last part is replaced by the names of
// that folder matching it, "." and ".." left out, in the order of their names with letter
// case ignored, each behind the folder part as given. A pattern that matches nothing stays as
// it is, so that it is reported as the file it names. Options, and the picture's name after
// --svg, are left as they are.
std::vector<std::string> ExpandArgumentPatterns(const std::vector<std::string>& arguments);

} // namespace kestrova::win32
