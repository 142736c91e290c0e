#include "app/busy_work.h"

#include <atomic>
#include <exception>
#include <system_error>
#include <thread>

namespace kestrova {

void RunOnWorkerThread(const std::function<void()>& work, const std::function<void()>& serve) {
    std::atomic<bool> ended{false};
    std::exception_ptr failure;
    std::thread worker;
    try {
        worker = std::thread([&]() noexcept {
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
            ended.store(true, std::memory_order_release);
        });
    } catch (const std::system_error&) {
        work();
        return;
    }
    {
        // The work is waited for on every way out: serve() may throw too.
        struct JoinAtExit {
            std::thread& thread;
            ~JoinAtExit() { thread.join(); }
        } joinAtExit{worker};
        while (!ended.load(std::memory_order_acquire))
            serve();
    }
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace kestrova
