#pragma once
// dlgOpen on Windows: GetOpenFileNameW, through which File > Open gets its project file.

#include "app/shell_seams.h"

#include <windows.h>

#include <commdlg.h>

#include <deque>
#include <optional>
#include <string>

namespace kestrova::win32 {

// One filter entry, "Kestrova 4 Project file" showing *.kpj.
inline constexpr wchar_t kProjectFileFilter[] = L"Kestrova 4 Project file\0*.kpj\0";
// Existing files only, no read-only check box, long names. Without OFN_NOCHANGEDIR the dialog
// moves the process's current directory to the chosen file's folder, where the working copy
// is then made.
inline constexpr DWORD kOpenFlags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_LONGNAMES;

class OpenFileDialog final : public FileSelection {
public:
    explicit OpenFileDialog(HWND owner = nullptr) : owner_(owner) {}
    void setOwner(HWND owner) { owner_ = owner; }

    // Shows the dialog for one existing project file, offering the file chosen last. On a
    // choice the current directory is the file's folder; Cancel gives nothing and changes
    // nothing.
    std::optional<std::string> chooseProjectFile() override;

    // The file chosen last; empty before the first choice.
    const std::wstring& fileName() const { return fileName_; }

    // Pre-answers the next showing instead of asking the user: the file is taken as if the
    // user had chosen it in the dialog (the command line and a dropped file come this way
    // too), or the dialog counts as cancelled.
    void setNextFileName(const std::wstring& path) { scripted_.emplace_back(path); }
    void setNextCancel() { scripted_.emplace_back(std::nullopt); }

    // How many times a file was asked for, pre-answered ones included.
    int timesAsked() const { return timesAsked_; }

    // Shows the real dialog with an Explorer-style hook procedure as well, so that a test can
    // act on it once it has opened; lCustData carries `data`.
    void setHook(LPOFNHOOKPROC hook, LPARAM data) {
        hook_ = hook;
        hookData_ = data;
    }

    // Sets up the dialog's structure for one showing; `buffer` receives the chosen path.
    void prepare(OPENFILENAMEW& dialog, std::wstring& buffer) const;

private:
    std::optional<std::string> chosen(const std::wstring& path);

    HWND owner_;
    std::wstring fileName_;
    std::deque<std::optional<std::wstring>> scripted_;
    int timesAsked_ = 0;
    LPOFNHOOKPROC hook_ = nullptr;
    LPARAM hookData_ = 0;
};

} // namespace kestrova::win32
