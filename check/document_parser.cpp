#include "check/document_parser.h"

#include "check/check_failure.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace kestrova {
namespace {

// A piece of input past this waits until the parser has taken what is pending.
constexpr std::size_t kMostPending = std::size_t{256} << 10;

} // namespace

DocumentParser::DocumentParser() {
    try {
        thread_ = std::thread([this] {
            try {
                document_ = ParseDocument(*this);
            } catch (...) {
                failure_ = std::current_exception();
            }
            const std::lock_guard lock(mutex_);
            parseEnded_ = true;
            changed_.notify_all();
        });
    } catch (const std::system_error&) {
        // The system refuses another thread when the process or the user has as many as a limit
        // allows, or when memory is short. Nothing has been made yet; the run stops with a
        // message instead of ending the program.
        throw DocumentProblem("the system cannot start the thread that reads it (too many "
                              "processes or threads are running, or memory is short)");
    }
}

DocumentParser::~DocumentParser() {
    if (!thread_.joinable())
        return;
    {
        const std::lock_guard lock(mutex_);
        inputAbandoned_ = true;
        changed_.notify_all();
    }
    thread_.join();
}

void DocumentParser::projectOpened(std::uint64_t size) {
    const std::lock_guard lock(mutex_);
    projectSize_ = size;
}

void DocumentParser::copied(std::string_view bytes) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock,
                  [&] { return pending_.size() < kMostPending || parseEnded_ || inputRefused_; });
    if (parseEnded_ || inputRefused_)
        return;
    pending_.append(bytes);
    changed_.notify_all();
}

bool DocumentParser::wantsMore() const {
    const std::lock_guard lock(mutex_);
    return !parseEnded_ && !inputRefused_;
}

void DocumentParser::refuseInput() {
    const std::lock_guard lock(mutex_);
    inputRefused_ = true;
    pending_.clear();
    changed_.notify_all();
}

int DocumentParser::read(char* buffer, int length) {
    if (readAt_ == reading_.size()) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !pending_.empty() || inputEnded_ || inputAbandoned_; });
        if (inputAbandoned_)
            return -1;
        reading_.clear();
        reading_.swap(pending_);
        readAt_ = 0;
        changed_.notify_all();
        if (reading_.empty())
            return 0;
    }
    const std::size_t count =
        std::min(static_cast<std::size_t>(std::max(length, 0)), reading_.size() - readAt_);
    std::copy_n(reading_.data() + readAt_, count, buffer);
    readAt_ += count;
    return static_cast<int>(count);
}

XmlDocument DocumentParser::finish() {
    {
        const std::lock_guard lock(mutex_);
        inputEnded_ = true;
        changed_.notify_all();
    }
    thread_.join();
    if (failure_)
        std::rethrow_exception(failure_);
    return std::move(document_);
}

std::uint64_t DocumentParser::projectSize() const {
    const std::lock_guard lock(mutex_);
    return projectSize_;
}

} // namespace kestrova
