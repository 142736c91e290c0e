#pragma once
// kpjcheck --svg: a picture of one checked project's timeline, drawn from the same check run as
// its report. One row per layer (rows of many layers each when there are very many), items as
// bars, zero- and negative-length items marked, every gap a band across all rows. A project that
// was not checked gets a picture that says why.

#include "check/check_result.h"

#include <iosfwd>

namespace kestrova {

// Projects with up to this many gaps get one band per gap, each with its own title; beyond it,
// gaps that share a pixel column share a band and the picture states the total.
inline constexpr std::size_t kMaxSeparateGaps = 1000;

void WriteTimelinePicture(std::ostream& out, const CheckResult& check);

} // namespace kestrova
