#pragma once
// The generator behind the working copy's candidate names.

#include <cstdint>

namespace kestrova {

// Fractions uniformly distributed in [0, 1).
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual double nextFraction() = 0;
};

// The classic Basic generator, never seeded: every start of the program walks the same
// sequence, and one instance keeps its position from one check run to the next.
class UnseededRandom final : public RandomSource {
public:
    double nextFraction() override;

private:
    std::uint32_t state_ = 0x50000;
};

} // namespace kestrova
