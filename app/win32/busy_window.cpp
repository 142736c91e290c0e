#include "app/win32/busy_window.h"

#include <windows.h>

namespace kestrova::win32 {
namespace {

// Handles the thread's paint messages and the messages other threads send it, waiting a few
// milliseconds for one; input and posted messages stay queued for after the check.
void ServePaint() {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_PAINT | QS_SENDMESSAGE);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE))
        DispatchMessageW(&message);
}

} // namespace

void PaintingBusyWindow::runBusy(const std::function<void()>& work) {
    struct CursorBack {
        HCURSOR previous;
        ~CursorBack() { SetCursor(previous); }
    } cursorBack{SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)))}; // IDC_WAIT
    RunOnWorkerThread(work, ServePaint);
}

} // namespace kestrova::win32
