#include "text/utf8.h"

namespace kestrova::text {

Utf8Character Utf8CharacterAt(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80)
        return {1, lead, true};
    std::size_t length = 0;
    unsigned char low = 0x80; // the allowed range of the second byte
    unsigned char high = 0xBF;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no encoded surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;  // no overlong forms
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return {1, kReplacementCharacter, false};
    }
    std::size_t taken = 1;
    for (; taken < length && at + taken < text.size(); ++taken) {
        const auto next = static_cast<unsigned char>(text[at + taken]);
        if (next < low || next > high)
            break;
        code = code << 6 | (next & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    if (taken < length)
        return {taken, kReplacementCharacter, false, at + taken == text.size()};
    return {length, code, true};
}

std::size_t Utf8OffsetOfCharacter(std::string_view text, std::size_t count) {
    std::size_t at = 0;
    for (; at < text.size() && count > 0; --count)
        at += Utf8CharacterAt(text, at).bytes;
    return at;
}

std::size_t Utf8UnfinishedTail(std::string_view text) {
    constexpr std::size_t kLongestUnfinished = 3; // a four-byte character less its last byte
    for (std::size_t back = 1; back <= kLongestUnfinished && back <= text.size(); ++back) {
        const std::size_t at = text.size() - back;
        if (StartsUtf8Character(text[at]))
            return Utf8CharacterAt(text, at).cutByEnd ? back : 0;
    }
    return 0;
}

} // namespace kestrova::text
