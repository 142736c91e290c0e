#include "app/print_queues.h"

namespace kestrova::app {

// Without CUPS the printer driver reports its own failures, as QPrinter tells them.
PrintQueues* PlatformPrintQueues() {
    return nullptr;
}

} // namespace kestrova::app
