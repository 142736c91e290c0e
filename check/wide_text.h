#pragma once
// UTF-8, as the engine and the shell speak it, and UTF-16, as the Windows W functions take it.
// This is the one conversion between the two on Windows: every path made from text, every text
// shown in a window or written to a console, passes through it, in both programs.

#include <string>
#include <string_view>

namespace kestrova::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

} // namespace kestrova::win32
