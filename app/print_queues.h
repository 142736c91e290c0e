#pragma once
// The print queues of the platform's printing system (CUPS), asked before a report is printed
// and followed after the job is handed over, so that a refused, held or failed job is never
// taken for a printed one.

#include <optional>
#include <string>

namespace kestrova {

enum class JobState { Pending, Held, Processing, Stopped, Cancelled, Aborted, Completed, Unknown };

struct QueueState {
    bool acceptingJobs = true;
    bool stopped = false;
    std::string message; // the printing system's own words on the queue's state; may be empty
};

class PrintQueues {
public:
    virtual ~PrintQueues() = default;
    virtual std::optional<std::string> defaultQueue() = 0;
    // Nothing when the queue cannot be reached.
    virtual std::optional<QueueState> queueState(const std::string& queue) = 0;
    // Hands a PDF file to the queue: the job number, or 0 with the reason in `refusal`.
    virtual int submit(const std::string& queue, const std::string& pdfFile,
                       const std::string& title, std::string& refusal) = 0;
    virtual JobState jobState(int job) = 0;
};

// The platform's printing system; nothing where there is no CUPS (Windows).
PrintQueues* PlatformPrintQueues();

} // namespace kestrova
