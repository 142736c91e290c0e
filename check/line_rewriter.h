#pragma once
// The line-by-line rewrite of a project into its working copy: every line ends with CR LF, and
// the editor's plain declaration becomes one that names ISO-8859-1.

#include "check/working_copy.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

// The project is read, rewritten and written in pieces of this size.
inline constexpr std::size_t kCopyChunkSize = 1 << 20;

// Appends the text with every plain declaration rewritten. Declarations never overlap: each one
// holds a single "<".
inline void AppendRewritten(std::string_view text, std::string& out) {
    for (std::size_t found; (found = text.find(kPlainDeclaration)) != std::string_view::npos;) {
        out.append(text.substr(0, found));
        out += kLatin1Declaration;
        text.remove_prefix(found + kPlainDeclaration.size());
    }
    out.append(text);
}

inline const char* FindByte(const char* from, const char* to, char wanted) {
    const void* found = std::memchr(from, wanted, static_cast<std::size_t>(to - from));
    return found != nullptr ? static_cast<const char*>(found) : to;
}

// How the project's characters are written, as its first four bytes tell (a byte-order mark,
// or the "<?" of its declaration in a wider form).
enum class TextForm {
    Undecided,    // too few bytes read yet
    Bytes,        // one byte a character at least: UTF-8 or ISO-8859-1, as the declaration says
    Utf8WithMark, // UTF-8 whatever the declaration says
    Utf16Little,
    Utf16Big,
    Unreadable, // UTF-32, UCS-4 or EBCDIC
};

struct Detected {
    TextForm form;
    const char* name; // for an unreadable form
};

inline Detected DetectTextForm(std::string_view start) {
    const auto startsWith = [&](std::string_view bytes) { return start.starts_with(bytes); };
    using namespace std::string_view_literals;
    if (startsWith("\0\0\xFE\xFF"sv) || startsWith("\0\0\0<"sv))
        return {TextForm::Unreadable, "UTF-32 (big-endian)"};
    if (startsWith("\xFF\xFE\0\0"sv) || startsWith("<\0\0\0"sv))
        return {TextForm::Unreadable, "UTF-32 (little-endian)"};
    if (startsWith("\0\0\xFF\xFE"sv) || startsWith("\xFE\xFF\0\0"sv) || startsWith("\0\0<\0"sv) ||
        startsWith("\0<\0\0"sv))
        return {TextForm::Unreadable, "UCS-4 with an unusual byte order"};
    if (startsWith("\x4C\x6F\xA7\x94"sv))
        return {TextForm::Unreadable, "EBCDIC"};
    if (startsWith("\xFE\xFF"sv) || startsWith("\0<\0?"sv))
        return {TextForm::Utf16Big, nullptr};
    if (startsWith("\xFF\xFE"sv) || startsWith("<\0?\0"sv))
        return {TextForm::Utf16Little, nullptr};
    if (startsWith("\xEF\xBB\xBF"sv))
        return {TextForm::Utf8WithMark, nullptr};
    return {TextForm::Bytes, nullptr};
}

// Rewrites the project text as it streams through: a line ends at LF, CR LF or a lone CR and is
// written back with CR LF; the plain declaration becomes the ISO-8859-1 one. A line that runs
// on past the end of a chunk is held until its end arrives; a very long one is passed on in
// pieces, holding back only what could still be the start of a declaration.
//
// A byte-order mark settles the encoding, so a file that starts with one keeps its declaration
// as it is. UTF-16 is rewritten in its own code units (the line ends too), so that the parser
// reads it as it reads its UTF-8 twin. Encodings the parser is not given to read (see
// unreadableEncoding()) are passed through unchanged.
class LineRewriter {
public:
    explicit LineRewriter(std::string& out) : out_(out) {}

    void feed(std::string_view bytes) {
        if (form_ == TextForm::Undecided) {
            const std::size_t taken = std::min(bytes.size(), 4 - head_.size());
            head_.append(bytes.substr(0, taken));
            bytes.remove_prefix(taken);
            if (head_.size() < 4)
                return;
            decide();
        }
        feedDecided(bytes);
    }

    // A last line without a line end still gets one.
    void finish() {
        if (form_ == TextForm::Undecided)
            decide();
        if (form_ == TextForm::Utf16Little || form_ == TextForm::Utf16Big) {
            if (oddByte_) {
                out_ += *oddByte_;
                lineOpen_ = true;
            }
            if (lineOpen_)
                appendLineEndUnits();
            return;
        }
        if (form_ == TextForm::Unreadable)
            return;
        if (lineOpen_)
            endLine({});
    }

