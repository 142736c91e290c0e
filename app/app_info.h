#pragma once
// The application's title and version, shown by the About dialog and used as the caption of
// every message box, and the texts every window shows the same: the main window's caption and
// the Open dialog's file filter. The version numbers are those the build gives the whole
// project (kestrova_version.h); the executable's version resource carries the same.

#include "kestrova_version.h"

#include <cstdint>
#include <string>

namespace kestrova {

inline constexpr const char* kApplicationTitle = "Kestrova Checker";
inline constexpr std::int16_t kVersionMajor{KESTROVA_VERSION_MAJOR};
inline constexpr std::int16_t kVersionMinor{KESTROVA_VERSION_MINOR};
inline constexpr std::int16_t kVersionRevision{KESTROVA_VERSION_PATCH};

// "1.2.0": major, minor and revision.
inline std::string VersionNumbers() {
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision);
}

inline constexpr const char* kMainWindowCaption = "Kestrova Timeline Checker";

// The Open dialog's one filter: the name of the kind of file, and its pattern.
inline constexpr const char* kProjectFileKind = "Kestrova 4 Project file";
inline constexpr const char* kProjectFilePattern = "*.kpj";

} // namespace kestrova
