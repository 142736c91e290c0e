#pragma once
// Texts made safe for the JSON report and the SVG picture. Layer names come from the XML parser
// and are valid UTF-8, but a path given on the command line may hold any bytes.

#include <string>
#include <string_view>

namespace kestrova {

// The text with every byte sequence that is not well-formed UTF-8 replaced by U+FFFD. Returns
// the text itself, moved, when it is valid already.
std::string ValidUtf8(std::string text);

// Character data or an attribute value for XML 1.0: valid UTF-8, markup characters escaped,
// and characters that XML 1.0 does not allow (control characters other than tab, line feed and
// carriage return; U+FFFE and U+FFFF) replaced by U+FFFD. Written here rather than taken from
// libxml2: its xmlEncodeSpecialChars escapes the markup but passes a control character or a
// byte that is not UTF-8 (from a path given on the command line) through unchanged, and the
// picture would then not be well-formed.
std::string XmlEscaped(std::string_view text);

// At most `limit` characters of valid UTF-8 text, never cutting one in two; a shortened text
// ends with an ellipsis within the limit.
std::string Shortened(std::string_view text, std::size_t limit);

} // namespace kestrova
