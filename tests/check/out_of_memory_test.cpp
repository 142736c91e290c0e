// Running out of memory at any allocation of a check ends that check with the "not enough
// memory" stop (or, where the failed allocation was not needed, with the normal report), leaves
// no working copy, and the next run of the same process is whole. So does the system refusing
// the parser's thread, as a process limit or short memory makes it.

#include "tests/check/check_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>

#ifdef __linux__
#include <dlfcn.h>
#include <pthread.h>
#endif

namespace {

// The allocation that is to fail, counted from when it is armed; -1 when none is.
std::atomic<long> allocationsBeforeFailure{-1};

bool ThisAllocationFails() {
    long left = allocationsBeforeFailure.load();
    while (left >= 0 && !allocationsBeforeFailure.compare_exchange_weak(left, left - 1)) {
    }
    return left == 0;
}

void* FailingMalloc(std::size_t size) {
    return ThisAllocationFails() ? nullptr : std::malloc(size);
}

// The test's own bookkeeping inside a run allocates without failing.
class InjectionPaused {
public:
    InjectionPaused() : saved_(allocationsBeforeFailure.exchange(-1)) {}
    ~InjectionPaused() { allocationsBeforeFailure = saved_; }
    InjectionPaused(const InjectionPaused&) = delete;
    InjectionPaused& operator=(const InjectionPaused&) = delete;

private:
    long saved_;
};

// Whether the system is to refuse new threads, as it does at a process limit.
std::atomic<bool> threadsRefused{false};

} // namespace

#ifdef __linux__
// Takes the place of the C library's function for this program, std::thread included.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*start)(void*), void* argument) noexcept {
    if (threadsRefused.load())
        return EAGAIN;
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto next = reinterpret_cast<Create>(::dlsym(RTLD_NEXT, "pthread_create"));
    return next(thread, attributes, start, argument);
}
#endif

void* operator new(std::size_t size) {
    if (void* block = FailingMalloc(size != 0 ? size : 1))
        return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

namespace kestrova {
namespace {

using namespace testing_support;

struct FailedRun {
    CheckResult result;
    std::string report;
    bool failureHappened;
};

// A check whose allocation number `failing` fails; the items are kept, as for a picture, so that
// every list of the result is grown.
FailedRun RunFailingAt(long failing) {
    UnseededRandom random;
    const CheckRequest request{"p.kpj", WorkingCopyPlace::CurrentDirectory, true};
    allocationsBeforeFailure = failing;
    CheckResult result = CheckProject(request, random);
    const bool failureHappened = allocationsBeforeFailure.exchange(-1) < 0;
    std::string report = ReportText(result);
    return {std::move(result), std::move(report), failureHappened};
}

void ExpectEveryFailureEndsOnlyItsRun() {
    TempFolder folder;
    WriteBytes(folder / "p.kpj", ReadBytes(std::string(KESTROVA_EXAMPLES) + "/rough-cut.kpj"));
    CurrentDirectoryGuard inFolder(folder.path());
    const RunResult whole = RunOn("p.kpj");
    ASSERT_TRUE(whole.result->checked()) << whole.report;

    long failing = 0;
    for (;; ++failing) {
        const FailedRun run = RunFailingAt(failing);
        if (!run.failureHappened) {
            EXPECT_EQ(run.report, whole.report);
            break;
        }
        if (run.result.status == CheckStatus::Stopped)
            EXPECT_NE(MessageText(run.result).find("not enough memory"), std::string::npos)
                << "allocation " << failing << ": " << MessageText(run.result);
        else
            EXPECT_EQ(run.report, whole.report) << "allocation " << failing;
        EXPECT_EQ(folder.entries(), std::set<std::string>{"p.kpj"}) << "allocation " << failing;
        EXPECT_EQ(RunOn("p.kpj").report, whole.report) << "after allocation " << failing;
    }
    EXPECT_GT(failing, 20); // the run allocates in many places, and each one failed once
}

TEST(OutOfMemory, everyFailedAllocationEndsOnlyThatRunAndLeavesNoWorkingCopy) {
    ExpectEveryFailureEndsOnlyItsRun();
}

TEST(ThreadRefused, theRunStopsWithAMessageMakesNoCopyAndTheNextRunIsWhole) {
#ifndef __linux__
    GTEST_SKIP() << "the system's thread creation is replaced on Linux only";
#endif
    TempFolder folder;
    WriteBytes(folder / "p.kpj", ReadBytes(std::string(KESTROVA_EXAMPLES) + "/rough-cut.kpj"));
    CurrentDirectoryGuard inFolder(folder.path());
    threadsRefused = true;
    const RunResult refused = RunOn("p.kpj");
    threadsRefused = false;
    ASSERT_EQ(refused.result->status, CheckStatus::Stopped) << refused.report;
    EXPECT_NE(MessageText(*refused.result).find("cannot start the thread"), std::string::npos)
        << MessageText(*refused.result);
    ASSERT_EQ(refused.messages.size(), 1u);
    EXPECT_EQ(refused.messages[0].text, MessageText(*refused.result));
    EXPECT_EQ(folder.entries(), std::set<std::string>{"p.kpj"});
    EXPECT_TRUE(RunOn("p.kpj").result->checked());
}

} // namespace
} // namespace kestrova
