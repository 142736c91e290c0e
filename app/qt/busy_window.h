#pragma once
// While File > Open checks a project, the window keeps repainting and shows the wait cursor;
// the user's input waits until the check has ended.

#include "app/busy_work.h"

namespace kestrova::qt {

// The wait cursor over the application's windows for as long as it lives.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

class PaintingBusyWindow final : public BusyWindow {
public:
    void runBusy(const std::function<void()>& work) override;
};

} // namespace kestrova::qt
