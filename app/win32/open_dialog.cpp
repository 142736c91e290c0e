#include "app/win32/open_dialog.h"

#include "app/app_info.h"
#include "app/open_command.h"
#include "check/wide_text.h"

#include <algorithm>

namespace kestrova::win32 {
namespace {

// Room for any path Windows accepts with the \\?\ prefix.
constexpr std::size_t kPathRoom = 32768;

// One filter entry: the kind of file, then its pattern, each ending in a zero; the string's
// own zero ends the list.
const std::wstring& ProjectFileFilter() {
    static const std::wstring filter =
        Wide(kProjectFileKind) + L'\0' + Wide(kProjectFilePattern) + L'\0';
    return filter;
}

} // namespace

void OpenFileDialog::prepare(OPENFILENAMEW& dialog, std::wstring& buffer) const {
    buffer.assign(kPathRoom, L'\0');
    fileName_.copy(buffer.data(), std::min(fileName_.size(), kPathRoom - 1));
    dialog = OPENFILENAMEW{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner_;
    dialog.lpstrFilter = ProjectFileFilter().c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.Flags = kOpenFlags;
    if (hook_.procedure != nullptr) {
        dialog.Flags |= OFN_ENABLEHOOK | OFN_EXPLORER;
        dialog.lpfnHook = hook_.procedure;
        dialog.lCustData = hook_.data;
    }
}

std::optional<std::string> OpenFileDialog::chooseProjectFile() {
    OPENFILENAMEW dialog;
    std::wstring buffer;
    prepare(dialog, buffer);
    if (!GetOpenFileNameW(&dialog))
        return std::nullopt; // cancelled, or the dialog could not be shown
    // The dialog leaves the current directory in the folder the user last browsed, which is
    // not the file's folder when a full path was typed; the working copy belongs beside the
    // project, so the file's folder is made current.
    const std::string file = TakeProjectFile(Utf8(std::wstring(buffer.c_str())));
    offer(file);
    return file;
}

void OpenFileDialog::offer(const std::string& file) {
    fileName_ = Wide(file);
}

} // namespace kestrova::win32
