#pragma once
// The XML parser's verdict on a document: the compact document keeps it, and a check whose
// document does not parse hands it on in its result.

#include <string>

namespace kestrova {

struct ParseError {
    int errorCode = 0;  // 0 when the document parsed
    std::string reason; // the parser's own words, without a trailing line end
    long line = 0;      // the line in which the fault lies
};

} // namespace kestrova
