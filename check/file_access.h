#pragma once
// The engine's one way to the file system. Paths are UTF-8 inside the engine; each adapter
// (file_access_posix.cpp, file_access_win32.cpp) hands them to its system in the form it
// takes. Every failure comes back as a FileFailure, whose text is our own fixed English
// sentence, whatever the system's language.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#ifdef _WIN32
#include "check/wide_text.h"
#endif

namespace kestrova {

// A path from UTF-8 text and back: the same bytes on every system. On Windows the path holds
// UTF-16, made by the one conversion of wide_text.h; a std::string handed to a path directly
// would be read in the ANSI code page instead.
#ifdef _WIN32
inline std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(win32::Wide(text));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
    return win32::Utf8(path.native());
}
#else
inline std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::string(text));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
    return path.native();
}
#endif

// A file operation the system refused. The code is the system's own: errno on POSIX,
// GetLastError() on Windows.
class FileFailure : public std::exception {
public:
    explicit FileFailure(int code) : code_(code) {}
    int code() const { return code_; }
    // What went wrong, as a clause that follows a colon ("the file system is read-only").
    std::string text() const;
    // The folder does not take new files from this process: a read-only medium or no write
    // permission.
    bool folderNotWritable() const;
    // There is no room left for the file: the device is full or the disk quota used up.
    bool noRoom() const;
    const char* what() const noexcept override { return "a file operation failed"; }

private:
    int code_;
};

// A system file handle (a descriptor on POSIX, a HANDLE on Windows), closed when it goes.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(std::intptr_t native) : native_(native) {}
    ~FileHandle() { close(); }
    FileHandle(FileHandle&& other) noexcept : native_(other.native_) { other.native_ = kNone; }
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            close();
            native_ = std::exchange(other.native_, kNone);
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    std::intptr_t native() const { return native_; }
    // Closes now. False when the system reports that written data may not have reached the
    // file; the code is then in `error`.
    bool close(int* error = nullptr) noexcept;

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t native_ = kNone;
};

enum class FileKind { Regular, Folder, NamedPipe, Device, Socket, Other };

// A file open for reading.
class InputFile {
public:
    // Opens without waiting for anything: a named pipe or a device opens (or fails) at once,
    // and kind() then tells what it is. Throws FileFailure.
    static InputFile open(const std::filesystem::path& path);

    FileKind kind() const { return kind_; }
    // The size the file had when it was opened.
    std::uint64_t sizeAtOpening() const { return size_; }
    // Reads up to `size` bytes; 0 at the end of the file. Throws FileFailure.
    std::size_t read(char* buffer, std::size_t size);

private:
    InputFile(FileHandle handle, FileKind kind, std::uint64_t size)
        : handle_(std::move(handle)), kind_(kind), size_(size) {}

    FileHandle handle_;
    FileKind kind_;
    std::uint64_t size_;
};

// A file open for writing.
class OutputFile {
public:
    explicit OutputFile(FileHandle handle) : handle_(std::move(handle)) {}
    // Writes every byte or throws FileFailure.
    void writeAll(std::string_view bytes);
    // Closes now; throws FileFailure when written data may not have reached the file.
    void close() {
        int error = 0;
        if (!handle_.close(&error))
            throw FileFailure(error);
    }

private:
    FileHandle handle_;
};

// The most checks one process runs at once (kpjcheck -j). Each keeps its working copy on the
// list of files removed when the process ends, and two while it moves the copy to the temporary
// folder; the list has room for them all.
inline constexpr int kMostChecksAtOnce = 64;
inline constexpr int kMostFilesListed = 2 * kMostChecksAtOnce + 8;

// Keeps a file this process made on the list of files removed when the process is ended by a
// signal (Ctrl+C, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1 and every other signal that ends a process
// unless it is caught; the console closing on Windows) or through exit(). On Windows the system
// removes the file even when the process is ended by force (TerminateProcess): the list holds
// it open with delete-on-close, so leaving the list removes it there. On POSIX leaving the list
// does not remove the file, and SIGKILL, which no process can catch, leaves it.
class RemovalOnExit {
public:
    RemovalOnExit() = default;
    explicit RemovalOnExit(int slot) : slot_(slot) {}
    ~RemovalOnExit();
    RemovalOnExit(RemovalOnExit&& other) noexcept : slot_(other.slot_) { other.slot_ = -1; }
    // The entry this one held leaves the list with `other`, which the caller is done with.
    RemovalOnExit& operator=(RemovalOnExit&& other) noexcept {
        std::swap(slot_, other.slot_);
        return *this;
    }
    RemovalOnExit(const RemovalOnExit&) = delete;
    RemovalOnExit& operator=(const RemovalOnExit&) = delete;

private:
    int slot_ = -1;
};

struct NewFile {
    OutputFile file;
    RemovalOnExit removal;
};

// Creates the file only if nothing of that name exists (never through a link), readable and
// writable by its owner whatever the umask, and puts it on the list of files removed when the
// process is ended. On Windows every other open of the file must share delete access. Nothing when
// the name is taken; throws FileFailure on any other failure.
std::optional<NewFile> CreateNewFile(const std::filesystem::path& path);

struct WritableFile {
    OutputFile file;
    bool created; // the file did not exist before
};

// Opens the file for writing, emptied; where there is none, creates it with the permissions a
// new file gets. Tells whether this call created it, so that a caller removes only a file of
// its own making. Throws FileFailure.
WritableFile OpenForWriting(const std::filesystem::path& path);

// Whether something of that name can be opened for reading. Never waits: a named pipe
// answers at once.
bool CanOpenForReading(const std::filesystem::path& path) noexcept;

// Removes the file; one that is already gone counts as removed. The failure, if any.
std::optional<FileFailure> RemoveFile(const std::filesystem::path& path) noexcept;

// The user's temporary folder: $TMPDIR, else /tmp (on Windows, GetTempPathW).
std::filesystem::path UserTemporaryFolder();

// Makes the process remove the files on the removal list when a signal ends it (then it ends
// as that signal asks) and when it ends through exit(). A signal the process was started with
// ignored (nohup) stays ignored. A write past the file size limit fails (EFBIG) instead of
// ending the process. Call once, early in main.
void RemoveListedFilesOnExit();

// Writing to a pipe whose reader has gone then fails like any other write instead of ending the
// process (SIGPIPE); Windows reports such a write as failed anyway.
void FailWritesToClosedPipes();

} // namespace kestrova
