// The one UTF-8 walk every text of the checker goes through: well-formed characters decoded
// whole, malformed sequences taken as far as they could still have been well-formed.

#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrova::text {
namespace {

struct Walk {
    const char* name;
    std::string bytes;
    std::size_t length;
    char32_t code;
    bool wellFormed;
    std::size_t utf16Units;
};

class Utf8Walk : public testing::TestWithParam<Walk> {};

TEST_P(Utf8Walk, TakesTheFirstCharacterOrMalformedSequence) {
    const Walk& walk = GetParam();
    const Utf8Character character = Utf8CharacterAt(walk.bytes, 0);
    EXPECT_EQ(character.bytes, walk.length);
    EXPECT_EQ(character.code, walk.code);
    EXPECT_EQ(character.wellFormed, walk.wellFormed);
    EXPECT_EQ(character.utf16Units(), walk.utf16Units);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, Utf8Walk,
    testing::Values(Walk{"ascii", "hx", 1, U'h', true, 1},
                    Walk{"two_bytes", "\xC3\xA9x", 2, U'\u00E9', true, 1},
                    Walk{"three_bytes", "\xE2\x80\xA6", 3, U'\u2026', true, 1},
                    Walk{"four_bytes", "\xF0\x9F\x8E\xAC", 4, U'\U0001F3AC', true, 2},
                    Walk{"highest", "\xF4\x8F\xBF\xBF", 4, U'\U0010FFFF', true, 2},
                    Walk{"overlong_two", "\xC0\xAF", 1, 0xFFFD, false, 1},
                    Walk{"overlong_three", "\xE0\x80\xAF", 1, 0xFFFD, false, 1},
                    Walk{"surrogate", "\xED\xA0\x80", 1, 0xFFFD, false, 1},
                    Walk{"above_highest", "\xF4\x90\x80\x80", 1, 0xFFFD, false, 1},
                    Walk{"no_lead_byte_f5", "\xF5\x80", 1, 0xFFFD, false, 1},
                    Walk{"stray_continuation", "\x80x", 1, 0xFFFD, false, 1},
                    Walk{"cut_by_other_byte", "\xE2\x82x", 2, 0xFFFD, false, 1},
                    Walk{"cut_by_the_end", "\xF0\x9F\x8E", 3, 0xFFFD, false, 1},
                    Walk{"latin1_letter", "Caf\xE9", 1, U'C', true, 1}),
    [](const testing::TestParamInfo<Walk>& info) { return std::string(info.param.name); });

TEST(Utf8Offset, CountsCharactersNotBytes) {
    const std::string text = "a\xC3\xA9\xE2\x80\xA6\xF0\x9F\x8E\xAC\xE2\x82z";
    const std::size_t expected[] = {0, 1, 3, 6, 10, 12, 13, 13};
    for (std::size_t count = 0; count < std::size(expected); ++count)
        EXPECT_EQ(Utf8OffsetOfCharacter(text, count), expected[count]) << count;
}

TEST(Utf8UnfinishedTail, HoldsBackOnlyAStartThatMoreBytesCanFinish) {
    const struct {
        std::string text;
        std::size_t held;
    } rows[] = {
        {"", 0},
        {"abc", 0},
        {"a\xC3\xA9", 0},
        {"a\xC3", 1},
        {"a\xE2\x80", 2},
        {"\xF0\x9F\x8E", 3},
        {"\xF0\x9F\x8E\xAC", 0},
        {"a\xC0", 0},     // no character starts so
        {"a\xE0\x80", 0}, // overlong whatever follows
        {"a\x80", 0},     // a stray continuation byte
        {"\xE2\x82x", 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Utf8UnfinishedTail(row.text), row.held) << testing::PrintToString(row.text);
}

} // namespace
} // namespace kestrova::text
