#pragma once
// libxml2's texts (UTF-8 bytes as xmlChar) seen as string views, without a copy.

#include <libxml/xmlstring.h>

#include <cstddef>
#include <string_view>

namespace kestrova {

// A NUL-terminated text; empty for none.
inline std::string_view View(const xmlChar* text) {
    return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text))
                           : std::string_view();
}

inline std::string_view View(const xmlChar* text, int length) {
    return std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
}

} // namespace kestrova
