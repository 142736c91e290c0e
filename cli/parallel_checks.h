#pragma once
// Many checks at once, their results handed on in the order the projects were named: the
// output of `kpjcheck -j N` is byte for byte what one check after another writes.

#include "check/random_source.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace kestrova {

// The one generator of a process, shared by checks running at once: each draw is taken under a
// lock and numbered, so that a check can tell where in the sequence its draws began.
class SharedRandom {
public:
    explicit SharedRandom(RandomSource& source) : source_(source) {}
    // The next fraction and its number in the sequence, counted from 0.
    std::pair<double, std::uint64_t> draw() {
        const std::lock_guard lock(mutex_);
        return {source_.nextFraction(), drawn_++};
    }

private:
    std::mutex mutex_;
    RandomSource& source_;
    std::uint64_t drawn_ = 0;
};

// One check's draws from the shared generator: where they began, how many there were, and
// whether they came one after another with no other check's draw between them.
class CheckDraws final : public RandomSource {
public:
    explicit CheckDraws(SharedRandom& shared) : shared_(shared) {}
    double nextFraction() override {
        const auto [fraction, number] = shared_.draw();
        if (count_++ == 0)
            first_ = number;
        last_ = number;
        return fraction;
    }
    std::uint64_t first() const { return first_; }
    std::uint64_t count() const { return count_; }
    bool unbroken() const { return count_ == 0 || last_ - first_ + 1 == count_; }

private:
    SharedRandom& shared_;
    std::uint64_t first_ = 0;
    std::uint64_t last_ = 0;
    std::uint64_t count_ = 0;
};

// Works through `count` tasks, numbered from 0, with `jobs` threads; with one job (or one task)
// on the calling thread alone. Each result reaches `deliver` on the calling thread in task
// order, so that it alone writes. A worker starts a task only while fewer than 2 x jobs results
// lie ahead of the next one to deliver, so the results waiting stay few however many tasks
// there are. Once `deliver` returns false, no task starts any more; the call returns false once
// the running ones have ended. An exception from `work` is thrown again when its turn comes.
template <typename Result> class InTaskOrder {
public:
    using Work = std::function<Result(std::size_t)>;
    using Deliver = std::function<bool(std::size_t, Result&)>;

    InTaskOrder(std::size_t count, unsigned jobs, Work work)
        : count_(count), jobs_(jobs == 0 ? 1 : jobs), slots_(2 * jobs_), work_(std::move(work)) {}

    bool run(const Deliver& deliver) {
        if (jobs_ == 1 || count_ <= 1)
            return runHere(deliver);
        std::vector<std::jthread> workers;
        // Declared after the workers, so it goes first: on every way out they stop taking tasks
        // before they are joined.
        const StopOnLeaving stop(*this);
        for (unsigned i = 0; i < jobs_ && i < count_; ++i)
            workers.emplace_back([this] { workLoop(); });
        for (std::size_t task = 0; task < count_; ++task) {
            Slot done = take(task);
            if (done.failure)
                std::rethrow_exception(done.failure);
            if (!deliver(task, *done.result))
                return false;
        }
        return true;
    }

private:
    struct Slot {
        bool ready = false;
        std::optional<Result> result;
        std::exception_ptr failure;
    };

    class StopOnLeaving {
    public:
        explicit StopOnLeaving(InTaskOrder& run) : run_(run) {}
        ~StopOnLeaving() {
            {
                const std::lock_guard lock(run_.mutex_);
                run_.stopping_ = true;
            }
            run_.mayStart_.notify_all();
        }
        StopOnLeaving(const StopOnLeaving&) = delete;
        StopOnLeaving& operator=(const StopOnLeaving&) = delete;

    private:
        InTaskOrder& run_;
    };

    bool runHere(const Deliver& deliver) {
        for (std::size_t task = 0; task < count_; ++task) {
            Result result = work_(task);
            if (!deliver(task, result))
                return false;
        }
        return true;
    }

    void workLoop() {
        for (;;) {
            std::size_t task = 0;
            {
                std::unique_lock lock(mutex_);
                mayStart_.wait(lock, [this] {
                    return stopping_ || next_ >= count_ || next_ < delivered_ + slots_.size();
                });
                if (stopping_ || next_ >= count_)
                    return;
                task = next_++;
            }
            Slot done;
            try {
                done.result.emplace(work_(task));
            } catch (...) {
                done.failure = std::current_exception();
            }
            done.ready = true;
            {
                const std::lock_guard lock(mutex_);
                slots_[task % slots_.size()] = std::move(done);
            }
            finished_.notify_all();
        }
    }

    Slot take(std::size_t task) {
        std::unique_lock lock(mutex_);
        Slot& slot = slots_[task % slots_.size()];
        finished_.wait(lock, [&slot] { return slot.ready; });
        Slot done = std::move(slot);
        slot = Slot{};
        delivered_ = task + 1;
        lock.unlock();
        mayStart_.notify_all();
        return done;
    }

    const std::size_t count_;
    const unsigned jobs_;
    std::vector<Slot> slots_; // task t waits in slot t % size until delivered
    Work work_;
    std::mutex mutex_;
    std::condition_variable mayStart_;
    std::condition_variable finished_;
    std::size_t next_ = 0;      // the next task to start
    std::size_t delivered_ = 0; // the tasks handed on so far
    bool stopping_ = false;
};

} // namespace kestrova
