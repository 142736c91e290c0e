#include "timefmt/timefmt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace kestrova {
namespace {

constexpr Millis kMin = std::numeric_limits<Millis>::min();
constexpr Millis kMax = std::numeric_limits<Millis>::max();
constexpr Millis kEarliestWritable = -2'145'600'000;

struct Sample {
    std::string text;
    Millis count;
};

// Names a table row by its text, with control and non-ASCII bytes escaped and a long text
// shortened, followed by its count.
void PrintTo(const Sample& s, std::ostream* os) {
    constexpr std::size_t kShown = 24;
    *os << '"';
    for (std::size_t i = 0; i < s.text.size() && i < kShown; ++i) {
        const auto c = static_cast<unsigned char>(s.text[i]);
        if (c >= 0x20 && c < 0x7F) {
            *os << static_cast<char>(c);
        } else {
            constexpr char kHex[] = "0123456789ABCDEF";
            *os << "\\x" << kHex[c >> 4] << kHex[c & 0xF];
        }
    }
    *os << (s.text.size() > kShown ? "...\" " : "\" ") << s.count;
}

// ---------------------------------------------------------------------------------------------
// FormatTime

class FormatTimeWrites : public testing::TestWithParam<Sample> {};

TEST_P(FormatTimeWrites, TheReportText) {
    EXPECT_EQ(FormatTime(GetParam().count), GetParam().text);
    EXPECT_EQ(TimeTextLength(GetParam().count), GetParam().text.size());
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, FormatTimeWrites,
    testing::Values(Sample{"0h 00m 00s 000", 0}, Sample{"0h 00m 00s 005", 5},
                    Sample{"0h 00m 00s 050", 50}, Sample{"0h 00m 00s 999", 999},
                    Sample{"0h 00m 01s 000", 1'000}, Sample{"0h 01m 01s 001", 61'001},
                    Sample{"0h 10m 00s 000", 600'000}, Sample{"0h 59m 59s 999", 3'599'999},
                    Sample{"1h 00m 00s 000", 3'600'000}, Sample{"1h 02m 03s 004", 3'723'004},
                    Sample{"10h 00m 00s 000", 36'000'000},
                    Sample{"596h 31m 23s 647", 2'147'483'647}, Sample{"-1h 59m 59s 999", -1},
                    Sample{"-1h 00m 00s 000", -3'600'000}, Sample{"-2h 59m 59s 999", -3'600'001},
                    Sample{"-596h 00m 00s 000", kEarliestWritable},
                    Sample{"-596h 59m 59s 999", kEarliestWritable + 3'599'999}));

TEST(FormatTime, FailsWhenTheHourCountWouldBeMinus597) {
    EXPECT_THROW(FormatTime(kEarliestWritable - 1), TimeOverflow);
    EXPECT_THROW(FormatTime(-2'147'000'000), TimeOverflow);
    EXPECT_THROW(FormatTime(kMin), TimeOverflow);
    EXPECT_THROW(TimeTextLength(kEarliestWritable - 1), TimeOverflow);
}

TEST(FormatTime, OverflowMessageNamesTheCount) {
    try {
        FormatTime(kMin);
        FAIL() << "no failure";
    } catch (const TimeConversionError& e) {
        EXPECT_NE(std::string(e.what()).find("-2147483648"), std::string::npos) << e.what();
    }
}

// ---------------------------------------------------------------------------------------------
// ParseTimeText: well-formed and lenient texts

class ParseTimeTextReads : public testing::TestWithParam<Sample> {};

TEST_P(ParseTimeTextReads, TheCount) {
    EXPECT_EQ(ParseTimeText(GetParam().text), GetParam().count);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, ParseTimeTextReads,
    testing::Values(Sample{"0h 00m 05s 000", 5'000}, Sample{"1h 02m 03s 004", 3'723'004},
                    Sample{"-1h 59m 59s 999", -1}, Sample{"0h 00m 00s 000", 0},
                    Sample{"596h 31m 23s 647", kMax},
                    Sample{"-596h 00m 00s 000", kEarliestWritable},
                    // The character after each letter is dropped, whatever it is.
                    Sample{"1h2m3s4", 3'600'000}, Sample{"1hx02mx03sx004", 3'723'004},
                    Sample{"1h\t00m 00s 007", 3'600'007},
                    // Near the form FormatTime writes: padded hours, a longer field.
                    Sample{"007h 00m 00s 000", 25'200'000}, Sample{"1h 00m 00s 0001", 3'600'001},
                    // Fields are not range-checked and may be fractions.
                    Sample{"0h 90m 00s 000", 5'400'000}, Sample{"1.5h 00m 00s 000", 5'400'000},
                    Sample{"0h 00m 00s 0.5", 0}, Sample{"0h 00m 00s 1.5", 2},
                    Sample{"0h 00m 00s 2.5", 2}, Sample{"0h 00m 00s 3.5", 4},
                    Sample{"0h 00m 00s -2.5", -2}, Sample{"0h 00m 00s 1,5", 1},
                    // Fields without numbers read 0.
                    Sample{"xh ym zs w", 0}, Sample{"h m s ", 0},
                    // A fraction is rounded where it arises, not at the end.
                    Sample{"0h 00m 0.0005s 0.5", 0}, Sample{"0h 00m 0.0025s 0.5", 2},
                    // Letters are found from the front of what is left.
                    Sample{"1h 2s 3m 4s 5", 3'724'005}, Sample{"1h 2m 3s 4 h m s", 3'723'004},
                    // Negative fields reach the lowest count, which FormatTime cannot write.
                    Sample{"-596h -31m -23s -648", kMin}));

// Lenient number reading, seen through the seconds field (factor 1,000).
class LenientNumberReading : public testing::TestWithParam<Sample> {};

TEST_P(LenientNumberReading, ReadsTheLeadingDecimalNumber) {
    EXPECT_EQ(ParseTimeText("0h 00m " + GetParam().text + "s 000"), GetParam().count)
        << "field \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Fields, LenientNumberReading,
    testing::Values(Sample{"05", 5'000}, Sample{" 1 2", 12'000}, Sample{"1,5", 1'000},
                    Sample{"x", 0}, Sample{"", 0}, Sample{"+7", 7'000}, Sample{"-7", -7'000},
                    Sample{"- 7", -7'000}, Sample{"\t1\n2 ", 12'000}, Sample{"1\r2", 1'000},
                    Sample{"\r12", 0}, Sample{".", 0}, Sample{"-", 0}, Sample{"+", 0},
                    Sample{"-.", 0}, Sample{"+-1", 0}, Sample{"--1", 0}, Sample{".5", 500},
                    Sample{"5.", 5'000}, Sample{"-.25", -250}, Sample{"1.2.3", 1'200},
                    Sample{"1e3", 1'000'000}, Sample{"1E3", 1'000'000}, Sample{"2e-3", 2},
                    Sample{"25e+1", 250'000}, Sample{"1 e 2", 100'000}, Sample{"1e", 1'000},
                    Sample{"1e+", 1'000}, Sample{"1ex", 1'000}, Sample{"1e-x", 1'000},
                    Sample{".e3", 0}, Sample{"1e3.5", 1'000'000}, Sample{"1e-999", 0},
                    Sample{"-1e-999", 0}, Sample{"1d3", 1'000}, Sample{"0x10", 0}, Sample{"inf", 0},
                    Sample{"nan", 0}, Sample{"infinity", 0}, Sample{"\xD9\xA1\xD9\xA2", 0},
                    Sample{std::string(100, '0') + "42", 42'000},
                    Sample{"0." + std::string(100, '0') + "1e101", 1'000},
                    Sample{"4" + std::string(300, '0') + "e-300", 4'000}));

TEST(ParseTimeText, StopsAtTheEndOfTheGivenView) {
    const std::string whole = "0h 00m 05s 0001";
    EXPECT_EQ(ParseTimeText(std::string_view(whole).substr(0, 14)), 5'000);
    EXPECT_THROW(ParseTimeText(std::string_view(whole).substr(0, 9)), TimeTextInvalid);
}

// ---------------------------------------------------------------------------------------------
// ParseTimeText: characters beyond ASCII. Positions count 16-bit units: a character above
// U+FFFF counts 2, and only its first unit is dropped after a letter.

const std::string kEAcute = "\xC3\xA9";           // U+00E9, two bytes, one unit
const std::string kEuro = "\xE2\x82\xAC";         // U+20AC, three bytes, one unit
const std::string kGrinning = "\xF0\x9F\x98\x80"; // U+1F600, four bytes, two units

TEST(ParseTimeTextBeyondAscii, DropsAWholeCharacterAfterALetter) {
    EXPECT_EQ(ParseTimeText("1h" + kEAcute + "02m" + kEuro + "03s" + kEAcute + "004"), 3'723'004);
    EXPECT_EQ(ParseTimeText("1h\xFF"
                            "02m 03s 004"),
              3'723'004); // stray byte
    EXPECT_EQ(ParseTimeText("1h\xE2\x82"
                            "02m 03s 004"),
              3'723'004); // cut-off sequence
}

TEST(ParseTimeTextBeyondAscii, LeavesTheSecondHalfOfAFourByteSeparator) {
    // The leftover half opens the next field, which then reads 0.
    EXPECT_EQ(ParseTimeText("1h" + kGrinning + "02m 03s 004"), 3'603'004);
    EXPECT_EQ(ParseTimeText("1h 02m 03s" + kGrinning + "004"), 3'723'000);
    // Here the leftover half is the whole minutes field.
    EXPECT_EQ(ParseTimeText("1h" + kGrinning + "m" + "X03s 004"), 3'603'004);
}

TEST(ParseTimeTextBeyondAscii, NonAsciiCharactersEndANumber) {
    EXPECT_EQ(ParseTimeText("1" + kEuro + "5h 00m 00s 000"), 3'600'000);
    EXPECT_EQ(ParseTimeText(kGrinning + "h 00m 00s 000"), 0);
}

// ---------------------------------------------------------------------------------------------
// ParseTimeText: failures

class ParseTimeTextRejects : public testing::TestWithParam<std::string> {};

TEST_P(ParseTimeTextRejects, ATextWithoutItsLetters) {
    EXPECT_THROW(ParseTimeText(GetParam()), TimeTextInvalid);
}

INSTANTIATE_TEST_SUITE_P(MissingLetter, ParseTimeTextRejects,
                         testing::Values("", "0H 00m 05s 000", "0h 00m 05", "0h 00M 05s 000",
                                         "0h 00m 05S 000", "1 02m 03s 004", "1hm 03s 004",
                                         "1h 02ms 004", "hms", "0H 00M 05S 000", "12:34:56.789"));

TEST(ParseTimeText, InvalidMessageNamesTheTextAndTheLetter) {
    try {
        ParseTimeText("0H 00m 05s 000");
        FAIL() << "no failure";
    } catch (const TimeTextInvalid& e) {
        EXPECT_STREQ(e.what(), "the time text \"0H 00m 05s 000\" has no \"h\"");
    }
}

TEST(ParseTimeText, MessageShortensALongText) {
    try {
        ParseTimeText(std::string(500, '7') + "h 00m 00s 000");
        FAIL() << "no failure";
    } catch (const TimeOverflow& e) {
        const std::string message = e.what();
        EXPECT_LT(message.size(), 120u) << message;
        EXPECT_NE(message.find("7777...\""), std::string::npos) << message;
    }
}

TEST(ParseTimeText, FailsWhenTheTotalLeavesTheRange) {
    EXPECT_THROW(ParseTimeText("596h 31m 23s 648"), TimeOverflow);
    EXPECT_THROW(ParseTimeText("-596h -31m -23s -649"), TimeOverflow);
    EXPECT_THROW(ParseTimeText("597h 00m 00s 000"), TimeOverflow);
    EXPECT_THROW(ParseTimeText("-597h 00m 00s 000"), TimeOverflow);
    EXPECT_THROW(ParseTimeText("0h 00m 00s 2147483647.5"), TimeOverflow); // even neighbour 2^31
    EXPECT_EQ(ParseTimeText("0h 00m 00s 2147483646.5"), 2'147'483'646);
    // Out of range after the hours even though later fields would bring it back.
    EXPECT_THROW(ParseTimeText("600h -3600m 00s 000"), TimeOverflow);
}

TEST(ParseTimeText, FailsOnAFieldBeyondTheDoubleRange) {
    EXPECT_THROW(ParseTimeText("1e999h 00m 00s 000"), TimeOverflow);
    EXPECT_THROW(ParseTimeText("0h 00m 00s -1e999"), TimeOverflow);
    EXPECT_THROW(ParseTimeText("0h 00m 00s " + std::string(400, '9')), TimeOverflow);
    EXPECT_THROW(ParseTimeText("1e308h 00m 00s 000"), TimeOverflow); // product not finite
}

// A letter may stand at most at position 32,765 of the part of the text that is searched.
TEST(ParseTimeText, LetterPositionLimit) {
    const std::string tail = "h 00m 00s 000";
    EXPECT_EQ(ParseTimeText(std::string(32'764, '0') + tail), 0);
    EXPECT_THROW(ParseTimeText(std::string(32'765, '0') + tail), TimeOverflow);

    // Counted from the start of the searched part, not of the whole text.
    const std::string field(32'764, '0');
    EXPECT_EQ(ParseTimeText("1h " + field + "m " + field + "s " + field), 3'600'000);
    EXPECT_THROW(ParseTimeText("1h " + field + "0m 00s 000"), TimeOverflow);
    EXPECT_THROW(ParseTimeText("1h 00m " + field + "0s 000"), TimeOverflow);
    // The millisecond field has no letter and no limit.
    EXPECT_EQ(ParseTimeText("0h 00m 00s " + std::string(100'000, '0') + "7"), 7);
}

TEST(ParseTimeText, LetterPositionCountsSixteenBitUnits) {
    const std::string tail = "h 00m 00s 000";
    std::string twoByte;
    std::string fourByte;
    for (int i = 0; i < 32'764 / 2; ++i) {
        twoByte += kEAcute + kEAcute;
        fourByte += kGrinning;
    }
    EXPECT_EQ(ParseTimeText(twoByte + tail), 0); // 32,764 units
    EXPECT_THROW(ParseTimeText(twoByte + "x" + tail), TimeOverflow);
    EXPECT_EQ(ParseTimeText(fourByte + tail), 0); // 32,764 units
    EXPECT_THROW(ParseTimeText(fourByte + "x" + tail), TimeOverflow);
    // The leftover half of a dropped separator counts as one.
    EXPECT_EQ(ParseTimeText("0h" + kGrinning + std::string(32'763, '0') + "m 00s 000"), 0);
    EXPECT_THROW(ParseTimeText("0h" + kGrinning + std::string(32'764, '0') + "m 00s 000"),
                 TimeOverflow);
}

TEST(ParseTimeText, MissingLetterIsReportedBeforeItsPosition) {
    EXPECT_THROW(ParseTimeText(std::string(40'000, '0')), TimeTextInvalid);
    EXPECT_THROW(ParseTimeText("0h " + std::string(40'000, '0')), TimeTextInvalid);
}

// ---------------------------------------------------------------------------------------------
// Round trip: every written text reads back to its count.

void AddRange(std::vector<Millis>& counts, std::int64_t from, std::int64_t to) {
    for (std::int64_t c = std::max<std::int64_t>(from, kEarliestWritable);
         c <= std::min<std::int64_t>(to, kMax); ++c) {
        counts.push_back(static_cast<Millis>(c));
    }
}

TEST(RoundTrip, ParseOfFormatGivesTheCountBack) {
    std::vector<Millis> counts;
    AddRange(counts, -5'000, 5'000);
    AddRange(counts, kEarliestWritable, kEarliestWritable + 5'000);
    AddRange(counts, kMax - 5'000, kMax);
    for (std::int64_t hour : {-596, -100, -2, -1, 1, 2, 10, 100, 595, 596}) {
        AddRange(counts, hour * 3'600'000 - 1'500, hour * 3'600'000 + 1'500);
        AddRange(counts, hour * 3'600'000 + 59'000, hour * 3'600'000 + 61'000);
    }
    const std::int64_t span = std::int64_t{kMax} - kEarliestWritable;
    for (std::int64_t i = 0; i <= 200'000; ++i) {
        counts.push_back(static_cast<Millis>(kEarliestWritable + span * i / 200'000));
    }
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    for (int i = 0; i < 200'000; ++i) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        counts.push_back(static_cast<Millis>(kEarliestWritable + (state >> 16) % (span + 1)));
    }

    int failures = 0;
    for (Millis count : counts) {
        const std::string text = FormatTime(count);
        const Millis back = ParseTimeText(text);
        if (back != count && ++failures <= 10) {
            ADD_FAILURE() << count << " -> \"" << text << "\" -> " << back;
        }
    }
    EXPECT_EQ(failures, 0) << "of " << counts.size() << " counts";
}

} // namespace
} // namespace kestrova
