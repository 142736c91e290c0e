#pragma once
// The progress of a long print: a small dialog over the main window saying which page is done,
// with a Cancel button. The main window is disabled while it shows.

#include "app/report_printing.h"

#include <windows.h>

#include <functional>

namespace kestrova::win32 {

class PrintProgressDialog final : public PrintProgress {
public:
    PrintProgressDialog(HINSTANCE instance, HWND owner) : instance_(instance), owner_(owner) {}
    // Closes the dialog, if it was shown, and enables the main window again.
    ~PrintProgressDialog() override;
    PrintProgressDialog(const PrintProgressDialog&) = delete;
    PrintProgressDialog& operator=(const PrintProgressDialog&) = delete;

    void start(int pages) override;
    // Shows the count and handles waiting input; false once Cancel was pressed.
    bool pageDone(int pagesDone) override;

    // The dialog, while it shows.
    HWND dialog() const { return dialog_; }
    // Called with the dialog once it has been shown (tests press its buttons this way).
    void onShown(std::function<void(HWND)> shown) { shown_ = std::move(shown); }

private:
    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void pumpMessages();

    HINSTANCE instance_;
    HWND owner_;
    HWND dialog_ = nullptr;
    int pages_ = 0;
    bool cancelled_ = false;
    bool ownerWasEnabled_ = false;
    std::function<void(HWND)> shown_;
};

} // namespace kestrova::win32
