#include "cli/text_safety.h"

namespace kestrova {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed UTF-8 sequence at `at`, or 0 when the bytes there do not form one
// (overlong forms, surrogates and values above U+10FFFF included).
std::size_t SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
    };
    const unsigned lead = byte(0);
    const auto continuation = [&](std::size_t i, unsigned low = 0x80, unsigned high = 0xBF) {
        return byte(i) >= low && byte(i) <= high;
    };
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return continuation(1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned high = lead == 0xED ? 0x9F : 0xBF;
        return continuation(1, low, high) && continuation(2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned high = lead == 0xF4 ? 0x8F : 0xBF;
        return continuation(1, low, high) && continuation(2) && continuation(3) ? 4 : 0;
    }
    return 0;
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
            valid += kReplacement;
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
            escaped += kReplacement;
            ++at;
            continue;
        }
        const std::string_view sequence = text.substr(at, length);
        at += length;
        if (!AllowedInXml(sequence))
            escaped += kReplacement;
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
