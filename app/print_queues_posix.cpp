#include "app/print_queues.h"

#include <cups/cups.h>

#include <cstring>
#include <memory>

namespace kestrova {
namespace {

struct DestFree {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
using Dest = std::unique_ptr<cups_dest_t, DestFree>;

struct IppFree {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};

std::string DestOption(const cups_dest_t& dest, const char* name) {
    const char* value = cupsGetOption(name, dest.num_options, dest.options);
    return value != nullptr ? value : "";
}

JobState FromIpp(int state) {
    switch (state) {
    case IPP_JSTATE_PENDING:
        return JobState::Pending;
    case IPP_JSTATE_HELD:
        return JobState::Held;
    case IPP_JSTATE_PROCESSING:
        return JobState::Processing;
    case IPP_JSTATE_STOPPED:
        return JobState::Stopped;
    case IPP_JSTATE_CANCELED:
        return JobState::Cancelled;
    case IPP_JSTATE_ABORTED:
        return JobState::Aborted;
    case IPP_JSTATE_COMPLETED:
        return JobState::Completed;
    default:
        return JobState::Unknown;
    }
}

class CupsQueues final : public PrintQueues {
public:
    std::optional<std::string> defaultQueue() override {
        const Dest dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr));
        if (!dest)
            return std::nullopt;
        return std::string(dest->name);
    }

    std::optional<QueueState> queueState(const std::string& queue) override {
        const Dest dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr));
        if (!dest)
            return std::nullopt;
        QueueState state;
        state.acceptingJobs = DestOption(*dest, "printer-is-accepting-jobs") != "false";
        state.stopped = DestOption(*dest, "printer-state") == std::to_string(IPP_PSTATE_STOPPED);
        state.message = DestOption(*dest, "printer-state-message");
        return state;
    }

    int submit(const std::string& queue, const std::string& pdfFile, const std::string& title,
               std::string& refusal) override {
        const int job = cupsPrintFile(queue.c_str(), pdfFile.c_str(), title.c_str(), 0, nullptr);
        if (job == 0)
            refusal = cupsLastErrorString();
        return job;
    }

    JobState jobState(int job) override {
        ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
        const std::string uri = "ipp://localhost/jobs/" + std::to_string(job);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                     cupsUser());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                     "job-state");
        const std::unique_ptr<ipp_t, IppFree> response(
            cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
        if (!response)
            return JobState::Unknown;
        ipp_attribute_t* state = ippFindAttribute(response.get(), "job-state", IPP_TAG_ENUM);
        return state != nullptr ? FromIpp(ippGetInteger(state, 0)) : JobState::Unknown;
    }
};

} // namespace

PrintQueues* PlatformPrintQueues() {
    static CupsQueues queues;
    return &queues;
}

} // namespace kestrova
