#pragma once
// Conversions between the time texts of a Kestrova project ("1h 02m 03s 004") and
// millisecond counts from the start of the timeline.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrova {

// Milliseconds from the start of the timeline; every comparison of the check is a signed
// 32-bit comparison, so the type is fixed at 32 bits.
using Millis = std::int32_t;

// A time conversion that gave no count. The two kinds are separate types so that callers can
// tell an unreadable text from one whose value does not fit.
class TimeConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The text lacks the "h", "m" or "s" letter where one is required.
class TimeTextInvalid : public TimeConversionError {
public:
    using TimeConversionError::TimeConversionError;
};

// A value, a running total or a letter position is out of range.
class TimeOverflow : public TimeConversionError {
public:
    using TimeConversionError::TimeConversionError;
};

// Reads a time text (UTF-8) into a millisecond count. Throws TimeTextInvalid or TimeOverflow.
Millis ParseTimeText(std::string_view text);

// Writes the report's time text of a count. Throws TimeOverflow below -2,145,600,000.
std::string FormatTime(Millis count);

// The length of FormatTime's text for the count, without writing it. Throws as FormatTime does.
std::size_t TimeTextLength(Millis count);

} // namespace kestrova
