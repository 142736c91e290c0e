#include "app/win32/print_progress.h"

#include "app/win32/resource_ids.h"

#include <string>

namespace kestrova::win32 {

INT_PTR CALLBACK PrintProgressDialog::Procedure(HWND dialog, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return TRUE;
    }
    auto* self = reinterpret_cast<PrintProgressDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (self != nullptr && message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        self->cancelled_ = true;
        EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
        return TRUE;
    }
    return FALSE;
}

void PrintProgressDialog::start(int pages) {
    pages_ = pages;
    cancelled_ = false;
    if (dialog_ != nullptr)
        return;
    dialog_ = CreateDialogParamW(instance_, MAKEINTRESOURCEW(IDD_PRINT_PROGRESS), owner_, Procedure,
                                 reinterpret_cast<LPARAM>(this));
    if (dialog_ == nullptr)
        return; // printing goes on without a progress display
    const std::wstring text = L"Printing " + std::to_wstring(pages) + L" pages...";
    SetDlgItemTextW(dialog_, IDC_PRINT_PROGRESS_TEXT, text.c_str());
    ownerWasEnabled_ = owner_ != nullptr && IsWindowEnabled(owner_);
    if (ownerWasEnabled_)
        EnableWindow(owner_, FALSE);
    ShowWindow(dialog_, SW_SHOW);
    UpdateWindow(dialog_);
    if (shown_)
        shown_(dialog_);
    pumpMessages();
}

bool PrintProgressDialog::pageDone(int pagesDone) {
    if (dialog_ != nullptr) {
        const std::wstring text = L"Printed page " + std::to_wstring(pagesDone) + L" of " +
                                  std::to_wstring(pages_) + L".";
        SetDlgItemTextW(dialog_, IDC_PRINT_PROGRESS_TEXT, text.c_str());
        pumpMessages();
    }
    return !cancelled_;
}

void PrintProgressDialog::pumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the main loop, which ends the program after the print.
            cancelled_ = true;
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (!IsDialogMessageW(dialog_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

PrintProgressDialog::~PrintProgressDialog() {
    if (dialog_ == nullptr)
        return;
    if (ownerWasEnabled_)
        EnableWindow(owner_, TRUE);
    DestroyWindow(dialog_);
    if (owner_ != nullptr)
        SetActiveWindow(owner_);
}

} // namespace kestrova::win32