    // The name of the encoding when the project is written in one the parser is not given to
    // read (UTF-32, UCS-4, EBCDIC); nothing otherwise or while too little has been read.
    const char* unreadableEncoding() const {
        return form_ == TextForm::Unreadable ? unreadableName_ : nullptr;
    }

private:
    void decide() {
        const Detected detected = DetectTextForm(head_);
        form_ = detected.form;
        unreadableName_ = detected.name;
        rewritesDeclarations_ = form_ == TextForm::Bytes;
        std::string head;
        head.swap(head_);
        feedDecided(head);
    }

    void feedDecided(std::string_view bytes) {
        switch (form_) {
        case TextForm::Bytes:
        case TextForm::Utf8WithMark:
            feedBytes(bytes);
            return;
        case TextForm::Utf16Little:
        case TextForm::Utf16Big:
            feedUnits(bytes);
            return;
        default:
            out_.append(bytes);
        }
    }

    // UTF-16: the same line ends, in code units; nothing else is changed.
    void feedUnits(std::string_view bytes) {
        std::size_t at = 0;
        if (oddByte_ && !bytes.empty()) {
            unit(*oddByte_, bytes[0]);
            oddByte_.reset();
            at = 1;
        }
        for (; at + 1 < bytes.size(); at += 2)
            unit(bytes[at], bytes[at + 1]);
        if (at < bytes.size())
            oddByte_ = bytes[at];
    }

    void unit(char first, char second) {
        const bool little = form_ == TextForm::Utf16Little;
        const char low = little ? first : second;
        const bool ascii = (little ? second : first) == '\0';
        const bool lineFeed = ascii && low == '\n';
        if (afterCarriageReturn_) {
            afterCarriageReturn_ = false;
            if (lineFeed)
                return;
        }
        if (ascii && (low == '\r' || lineFeed)) {
            appendLineEndUnits();
            afterCarriageReturn_ = low == '\r';
            lineOpen_ = false;
            return;
        }
        out_ += first;
        out_ += second;
        lineOpen_ = true;
    }

    void appendLineEndUnits() {
        using namespace std::string_view_literals;
        out_ += form_ == TextForm::Utf16Little ? "\r\0\n\0"sv : "\0\r\0\n"sv;
    }

    void feedBytes(std::string_view bytes) {
        const char* at = bytes.data();
        const char* const end = at + bytes.size();
        if (afterCarriageReturn_ && at < end && *at == '\n')
            ++at;
        afterCarriageReturn_ = false;
        const char* lineFeed = nullptr; // the next LF, found once for all the CRs before it
        while (at < end) {
            if (lineFeed == nullptr || lineFeed < at)
                lineFeed = FindByte(at, end, '\n');
            const char* const lineEnd = FindByte(at, lineFeed, '\r');
            if (lineEnd == end) {
                line_.append(at, end);
                lineOpen_ = true;
                break;
            }
            endLine(std::string_view(at, static_cast<std::size_t>(lineEnd - at)));
            at = lineEnd + 1;
            if (*lineEnd == '\r') {
                if (at == end)
                    afterCarriageReturn_ = true;
                else if (*at == '\n')
                    ++at;
            }
        }
        if (line_.size() > kCopyChunkSize)
            passOnHeldText();
    }

    void endLine(std::string_view rest) {
        if (line_.empty()) {
            append(rest);
        } else {
            line_.append(rest);
            append(line_);
            line_.clear();
        }
        out_ += "\r\n";
        lineOpen_ = false;
    }

    void append(std::string_view text) {
        if (rewritesDeclarations_)
            AppendRewritten(text, out_);
        else
            out_.append(text);
    }

    void passOnHeldText() {
        if (!rewritesDeclarations_) {
            out_.append(line_);
            line_.clear();
            return;
        }
        const std::size_t keep = kPlainDeclaration.size() - 1;
        std::string_view held = line_;
        std::size_t done = 0;
        for (std::size_t found;
             (found = held.find(kPlainDeclaration, done)) != std::string_view::npos;
             done = found + kPlainDeclaration.size()) {
            out_.append(held.substr(done, found - done));
            out_ += kLatin1Declaration;
        }
        const std::size_t passed = std::max(done, held.size() - std::min(keep, held.size()));
        out_.append(held.substr(done, passed - done));
        line_.erase(0, passed);
    }

    std::string& out_;
    TextForm form_ = TextForm::Undecided;
    std::string head_; // the first bytes, until the form is known
    const char* unreadableName_ = nullptr;
    bool rewritesDeclarations_ = true;
    std::optional<char> oddByte_; // the first byte of a UTF-16 code unit cut by a chunk's end
    std::string line_;
    bool lineOpen_ = false;
    bool afterCarriageReturn_ = false;
};

} // namespace kestrova
