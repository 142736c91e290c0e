#include "timefmt/timefmt.h"

#include "text/utf8.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <system_error>

namespace kestrova {
namespace {

constexpr std::int32_t kMillisPerHour = 3'600'000;
constexpr std::int32_t kMillisPerMinute = 60'000;
constexpr std::int32_t kMillisPerSecond = 1'000;

constexpr double kMinMillis = std::numeric_limits<Millis>::min();
constexpr double kMaxMillis = std::numeric_limits<Millis>::max();

// Letter positions are 16-bit values and the text after a letter starts two places further on,
// so the last position a letter may take is 32,765.
constexpr std::size_t kLastLetterPosition = 32'765;

// Longest piece of a time text quoted in a message.
constexpr std::size_t kQuoteLimit = 60;

// The time text quoted for a message, shortened to its first characters when it is long.
std::string Quote(std::string_view text) {
    std::string quoted = "\"";
    if (text.size() <= kQuoteLimit) {
        quoted.append(text);
    } else {
        // Cut on a character boundary so that the message stays readable UTF-8.
        std::size_t cut = kQuoteLimit - 3;
        while (cut > 0 && !text::StartsUtf8Character(text[cut])) {
            --cut;
        }
        quoted.append(text.substr(0, cut));
        quoted.append("...");
    }
    quoted.push_back('"');
    return quoted;
}

[[noreturn]] void ThrowMissingLetter(std::string_view text, char letter) {
    std::string message = "the time text " + Quote(text) + " has no \"" + letter + "\"";
    if (letter == 'm') {
        message += " after the character that follows its \"h\"";
    } else if (letter == 's') {
        message += " after the character that follows its \"m\"";
    }
    throw TimeTextInvalid(message);
}

[[noreturn]] void ThrowLetterTooFar(std::string_view text, char letter) {
    throw TimeOverflow("the time text " + Quote(text) + " has its \"" + letter +
                       "\" too far in (a letter may stand at most 32765 characters into the part "
                       "of the text that is searched)");
}

[[noreturn]] void ThrowOutOfRange(std::string_view text) {
    throw TimeOverflow("the time text " + Quote(text) + " is out of range");
}

// The 16-bit units in text, counting no further than just past limit.
std::size_t CountUnits(std::string_view text, std::size_t limit) {
    std::size_t units = 0;
    std::size_t at = 0;
    while (at < text.size() && units <= limit) {
        if (static_cast<unsigned char>(text[at]) < 0x80) {
            ++at;
            ++units;
        } else {
            // Positions are counted the way a UTF-16 string holds the text.
            const text::Utf8Character c = text::Utf8CharacterAt(text, at);
            at += c.bytes;
            units += c.utf16Units();
        }
    }
    return units;
}

// The characters of a number, gathered on the stack; only an unusually long number (many
// digits or padding zeros) moves to the heap.
class NumberChars {
public:
    void Push(char c) {
        if (!spilled_) {
            if (size_ < sizeof(small_)) {
                small_[size_++] = c;
                return;
            }
            large_.assign(small_, size_);
            spilled_ = true;
        }
        large_.push_back(c);
    }
    const char* Begin() const { return spilled_ ? large_.data() : small_; }
    const char* End() const { return spilled_ ? large_.data() + large_.size() : small_ + size_; }

private:
    char small_[64];
    std::size_t size_ = 0;
    bool spilled_ = false;
    std::string large_;
};

// Blanks, tabs and line feeds may stand anywhere in a field and are passed over.
bool IsPassedOver(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads a field's characters in order, passing over blanks, tabs and line feeds.
class FieldCursor {
public:
    explicit FieldCursor(std::string_view field) : field_(field) {}
    char Peek() {
        while (at_ < field_.size() && IsPassedOver(field_[at_])) {
            ++at_;
        }
        return at_ < field_.size() ? field_[at_] : '\0';
    }
    void Next() { ++at_; }

private:
    std::string_view field_;
    std::size_t at_ = 0;
};

// The usual field is a few plain digits ("05", "004"), read directly.
bool ReadPlainDigits(std::string_view field, double& value) {
    if (field.empty() || field.size() > 9 || !std::all_of(field.begin(), field.end(), IsDigit)) {
        return false;
    }
    std::int32_t digits = 0;
    for (const char digit : field) {
        digits = digits * 10 + (digit - '0');
    }
    value = digits;
    return true;
}

// An optional sign; true for "-".
bool ReadSign(FieldCursor& cursor, NumberChars& number) {
    const char c = cursor.Peek();
    if (c != '+' && c != '-') {
        return false;
    }
    if (c == '-') {
        number.Push('-');
    }
    cursor.Next();
    return c == '-';
}

// The digits and the decimal point, followed along so that a value the double cannot hold can
// be told as too large or too small: the significant integer digits, or else the zeros that
// open the fraction.
struct Mantissa {
    bool hasDigits = false;
    long long integerDigits = 0;
    long long fractionZeros = 0;
};

Mantissa ReadMantissa(FieldCursor& cursor, NumberChars& number) {
    Mantissa read;
    bool hasPoint = false;
    bool hasNonZero = false;
    for (char c = cursor.Peek();; c = cursor.Peek()) {
        if (IsDigit(c)) {
            read.hasDigits = true;
            if (!hasPoint) {
                if (c != '0' || read.integerDigits > 0) {
                    ++read.integerDigits;
                }
            } else if (!hasNonZero && c == '0') {
                ++read.fractionZeros;
            }
            hasNonZero = hasNonZero || c != '0';
        } else if (c == '.' && !hasPoint) {
            hasPoint = true;
        } else {
            return read;
        }
        number.Push(c);
        cursor.Next();
    }
}

// An optional exponent: "e" or "E", an optional sign and at least one digit. Without a digit
// the exponent is no part of the number, which ends before the "e". Gives the exponent's value.
long long ReadExponent(FieldCursor& cursor, NumberChars& number) {
    const char c = cursor.Peek();
    if (c != 'e' && c != 'E') {
        return 0;
    }
    cursor.Next();
    char e = cursor.Peek();
    bool negative = false;
    if (e == '+' || e == '-') {
        negative = e == '-';
        cursor.Next();
        e = cursor.Peek();
    }
    if (!IsDigit(e)) {
        return 0;
    }
    number.Push('e');
    if (negative) {
        number.Push('-');
    }
    constexpr long long kExponentCap = 1'000'000'000;
    long long exponent = 0;
    for (; IsDigit(e); cursor.Next(), e = cursor.Peek()) {
        number.Push(e);
        exponent = std::min(exponent * 10 + (e - '0'), kExponentCap);
    }
    return negative ? -exponent : exponent;
}

// The form FormatTime writes and the editor saves, "1h 02m 03s 004" (plain digits, one blank
// after each letter), read straight into its count: the general reading gives the same count
// for it, after many more steps. Nothing for any other text, or for a count out of range.
std::optional<Millis> ReadWrittenForm(std::string_view text) {
    constexpr std::string_view kAfterHours = "h 00m 00s 000";
    std::size_t hourDigits = 0;
    while (hourDigits < text.size() && hourDigits < 9 && IsDigit(text[hourDigits])) {
        ++hourDigits;
    }
    if (hourDigits == 0 || text.size() != hourDigits + kAfterHours.size()) {
        return std::nullopt;
    }
    std::int64_t hours = 0;
    for (std::size_t i = 0; i < hourDigits; ++i) {
        hours = hours * 10 + (text[i] - '0');
    }
    std::int64_t rest[3] = {}; // minutes, seconds, milliseconds
    std::size_t part = 0;
    for (std::size_t i = 0; i < kAfterHours.size(); ++i) {
        const char c = text[hourDigits + i];
        if (kAfterHours[i] != '0') {
            if (c != kAfterHours[i]) {
                return std::nullopt;
            }
            part += kAfterHours[i] == 'm' || kAfterHours[i] == 's' ? 1 : 0;
        } else if (IsDigit(c)) {
            rest[part] = rest[part] * 10 + (c - '0');
        } else {
            return std::nullopt;
        }
    }
    const std::int64_t total =
        hours * kMillisPerHour + rest[0] * kMillisPerMinute + rest[1] * kMillisPerSecond + rest[2];
    if (total > std::numeric_limits<Millis>::max()) {
        return std::nullopt;
    }
    return static_cast<Millis>(total);
}

// Reads the decimal number at the front of a field; a field without one reads 0. The number is
// an optional sign, digits with at most one decimal point and an optional exponent ("e" or "E",
// an optional sign and at least one digit); reading stops at the first character that cannot
// continue it. A number beyond the double range is an overflow of the time text; one too small
// for a double reads 0.
double ReadFieldNumber(std::string_view field, std::string_view text) {
    double value = 0.0;
    if (ReadPlainDigits(field, value)) {
        return value;
    }
    FieldCursor cursor(field);
    NumberChars number;
    const bool negative = ReadSign(cursor, number);
    const Mantissa mantissa = ReadMantissa(cursor, number);
    if (!mantissa.hasDigits) {
        return 0.0;
    }
    const long long exponent = ReadExponent(cursor, number);
    const auto [end, error] = std::from_chars(number.Begin(), number.End(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Decimal exponent of the leading significant digit.
        const long long magnitude = mantissa.integerDigits > 0
                                        ? mantissa.integerDigits - 1 + exponent
                                        : exponent - mantissa.fractionZeros - 1;
        if (magnitude > 0) {
            ThrowOutOfRange(text);
        }
        return negative ? -0.0 : 0.0;
    }
    return value;
}

// Rounds to the nearest integer, a half to the even neighbour. Independent of the
// floating-point rounding mode.
double RoundHalfEven(double x) {
    const double nearest = std::round(x); // halves away from zero
    if (std::fabs(nearest - x) == 0.5) {
        return 2.0 * std::round(x / 2.0);
    }
    return nearest;
}

// Adds value × factor to the running total in double precision and brings the sum back to a
// millisecond count.
Millis AddToTotal(Millis total, double value, double factor, std::string_view text) {
    const double sum = value * factor + static_cast<double>(total);
    if (!std::isfinite(sum)) {
        ThrowOutOfRange(text);
    }
    const double rounded = RoundHalfEven(sum);
    if (rounded < kMinMillis || rounded > kMaxMillis) {
        ThrowOutOfRange(text);
    }
    return static_cast<Millis>(rounded);
}

} // namespace

Millis ParseTimeText(std::string_view text) {
    if (const std::optional<Millis> written = ReadWrittenForm(text)) {
        return *written;
    }
    struct Field {
        char letter;
        double factor;
    };
    static constexpr Field kFields[] = {
        {'h', kMillisPerHour}, {'m', kMillisPerMinute}, {'s', kMillisPerSecond}};

    // The part of the text still to be read. When the character dropped after a letter lies
    // above U+FFFF only the first of its two 16-bit units is dropped: the second stays in front
    // of the rest as a unit of its own that is neither a digit nor a blank.
    std::string_view rest = text;
    bool halfCharFirst = false;
    Millis total = 0;

    for (const Field& field : kFields) {
        const std::size_t letterAt = rest.find(field.letter);
        if (letterAt == std::string_view::npos) {
            ThrowMissingLetter(text, field.letter);
        }
        const std::size_t position =
            (halfCharFirst ? 1 : 0) + CountUnits(rest.substr(0, letterAt), kLastLetterPosition) + 1;
        if (position > kLastLetterPosition) {
            ThrowLetterTooFar(text, field.letter);
        }

        // A field that opens with the leftover half of a character has no leading number.
        const double value = halfCharFirst ? 0.0 : ReadFieldNumber(rest.substr(0, letterAt), text);
        total = AddToTotal(total, value, field.factor, text);

        // Drop the letter and the one character after it, whatever that is.
        std::size_t next = letterAt + 1;
        halfCharFirst = false;
        if (next < rest.size()) {
            const text::Utf8Character separator = text::Utf8CharacterAt(rest, next);
            next += separator.bytes;
            halfCharFirst = separator.utf16Units() == 2;
        }
        rest.remove_prefix(next);
    }

    const double value = halfCharFirst ? 0.0 : ReadFieldNumber(rest, text);
    return AddToTotal(total, value, 1.0, text);
}

namespace {

struct HoursAndRest {
    std::int32_t hours;
    std::int32_t rest; // 0 <= rest < kMillisPerHour
};

// Floor division, so that the remainder is never negative. Throws TimeOverflow where the hours
// do not fit back into a count.
HoursAndRest SplitHours(Millis count) {
    std::int32_t hours = count / kMillisPerHour;
    std::int32_t rest = count % kMillisPerHour;
    if (rest < 0) {
        --hours;
        rest += kMillisPerHour;
    }
    if (static_cast<std::int64_t>(hours) * kMillisPerHour <
        std::numeric_limits<std::int32_t>::min()) {
        throw TimeOverflow("the time " + std::to_string(count) +
                           " ms is too far before the start of the timeline to be written; the "
                           "earliest time that can be written is -2145600000 ms");
    }
    return {hours, rest};
}

} // namespace

std::size_t TimeTextLength(Millis count) {
    const std::int32_t hours = SplitHours(count).hours;
    std::size_t digits = hours < 0 ? 2 : 1;
    for (std::int32_t left = hours / 10; left != 0; left /= 10)
        ++digits;
    return digits + std::string_view("h 00m 00s 000").size();
}

std::string FormatTime(Millis count) {
    auto [hours, rest] = SplitHours(count);
    const std::int32_t minutes = rest / kMillisPerMinute;
    rest -= minutes * kMillisPerMinute;
    const std::int32_t seconds = rest / kMillisPerSecond;
    rest -= seconds * kMillisPerSecond;

    // Longest text: "-596h 00m 00s 000".
    char buffer[24];
    char* out = std::to_chars(buffer, buffer + 8, hours).ptr;
    auto append = [&out](char c) { *out++ = c; };
    append('h');
    append(' ');
    append(static_cast<char>('0' + minutes / 10));
    append(static_cast<char>('0' + minutes % 10));
    append('m');
    append(' ');
    append(static_cast<char>('0' + seconds / 10));
    append(static_cast<char>('0' + seconds % 10));
    append('s');
    append(' ');
    append(static_cast<char>('0' + rest / 100));
    append(static_cast<char>('0' + rest / 10 % 10));
    append(static_cast<char>('0' + rest % 10));
    return std::string(buffer, out);
}

} // namespace kestrova
