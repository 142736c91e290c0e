#include "cli/picture_text.h"

#include "text/utf8.h"

#include <array>
#include <utility>

namespace kestrova {
namespace {

// How wide a text is drawn, estimated for the picture's 12-pixel font, in 1/2048 of its size:
// for ASCII the advance widths of DejaVu Sans, the widest of the fonts the style names; for
// other characters the width of a whole em (more for pictographs, nothing for combining marks),
// which no letter of those fonts exceeds by much. An estimate errs on the wide side, so that a
// label fitted by it stays clear of the bars.
constexpr std::array<std::uint16_t, 95> kAsciiAdvance = {
    651,  821,  942,  1716, 1303, 1946, 1597, 563,  799,  799,  1024, 1716, 651,  739,  651,  690,
    1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 690,  690,  1716, 1716, 1716, 1087,
    2048, 1401, 1405, 1430, 1577, 1294, 1178, 1587, 1540, 604,  604,  1343, 1141, 1767, 1532, 1612,
    1235, 1612, 1423, 1300, 1251, 1499, 1401, 2025, 1403, 1251, 1403, 799,  690,  799,  1716, 1024,
    1024, 1255, 1300, 1126, 1300, 1260, 721,  1300, 1298, 569,  569,  1186, 569,  1995, 1298, 1253,
    1300, 1300, 842,  1067, 803,  1298, 1212, 1675, 1212, 1212, 1075, 1303, 690,  1303, 1716};
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

double CharacterWidth(char32_t code) {
    if (code >= 0x20 && code <= 0x7E)
        return kAsciiAdvance[code - 0x20] * kFontPixels / 2048;
    if (code >= 0x300 && code <= 0x36F)
        return 0;
    return code >= 0x1F000 ? 1.25 * kFontPixels : kFontPixels;
}

} // namespace

double TextWidth(std::string_view text) {
    double width = 0;
    for (std::size_t at = 0; at < text.size();) {
        const text::Utf8Character character = text::Utf8CharacterAt(text, at);
        width += CharacterWidth(character.code);
        at += character.bytes;
    }
    return width;
}

std::string Fitted(std::string_view text, double room) {
    if (TextWidth(text) <= room)
        return std::string(text);
    double used = TextWidth(kEllipsis);
    std::size_t at = 0;
    while (at < text.size()) {
        const text::Utf8Character character = text::Utf8CharacterAt(text, at);
        if (used + CharacterWidth(character.code) > room)
            break;
        used += CharacterWidth(character.code);
        at += character.bytes;
    }
    return std::string(text.substr(0, at)) + std::string(kEllipsis);
}

std::string Grouped(std::uint64_t number) {
    std::string digits = std::to_string(number);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

std::string Counted(std::uint64_t number, const std::string& one, const std::string& many) {
    return Grouped(number) + " " + (number == 1 ? one : many);
}

std::vector<std::string> MessageLines(const std::string& message, std::size_t limit) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= message.size()) {
        std::size_t end = message.find('\n', start);
        if (end == std::string::npos)
            end = message.size();
        std::string line = message.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        for (std::size_t full; (full = text::Utf8OffsetOfCharacter(line, limit)) < line.size();) {
            std::size_t cut = line.rfind(' ', full);
            if (cut == std::string::npos || cut == 0)
                cut = full;
            lines.push_back(line.substr(0, cut));
            line.erase(0, cut == full ? cut : cut + 1);
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

} // namespace kestrova
