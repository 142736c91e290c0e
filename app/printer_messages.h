#pragma once
// What the user is told when the default printer will not take the report, or when a print job
// ends without printing it: one wording for every window and every printing system. A printer
// is named as its printing system names it, in double quotes.

#include "app/print_queues.h"

#include <string>

namespace kestrova {

enum class PrinterRefusal { Unreachable, NotAcceptingJobs, Stopped, Paused, Offline };

// The message for a printer that refuses the report before anything is printed; `printerSays`,
// the printing system's own words on the printer's state, follows on a line of its own.
std::string PrinterRefusalText(const std::string& printer, PrinterRefusal refusal,
                               const std::string& printerSays = {});

// The message for a printer whose queue refused the finished job, with the queue's reason.
std::string JobRefusedText(const std::string& printer, const std::string& reason);

// Follows a job the queue has taken until it is printed, or printing for a while, or still
// waiting its turn after longer; or until the queue holds, stops, cancels or aborts it. Gives
// the message for the user, or nothing when the job is on its way.
std::string FollowPrintJob(PrintQueues& queues, const std::string& queue, int job);

} // namespace kestrova
