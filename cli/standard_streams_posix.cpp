#include "cli/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace kestrova {

bool HoldIfClosed(int descriptor) {
    if (::fcntl(descriptor, F_GETFD) != -1 || errno != EBADF)
        return false;
    // The lowest free descriptor is the closed one, since every lower one is open by now.
    const int held = ::open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
    if (held >= 0 && held != descriptor)
        ::close(held);
    return true;
}

} // namespace kestrova
