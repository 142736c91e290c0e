#include "cli/standard_streams.h"

#include <io.h>

namespace kestrova {

// A closed standard handle cannot be taken by a file the check opens, so it is only noted.
bool HoldIfClosed(int descriptor) {
    return _get_osfhandle(descriptor) < 0;
}

} // namespace kestrova
