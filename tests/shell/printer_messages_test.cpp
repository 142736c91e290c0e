#include "app/printer_messages.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace kestrova {
namespace {

// A queue whose job goes through the given states, the last one kept.
class ScriptedQueue final : public PrintQueues {
public:
    explicit ScriptedQueue(std::deque<JobState> states) : states_(std::move(states)) {}
    std::optional<std::string> defaultQueue() override { return "Office"; }
    std::optional<QueueState> queueState(const std::string&) override { return {}; }
    int submit(const std::string&, const std::string&, const std::string&, std::string&) override {
        return 1;
    }
    JobState jobState(int) override {
        ++asked;
        const JobState state = states_.front();
        if (states_.size() > 1)
            states_.pop_front();
        return state;
    }
    int asked = 0;

private:
    std::deque<JobState> states_;
};

TEST(PrinterMessages, aFollowedJobEndsWithTheMessageOfTheStateItReaches) {
    struct Row {
        std::deque<JobState> states;
        std::string message;
    };
    const std::vector<Row> rows = {
        {{JobState::Completed}, ""},
        {{JobState::Pending, JobState::Unknown}, ""},
        {{JobState::Pending, JobState::Pending, JobState::Held},
         "The print job is held in the queue of the printer \"Office\" and will not print until "
         "it is released."},
        {{JobState::Processing, JobState::Stopped},
         "The print job stopped on the printer \"Office\"; the report has not been printed."},
        {{JobState::Cancelled},
         "The print job was cancelled on the printer \"Office\"; the report was not printed."},
        {{JobState::Aborted},
         "The print job failed on the printer \"Office\" and was aborted; the report was not "
         "printed."},
    };
    for (const Row& row : rows) {
        ScriptedQueue queue(row.states);
        EXPECT_EQ(FollowPrintJob(queue, "Office", 1), row.message) << row.message;
        EXPECT_EQ(queue.asked, static_cast<int>(row.states.size()));
    }
}

TEST(PrinterMessages, aRefusalNamesThePrinterAndAddsWhatThePrintingSystemSays) {
    EXPECT_EQ(PrinterRefusalText("Office", PrinterRefusal::Paused),
              "The printer \"Office\" is paused, so the report was not printed.");
    EXPECT_EQ(PrinterRefusalText("Office", PrinterRefusal::NotAcceptingJobs, "Out of paper"),
              "The printer \"Office\" is not accepting print jobs, so the report was not "
              "printed.\r\n(Out of paper)");
    EXPECT_EQ(JobRefusedText("Office", "Forbidden"),
              "The printer \"Office\" refused the print job, so the report was not printed:\r\n"
              "Forbidden");
}

} // namespace
} // namespace kestrova
