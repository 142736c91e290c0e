#pragma once
// The application's title and version, shown by the About dialog and used as the caption of
// every message box. The executable's version resource (app/kestrova-checker.rc) carries the
// same numbers.

#include <cstdint>

namespace kestrova {

inline constexpr const char* kApplicationTitle = "Kestrova Checker";
inline constexpr std::int16_t kVersionMajor = 1;
inline constexpr std::int16_t kVersionMinor = 2;
inline constexpr std::int16_t kVersionRevision = 0;

} // namespace kestrova
