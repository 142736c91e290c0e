#include "cli/text_safety.h"

#include "text/utf8.h"

namespace kestrova {
namespace {

using text::kReplacementUtf8;

// Length of the well-formed UTF-8 sequence at `at`, or 0 when the bytes there do not form one.
// Each byte of a malformed sequence is replaced on its own, so that no byte of a path given on
// the command line goes unseen.
std::size_t SequenceLength(std::string_view text, std::size_t at) {
    const text::Utf8Character character = text::Utf8CharacterAt(text, at);
    return character.wellFormed ? character.bytes : 0;
}

bool AllowedInXml(std::string_view sequence) {
    if (sequence.size() == 1) {
        const char c = sequence[0];
        return static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r';
    }
    return sequence != "\xEF\xBF\xBE" && sequence != "\xEF\xBF\xBF";
}

} // namespace

std::string ValidUtf8(std::string text) {
    std::size_t at = 0;
    while (at < text.size() && SequenceLength(text, at) != 0)
        at += SequenceLength(text, at);
    if (at == text.size())
        return text;
    std::string valid = text.substr(0, at);
    while (at < text.size()) {
        const std::size_t length = SequenceLength(text, at);
        if (length == 0) {
            valid += kReplacementUtf8;
            ++at;
        } else {
            valid.append(text, at, length);
            at += length;
        }
    }
    return valid;
}

std::string XmlEscaped(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = SequenceLength(text, at);
        if (length == 0) {
            escaped += kReplacementUtf8;
            ++at;
            continue;
        }
        const std::string_view sequence = text.substr(at, length);
        at += length;
        if (!AllowedInXml(sequence))
            escaped += kReplacementUtf8;
        else if (sequence == "&")
            escaped += "&amp;";
        else if (sequence == "<")
            escaped += "&lt;";
        else if (sequence == ">")
            escaped += "&gt;";
        else if (sequence == "\"")
            escaped += "&quot;";
        else if (sequence == "'")
            escaped += "&apos;";
        else
            escaped += sequence;
    }
    return escaped;
}

std::string Shortened(std::string_view text, std::size_t limit) {
    std::size_t characters = 0;
    std::size_t cut = 0; // byte offset after `limit - 1` characters
    for (std::size_t at = 0; at < text.size(); ++characters) {
        if (characters == limit)
            return std::string(text.substr(0, cut)) + "\xE2\x80\xA6";
        if (characters + 1 == limit)
            cut = at;
        const std::size_t length = SequenceLength(text, at);
        at += length == 0 ? 1 : length;
    }
    return std::string(text);
}

} // namespace kestrova
