// The file-access seam on Windows. A std::filesystem::path holds UTF-16 here, built from the
// engine's UTF-8 by PathFromUtf8, so every call takes the wide ("W") form.

#include "check/file_access.h"

#include "check/removal_table.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <utility>

namespace kestrova {
namespace {

HANDLE Native(const FileHandle& handle) {
    return reinterpret_cast<HANDLE>(handle.native());
}

std::intptr_t Stored(HANDLE handle) {
    return reinterpret_cast<std::intptr_t>(handle);
}

// ERROR_DISK_QUOTA_EXCEEDED, which MinGW's headers lack.
constexpr DWORD kDiskQuotaExceeded = 1295;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FileKind KindOf(HANDLE handle) {
    switch (GetFileType(handle)) {
    case FILE_TYPE_DISK: {
        BY_HANDLE_FILE_INFORMATION information{};
        if (GetFileInformationByHandle(handle, &information) &&
            (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return FileKind::Folder;
        return FileKind::Regular;
    }
    case FILE_TYPE_PIPE:
        return FileKind::NamedPipe;
    case FILE_TYPE_CHAR:
        return FileKind::Device;
    default:
        return FileKind::Other;
    }
}

// ---------------------------------------------------------------------------------------------
// The removal list. The console control handler runs on a thread of its own, so every entry
// is a fixed buffer prepared before the entry is marked armed.

// Without fork, every file is this process's own.
constexpr int kThisProcess = 0;
RemovalTable<wchar_t, 4096, int> gListed;

void RemoveListedFiles() noexcept {
    gListed.removeAll(kThisProcess, [](const wchar_t* path) { DeleteFileW(path); });
}

extern "C" void RemoveListedFilesAtExit() {
    RemoveListedFiles();
}

// Between the CreateFileW that makes a file and its listing, the file exists unlisted.
std::atomic<int> gFilesBeingMade{0};

class FileBeingMade {
public:
    FileBeingMade() { gFilesBeingMade.fetch_add(1); }
    ~FileBeingMade() { gFilesBeingMade.fetch_sub(1); }
    FileBeingMade(const FileBeingMade&) = delete;
    FileBeingMade& operator=(const FileBeingMade&) = delete;
};

// Ctrl+C, Ctrl+Break, the console window closing, log-off and shut-down: the files go, then
// the default handling ends the process. The handler has a thread of its own, so it can wait
// for a file being made to be listed; the system allows it some seconds, this takes at most one.
BOOL WINAPI RemoveListedFilesOnConsoleEvent(DWORD) {
    const ULONGLONG deadline = GetTickCount64() + 1000;
    while (gFilesBeingMade.load() > 0 && GetTickCount64() < deadline)
        Sleep(1);
    RemoveListedFiles();
    return FALSE;
}

// A second handle to each listed file, opened with delete-on-close: the system removes the file
// once its last handle closes, however the process ends, even by TerminateProcess ("End task"),
// which runs none of the process's code. Held by the entry's slot, so that the name stays while
// the check runs and the file goes when the entry leaves the list.
HANDLE gKeepers[decltype(gListed)::kSize] = {};

void CloseKeeper(int slot) {
    if (gKeepers[slot] != nullptr)
        CloseHandle(std::exchange(gKeepers[slot], nullptr));
}

// A keeper that finds no slot closes at once: the file then goes as soon as it is closed.
RemovalOnExit List(const std::filesystem::path& path, HANDLE keeper) {
    const int slot = gListed.list(path.native(), kThisProcess);
    if (slot < 0) {
        CloseHandle(keeper);
        return RemovalOnExit();
    }
    gKeepers[slot] = keeper;
    return RemovalOnExit(slot);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Failures

std::string FileFailure::text() const {
    switch (static_cast<DWORD>(code_)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "there is no such file or folder";
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
        return "permission denied";
    case ERROR_WRITE_PROTECT:
        return "the file system is read-only";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return "there is no space left on the device";
    case kDiskQuotaExceeded:
        return "the disk quota is used up";
    case ERROR_DIRECTORY:
        return "a part of the path is not a folder";
    case ERROR_CANT_RESOLVE_FILENAME:
        return "there are too many symbolic links in the path";
    case ERROR_FILENAME_EXCED_RANGE:
        return "the name is too long";
    case ERROR_TOO_MANY_OPEN_FILES:
        return "this program has too many files open";
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
        return "an input/output error occurred";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return "the file is in use";
    case ERROR_PIPE_BUSY:
        return "the file or device is busy";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return "a file of that name exists already";
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
        return "the name or the operation is not valid";
    case ERROR_NOT_READY:
    case ERROR_BAD_UNIT:
        return "there is no such device";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return "there is not enough memory";
    case ERROR_BAD_NETPATH:
    case ERROR_NETNAME_DELETED:
        return "the network share cannot be reached";
    default:
        return "the system reported error " + std::to_string(code_);
    }
}

bool FileFailure::folderNotWritable() const {
    const auto code = static_cast<DWORD>(code_);
    return code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT ||
           code == ERROR_NETWORK_ACCESS_DENIED;
}

bool FileFailure::noRoom() const {
    const auto code = static_cast<DWORD>(code_);
    return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL || code == kDiskQuotaExceeded;
}

// ---------------------------------------------------------------------------------------------
// Handles and files

bool FileHandle::close(int* error) noexcept {
    if (native_ == kNone)
        return true;
    const HANDLE handle = reinterpret_cast<HANDLE>(native_);
    native_ = kNone;
    if (CloseHandle(handle))
        return true;
    if (error != nullptr)
        *error = static_cast<int>(GetLastError());
    return false;
}

InputFile InputFile::open(const std::filesystem::path& path) {
    // FILE_FLAG_BACKUP_SEMANTICS opens a folder too, so that the caller can say what it is.
    // Opening a pipe never waits: a busy one fails with ERROR_PIPE_BUSY.
    FileHandle handle(Stored(CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
    if (Native(handle) == INVALID_HANDLE_VALUE)
        throw FileFailure(static_cast<int>(GetLastError()));
    const FileKind kind = KindOf(Native(handle));
    LARGE_INTEGER size{};
    if (kind == FileKind::Regular && !GetFileSizeEx(Native(handle), &size))
        throw FileFailure(static_cast<int>(GetLastError()));
    return InputFile(std::move(handle), kind, static_cast<std::uint64_t>(size.QuadPart));
}

std::size_t InputFile::read(char* buffer, std::size_t size) {
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(Native(handle_), buffer, wanted, &got, nullptr))
        throw FileFailure(static_cast<int>(GetLastError()));
    return got;
}

void OutputFile::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const auto wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD put = 0;
        if (!WriteFile(Native(handle_), bytes.data(), wanted, &put, nullptr))
            throw FileFailure(static_cast<int>(GetLastError()));
        if (put == 0)
            throw FileFailure(ERROR_WRITE_FAULT);
        bytes.remove_prefix(put);
    }
}

// ---------------------------------------------------------------------------------------------
// Names

std::optional<NewFile> CreateNewFile(const std::filesystem::path& path) {
    const FileBeingMade making;
    // Deleted by the system when its last handle closes (see gKeepers). FILE_SHARE_DELETE lets
    // the console handler remove the file while it is still open, and every other open of it
    // must allow it too.
    FileHandle handle(
        Stored(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, kShareAll, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr)));
    if (Native(handle) == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
            return std::nullopt;
        throw FileFailure(static_cast<int>(error));
    }
    HANDLE keeper = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), Native(handle), GetCurrentProcess(), &keeper, 0,
                         FALSE, DUPLICATE_SAME_ACCESS))
        throw FileFailure(static_cast<int>(GetLastError()));
    return NewFile{OutputFile(std::move(handle)), List(path, keeper)};
}

