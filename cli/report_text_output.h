#pragma once
// The report text as a terminal or a file on this system expects it.

#include <iosfwd>
#include <string_view>

namespace kestrova {

// Writes report text with its CR LF line breaks as line feeds, piece by piece, without a second
// copy of it.
void WriteWithNewlines(std::ostream& out, std::string_view text);

} // namespace kestrova
