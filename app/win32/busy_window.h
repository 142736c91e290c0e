#pragma once
// While File > Open checks a project, the window keeps repainting (it is moved, uncovered or
// resized by the system) and shows the wait cursor; input waits until the check has ended.

#include "app/busy_work.h"

namespace kestrova::win32 {

class PaintingBusyWindow final : public BusyWindow {
public:
    void runBusy(const std::function<void()>& work) override;
};

} // namespace kestrova::win32
