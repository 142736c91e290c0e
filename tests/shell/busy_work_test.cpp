#include "app/busy_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>

namespace kestrova {
namespace {

TEST(BusyWork, theWindowIsServedWhileTheWorkRuns) {
    std::promise<void> served;
    std::future<void> servedOnce = served.get_future();
    bool sawServe = false;
    std::thread::id workThread;
    int serves = 0;
    RunOnWorkerThread(
        [&] {
            workThread = std::this_thread::get_id();
            sawServe = servedOnce.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
        },
        [&] {
            if (serves++ == 0)
                served.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    EXPECT_TRUE(sawServe);
    EXPECT_NE(workThread, std::this_thread::get_id());
}

TEST(BusyWork, whatTheWorkThrowsReachesTheCommand) {
    EXPECT_THROW(RunOnWorkerThread([] { throw std::bad_alloc(); }, [] {}), std::bad_alloc);
    EXPECT_THROW(RunOnWorkerThread([] { throw std::runtime_error("disk"); }, [] {}),
                 std::runtime_error);
}

TEST(BusyWork, aFailingWindowStillWaitsForTheWorkToEnd) {
    std::atomic<bool> workEnded{false};
    EXPECT_THROW(RunOnWorkerThread(
                     [&] {
                         std::this_thread::sleep_for(std::chrono::milliseconds(20));
                         workEnded = true;
                     },
                     [] { throw std::runtime_error("paint"); }),
                 std::runtime_error);
    EXPECT_TRUE(workEnded);
}

} // namespace
} // namespace kestrova
