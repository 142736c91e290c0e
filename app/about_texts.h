#pragma once
// The About dialog's texts, the same for every window toolkit.

#include <string>

namespace kestrova {

// "About Kestrova Checker": the dialog's caption.
std::string AboutCaption();
// "Kestrova Checker": lblTitle.
std::string AboutTitle();
// "Version 1.2.0": lblVersion, from the project's major, minor and revision numbers.
std::string AboutVersion();
// lblDescription: what the program checks.
std::string AboutDescription();

} // namespace kestrova
