#pragma once
// The files to remove when the process is ended, for the adapters of file_access.h. A signal
// handler (on Windows, the console handler's thread) reads the table while the program runs, so
// every entry is a fixed buffer written before the entry is marked armed, and only lock-free
// atomics guard it. `Owner` tells which process listed a file (a child forked meanwhile must not
// remove it); a system without fork lists every file under one owner.

#include "check/file_access.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <string_view>

namespace kestrova {

template <typename Char, std::size_t LongestPath, typename Owner> class RemovalTable {
public:
    static constexpr int kSize = kMostFilesListed;
    static_assert(std::atomic<int>::is_always_lock_free);
    static_assert(std::atomic<Owner>::is_always_lock_free);

    // Lists the path in a free entry; -1 when the path does not fit or every entry is taken
    // (the run goes on, and only an ending signal would leave the file behind).
    int list(std::basic_string_view<Char> path, Owner owner) noexcept {
        if (path.size() >= LongestPath)
            return -1;
        for (int slot = 0; slot < kSize; ++slot) {
            Entry& entry = entries_[slot];
            int expected = kFree;
            if (entry.state.compare_exchange_strong(expected, kFilling)) {
                *std::copy(path.begin(), path.end(), entry.path) = Char{};
                entry.owner.store(owner);
                entry.state.store(kArmed);
                return slot;
            }
        }
        return -1;
    }

    void release(int slot) noexcept { entries_[slot].state.store(kFree); }

    // Hands every armed path that `owner` listed to `remove`; safe in a signal handler.
    template <typename Remove> void removeAll(Owner owner, Remove remove) noexcept {
        for (Entry& entry : entries_) {
            if (entry.state.load() == kArmed && entry.owner.load() == owner)
                remove(entry.path);
        }
    }

private:
    static constexpr int kFree = 0;
    static constexpr int kFilling = 1;
    static constexpr int kArmed = 2;

    struct Entry {
        std::atomic<int> state{kFree};
        std::atomic<Owner> owner{};
        Char path[LongestPath];
    };

    Entry entries_[kSize];
};

} // namespace kestrova
