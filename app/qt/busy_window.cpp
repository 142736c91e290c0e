#include "app/qt/busy_window.h"

#include <QApplication>
#include <QEventLoop>

#include <chrono>
#include <thread>

namespace kestrova::qt {

WaitCursor::WaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor() {
    QApplication::restoreOverrideCursor();
}

void PaintingBusyWindow::runBusy(const std::function<void()>& work) {
    const WaitCursor waiting;
    RunOnWorkerThread(work, [] {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
}

} // namespace kestrova::qt
