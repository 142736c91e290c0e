#include "app/printer_messages.h"

#include <chrono>
#include <optional>
#include <thread>

namespace kestrova {
namespace {

std::string Named(const std::string& printer) {
    return "\"" + printer + "\"";
}

} // namespace

std::string PrinterRefusalText(const std::string& printer, PrinterRefusal refusal,
                               const std::string& printerSays) {
    const char* state = "";
    switch (refusal) {
    case PrinterRefusal::Unreachable:
        state = " cannot be reached";
        break;
    case PrinterRefusal::NotAcceptingJobs:
        state = " is not accepting print jobs";
        break;
    case PrinterRefusal::Stopped:
        state = " is stopped";
        break;
    case PrinterRefusal::Paused:
        state = " is paused";
        break;
    case PrinterRefusal::Offline:
        state = " is offline";
        break;
    }
    std::string text = "The printer " + Named(printer) + state + ", so the report was not printed.";
    if (!printerSays.empty())
        text += "\r\n(" + printerSays + ")";
    return text;
}

std::string JobRefusedText(const std::string& printer, const std::string& reason) {
    return "The printer " + Named(printer) + " refused the print job, so the report was not " +
           "printed:\r\n" + reason;
}

std::string FollowPrintJob(PrintQueues& queues, const std::string& queue, int job) {
    using Clock = std::chrono::steady_clock;
    constexpr auto kProcessingTaken = std::chrono::seconds(2);
    constexpr auto kQueuedTaken = std::chrono::seconds(10);
    const std::string printer = "the printer " + Named(queue);
    const Clock::time_point start = Clock::now();
    std::optional<Clock::time_point> processingSince;
    for (;;) {
        const Clock::time_point now = Clock::now();
        switch (queues.jobState(job)) {
        case JobState::Completed:
        case JobState::Unknown: // no longer known to the queue: it was done with it
            return {};
        case JobState::Held:
            return "The print job is held in the queue of " + printer +
                   " and will not print until it is released.";
        case JobState::Stopped:
            return "The print job stopped on " + printer + "; the report has not been printed.";
        case JobState::Cancelled:
            return "The print job was cancelled on " + printer + "; the report was not printed.";
        case JobState::Aborted:
            return "The print job failed on " + printer +
                   " and was aborted; the report was not printed.";
        case JobState::Processing:
            if (!processingSince)
                processingSince = now;
            else if (now - *processingSince >= kProcessingTaken)
                return {};
            break;
        case JobState::Pending:
            break;
        }
        if (now - start >= kQueuedTaken)
            return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

} // namespace kestrova
