#include "cli/standard_streams.h"

#include <iostream>

namespace kestrova {

void PrepareStandardStreams() {
    bool closed[3] = {};
    for (int descriptor = 0; descriptor < 3; ++descriptor)
        closed[descriptor] = HoldIfClosed(descriptor);
    // Replacing the stream buffers clears the stream states, so the marks come after it.
    std::ios::sync_with_stdio(false);
    if (closed[1])
        std::cout.setstate(std::ios::badbit);
    if (closed[2])
        std::cerr.setstate(std::ios::badbit);
}

} // namespace kestrova
