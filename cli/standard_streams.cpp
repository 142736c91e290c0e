#include "cli/standard_streams.h"

#include <iostream>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace kestrova {
namespace {

#ifdef _WIN32
bool DescriptorClosed(int descriptor) {
    return _get_osfhandle(descriptor) < 0;
}
#else
bool DescriptorClosed(int descriptor) {
    return ::fcntl(descriptor, F_GETFD) == -1 && errno == EBADF;
}

// The lowest free descriptor is the closed one, since every lower one is open by now.
void HoldWithNullDevice(int descriptor) {
    const int held = ::open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
    if (held >= 0 && held != descriptor)
        ::close(held);
}
#endif

} // namespace

void PrepareStandardStreams() {
    bool closed[3] = {};
    for (int descriptor = 0; descriptor < 3; ++descriptor) {
        closed[descriptor] = DescriptorClosed(descriptor);
#ifndef _WIN32
        if (closed[descriptor])
            HoldWithNullDevice(descriptor);
#endif
    }
    // Replacing the stream buffers clears the stream states, so the marks come after it.
    std::ios::sync_with_stdio(false);
    if (closed[1])
        std::cout.setstate(std::ios::badbit);
    if (closed[2])
        std::cerr.setstate(std::ios::badbit);
}

} // namespace kestrova
