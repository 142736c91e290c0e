#pragma once
// A compact document parsed from bytes in memory, as the check run parses the working copy.

#include "check/document_parser.h"

#include <string_view>

namespace kestrova {

inline XmlDocument DocumentFromBytes(std::string_view bytes) {
    DocumentParser parser;
    parser.copied(bytes);
    return parser.finish();
}

} // namespace kestrova