WritableFile OpenForWriting(const std::filesystem::path& path) {
    FileHandle made(Stored(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (Native(made) != INVALID_HANDLE_VALUE)
        return {OutputFile(std::move(made)), true};
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
        throw FileFailure(static_cast<int>(error));
    FileHandle existing(Stored(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (Native(existing) == INVALID_HANDLE_VALUE)
        throw FileFailure(static_cast<int>(GetLastError()));
    return {OutputFile(std::move(existing)), false};
}

// Anything of that name counts, even what cannot be opened (a folder, a file locked by another
// program): CREATE_NEW would refuse the name all the same.
bool CanOpenForReading(const std::filesystem::path& path) noexcept {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<FileFailure> RemoveFile(const std::filesystem::path& path) noexcept {
    if (DeleteFileW(path.c_str()))
        return std::nullopt;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND)
        return std::nullopt;
    return FileFailure(static_cast<int>(error));
}

std::filesystem::path UserTemporaryFolder() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        return std::filesystem::path(L".");
    return std::filesystem::path(std::wstring(folder, length));
}

// ---------------------------------------------------------------------------------------------
// Removal on exit

RemovalOnExit::~RemovalOnExit() {
    if (slot_ >= 0) {
        CloseKeeper(slot_);
        gListed.release(slot_);
    }
}

void RemoveListedFilesOnExit() {
    static std::atomic<bool> installed{false};
    if (installed.exchange(true))
        return;
    std::atexit(RemoveListedFilesAtExit);
    SetConsoleCtrlHandler(RemoveListedFilesOnConsoleEvent, TRUE);
}

void FailWritesToClosedPipes() {}

} // namespace kestrova
