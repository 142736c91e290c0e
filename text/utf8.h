#pragma once
// Walking UTF-8 text one character at a time. Names, paths and time texts reach the checker as
// UTF-8 bytes; a path given on a command line may hold bytes that are not UTF-8 at all, so every
// walk says where a malformed sequence is and how far it reaches.

#include <cstddef>
#include <string_view>

namespace kestrova::text {

struct Utf8Character {
    std::size_t bytes = 1; // how many bytes the character (or the malformed sequence) takes
    char32_t code = 0;     // the character; U+FFFD for a malformed sequence
    bool wellFormed = true;
    // Malformed only because the text ends: every byte there fits a well-formed sequence that
    // needs more bytes.
    bool cutByEnd = false;

    // The 16-bit units the character takes in UTF-16: 2 above U+FFFF. A malformed sequence
    // counts 1, as the replacement character a decoder puts there.
    std::size_t utf16Units() const { return code > 0xFFFF ? 2 : 1; }
};

inline constexpr char32_t kReplacementCharacter = 0xFFFD;
inline constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

// The character at byte `at` (< text.size()). A well-formed sequence is decoded whole; overlong
// forms, encoded surrogates and values above U+10FFFF are malformed. A malformed sequence takes
// its lead byte and the continuation bytes that still fit a well-formed sequence (the maximal
// subpart, as decoders replace it with one U+FFFD).
Utf8Character Utf8CharacterAt(std::string_view text, std::size_t at);

// A byte that begins a character rather than continuing one.
inline bool StartsUtf8Character(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
}

// How many bytes at the end of the text start a character that the text ends inside of: bytes
// that more text may still finish, so a writer that meets the text in pieces holds them back.
// 0 when the text ends with a whole character or with bytes no later byte can make well-formed.
std::size_t Utf8UnfinishedTail(std::string_view text);

// The byte offset just past the first `count` characters, or text.size().
std::size_t Utf8OffsetOfCharacter(std::string_view text, std::size_t count);

} // namespace kestrova::text
