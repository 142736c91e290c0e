#include "check/random_source.h"

namespace kestrova {

double UnseededRandom::nextFraction() {
    // 24-bit linear congruential step of the Basic runtime's generator.
    state_ = (state_ * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
    return static_cast<double>(state_) / 16777216.0;
}

} // namespace kestrova
