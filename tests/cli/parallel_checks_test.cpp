// Many tasks at once, handed on in task order: the order holds however the tasks finish, the
// results waiting stay within their window, and a stop or a failure ends the run cleanly.

#include "cli/parallel_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace kestrova {
namespace {

// Records what the tasks and the deliveries did. With more than one job, the first task is held
// back until every other task its window allows has finished, so that later results wait.
class Recorder {
public:
    Recorder(std::size_t count, unsigned jobs)
        : window_(2 * jobs), heldBackFor_(jobs == 1 ? 1 : std::min(count, window_)) {}

    int work(std::size_t task) {
        started_.fetch_add(1);
        // A task starts only while it lies within the window after the one being delivered (or
        // the next one to be).
        EXPECT_LE(task, delivered_.load() + window_) << "task " << task;
        if (task == 0) {
            std::unique_lock lock(mutex_);
            othersDone_.wait(lock, [this] { return finished_ + 1 >= heldBackFor_; });
        }
        {
            const std::lock_guard lock(mutex_);
            ++finished_;
        }
        othersDone_.notify_all();
        ended_.fetch_add(1);
        return static_cast<int>(task) * 10;
    }

    bool deliver(std::size_t task, int result, std::size_t stopAt) {
        order_.push_back(task);
        EXPECT_EQ(result, static_cast<int>(task) * 10);
        delivered_.store(task + 1);
        return task + 1 != stopAt;
    }

    const std::vector<std::size_t>& order() const { return order_; }
    int started() const { return started_.load(); }
    int ended() const { return ended_.load(); }

private:
    std::size_t window_;
    std::size_t heldBackFor_; // the first task waits until this many have finished, itself too
    std::mutex mutex_;
    std::condition_variable othersDone_;
    std::size_t finished_ = 0;
    std::atomic<std::size_t> delivered_{0};
    std::atomic<int> started_{0};
    std::atomic<int> ended_{0};
    std::vector<std::size_t> order_;
};

struct OrderCase {
    std::size_t count;
    unsigned jobs;
    std::size_t stopAt; // the delivery that asks to stop, counted from 1; 0 for none
};

void PrintTo(const OrderCase& c, std::ostream* os) {
    *os << c.count << " tasks, " << c.jobs << " jobs, stop at " << c.stopAt;
}

class TaskOrder : public testing::TestWithParam<OrderCase> {};

TEST_P(TaskOrder, deliversInTaskOrderWithinTheWindowAndStopsWhenAsked) {
    const OrderCase c = GetParam();
    Recorder recorder(c.count, c.jobs);
    InTaskOrder<int> run(c.count, c.jobs, [&](std::size_t task) { return recorder.work(task); });
    const bool whole = run.run(
        [&](std::size_t task, int& result) { return recorder.deliver(task, result, c.stopAt); });
    const std::size_t delivered = c.stopAt == 0 ? c.count : c.stopAt;
    EXPECT_EQ(whole, c.stopAt == 0);
    ASSERT_EQ(recorder.order().size(), delivered);
    for (std::size_t i = 0; i < delivered; ++i)
        EXPECT_EQ(recorder.order()[i], i);
    // Every task begun has ended by the time the run returns, and none began past the window
    // of the last delivery.
    EXPECT_EQ(recorder.started(), recorder.ended());
    EXPECT_LE(static_cast<std::size_t>(recorder.started()),
              std::min(c.count, delivered + 2 * c.jobs));
}

INSTANTIATE_TEST_SUITE_P(Runs, TaskOrder,
                         testing::Values(OrderCase{0, 4, 0}, OrderCase{1, 4, 0}, OrderCase{3, 1, 0},
                                         OrderCase{5, 8, 0}, OrderCase{200, 2, 0},
                                         OrderCase{200, 4, 0}, OrderCase{200, 4, 5},
                                         OrderCase{50, 3, 1}));

TEST(TaskOrderFailure, aFailedTaskThrowsAtItsTurnAfterTheResultsBeforeIt) {
    for (const unsigned jobs : {1u, 4u}) {
        std::vector<std::size_t> delivered;
        InTaskOrder<int> run(40, jobs, [](std::size_t task) {
            if (task == 7)
                throw std::runtime_error("task 7 failed");
            return static_cast<int>(task);
        });
        EXPECT_THROW(run.run([&](std::size_t task, int&) {
            delivered.push_back(task);
            return true;
        }),
                     std::runtime_error);
        EXPECT_EQ(delivered.size(), 7u) << jobs << " jobs";
    }
}

} // namespace
} // namespace kestrova
