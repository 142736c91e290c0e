#pragma once
// A long step of a command (the check of a project) runs on a thread of its own while the window
// keeps repainting and shows the wait cursor. The user's input waits until the step has ended,
// so no second command can start meanwhile.

#include <functional>

namespace kestrova {

// What a window does while a command's long step runs.
class BusyWindow {
public:
    virtual ~BusyWindow() = default;
    // Runs `work` to its end while the window repaints and shows that it is busy; throws what
    // `work` threw.
    virtual void runBusy(const std::function<void()>& work) = 0;
};

// Runs `work` on a thread of its own, calling `serve` over and over until the work has ended:
// `serve` repaints the window, waiting for something to paint only a short while (a few
// milliseconds). Then throws what the work threw. Where no thread can be started, the work runs
// here, without repainting.
void RunOnWorkerThread(const std::function<void()>& work, const std::function<void()>& serve);

} // namespace kestrova
