// Time conversions on arbitrary text: no crash, only the two documented failures, and every
// count that can be written reads back unchanged.

#include "timefmt/timefmt.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using kestrova::Millis;

// The earliest count whose hour count times 3,600,000 still fits 32 bits.
constexpr Millis kEarliestWritable = -2'145'600'000;

void ExpectRoundTrip(Millis count) {
    if (count < kEarliestWritable) {
        try {
            (void)kestrova::FormatTime(count);
        } catch (const kestrova::TimeOverflow&) {
            return;
        }
        std::abort(); // a count below the earliest writable one must not be written
    }
    const std::string written = kestrova::FormatTime(count);
    if (kestrova::ParseTimeText(written) != count)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        ExpectRoundTrip(kestrova::ParseTimeText(text));
    } catch (const kestrova::TimeTextInvalid&) {
    } catch (const kestrova::TimeOverflow&) {
    }
    // The first four bytes as a count, so that every count is within reach.
    if (size >= sizeof(Millis)) {
        Millis count;
        std::memcpy(&count, data, sizeof count);
        ExpectRoundTrip(count);
    }
    return 0;
}
