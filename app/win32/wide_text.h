#pragma once
// UTF-8, as the engine and the shell speak it, and UTF-16, as the Windows W functions take it.

#include <string>
#include <string_view>

namespace kestrova::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

} // namespace kestrova::win32
