#include "app/win32/open_dialog_win32.h"

#include "check/wide_text.h"

#include <algorithm>

namespace kestrova::win32 {
namespace {

// Room for any path Windows accepts with the \\?\ prefix.
constexpr std::size_t kPathRoom = 32768;

// The folder part of a full path, without its last separator.
std::wstring FolderOf(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos)
        return {};
    // "C:\file": the root keeps its separator.
    if (separator == 2 && path.size() > 2 && path[1] == L':')
        return path.substr(0, 3);
    return path.substr(0, separator);
}

} // namespace

void OpenFileDialog::prepare(OPENFILENAMEW& dialog, std::wstring& buffer) const {
    buffer.assign(kPathRoom, L'\0');
    fileName_.copy(buffer.data(), std::min(fileName_.size(), kPathRoom - 1));
    dialog = OPENFILENAMEW{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner_;
    dialog.lpstrFilter = kProjectFileFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.Flags = kOpenFlags;
    if (hook_ != nullptr) {
        dialog.Flags |= OFN_ENABLEHOOK | OFN_EXPLORER;
        dialog.lpfnHook = hook_;
        dialog.lCustData = hookData_;
    }
}

std::optional<std::string> OpenFileDialog::chooseProjectFile() {
    ++timesAsked_;
    if (!scripted_.empty()) {
        const std::optional<std::wstring> answer = scripted_.front();
        scripted_.pop_front();
        if (!answer)
            return std::nullopt;
        // As the dialog gives it: the full path.
        std::wstring full(kPathRoom, L'\0');
        const DWORD length = GetFullPathNameW(answer->c_str(), static_cast<DWORD>(full.size()),
                                              full.data(), nullptr);
        full.resize(length > 0 && length < kPathRoom ? length : 0);
        if (full.empty())
            full = *answer;
        return chosen(full);
    }
    OPENFILENAMEW dialog;
    std::wstring buffer;
    prepare(dialog, buffer);
    if (!GetOpenFileNameW(&dialog))
        return std::nullopt; // cancelled, or the dialog could not be shown
    return chosen(std::wstring(buffer.c_str()));
}

std::optional<std::string> OpenFileDialog::chosen(const std::wstring& path) {
    // The dialog leaves the current directory in the folder the user last browsed, which is
    // not the file's folder when a full path was typed; the working copy belongs beside the
    // project, so the folder is made current here.
    const std::wstring folder = FolderOf(path);
    if (!folder.empty())
        SetCurrentDirectoryW(folder.c_str());
    fileName_ = path;
    return Utf8(path);
}

} // namespace kestrova::win32
