#pragma once
// dlgOpen on Windows: GetOpenFileNameW, through which File > Open gets its project file.

#include "app/shell_seams.h"

#include <windows.h>

#include <commdlg.h>

#include <optional>
#include <string>

namespace kestrova::win32 {

// Existing files only, no read-only check box, long names. Without OFN_NOCHANGEDIR the dialog
// moves the process's current directory to the chosen file's folder, where the working copy
// is then made.
inline constexpr DWORD kOpenFlags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_LONGNAMES;

// An Explorer-style hook procedure the dialog is shown with, and the lCustData it is given.
struct OpenDialogHook {
    LPOFNHOOKPROC procedure = nullptr;
    LPARAM data = 0;
};

class OpenFileDialog final : public FileSelection {
public:
    // A dialog shown with a hook lets a caller act on it once it has opened.
    explicit OpenFileDialog(HWND owner = nullptr, OpenDialogHook hook = {})
        : owner_(owner), hook_(hook) {}
    void setOwner(HWND owner) { owner_ = owner; }

    // Shows the dialog for one existing project file, offering the file chosen last. On a
    // choice the current directory is the file's folder; Cancel gives nothing and changes
    // nothing.
    std::optional<std::string> chooseProjectFile() override;

    // The file (UTF-8) is offered when the dialog next opens.
    void offer(const std::string& file) override;

    // Sets up the dialog's structure for one showing; `buffer` receives the chosen path.
    void prepare(OPENFILENAMEW& dialog, std::wstring& buffer) const;

private:
    HWND owner_;
    std::wstring fileName_;
    OpenDialogHook hook_;
};

} // namespace kestrova::win32
