#pragma once
// The texts of the timeline picture: how wide they are drawn, fitted into the room they have,
// numbers grouped for reading, messages wrapped into lines.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

// The picture's text size, in pixels.
inline constexpr double kFontPixels = 12;

// How wide a UTF-8 text is drawn, estimated so that it errs on the wide side.
double TextWidth(std::string_view text);

// The text as it fits into `room` pixels: whole, or cut between two characters and ended with
// an ellipsis.
std::string Fitted(std::string_view text, double room);

// "12,345"
std::string Grouped(std::uint64_t number);

// "1 gap", "12,345 gaps"
std::string Counted(std::uint64_t number, const std::string& one, const std::string& many);

// Splits a message into lines at its line breaks and between words, none longer than `limit`
// characters; a word longer than a line is cut between two characters.
std::vector<std::string> MessageLines(const std::string& message, std::size_t limit);

} // namespace kestrova
