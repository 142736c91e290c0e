#pragma once
// The application's title and version, shown by the About dialog and used as the caption of
// every message box. The version numbers are those the build gives the whole project
// (kestrova_version.h); the executable's version resource carries the same.

#include "kestrova_version.h"

#include <cstdint>

namespace kestrova {

inline constexpr const char* kApplicationTitle = "Kestrova Checker";
inline constexpr std::int16_t kVersionMajor{KESTROVA_VERSION_MAJOR};
inline constexpr std::int16_t kVersionMinor{KESTROVA_VERSION_MINOR};
inline constexpr std::int16_t kVersionRevision{KESTROVA_VERSION_PATCH};

} // namespace kestrova
