#pragma once
// Standard output and standard error of kpjcheck on Windows. A console gets the text in
// UTF-16 through WriteConsoleW, so that every letter shows whole whatever the console's code
// page; a file or a pipe gets the UTF-8 bytes through WriteFile. Either way every LF goes out
// as CR LF, as Windows programs write it, and every write's count is checked: text the system
// did not take fails the stream, so that a lost report is never taken for a delivered one.

#include <windows.h>

#include <array>
#include <streambuf>
#include <string>
#include <string_view>

namespace kestrova::win32 {

class StandardStreamBuffer final : public std::streambuf {
public:
    explicit StandardStreamBuffer(HANDLE handle);
    StandardStreamBuffer(const StandardStreamBuffer&) = delete;
    StandardStreamBuffer& operator=(const StandardStreamBuffer&) = delete;

    // Whether the handle is a console, which gets UTF-16.
    bool console() const { return console_; }
    // Whether there is a handle at all: a program may be started with a standard handle closed.
    bool open() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool writeHeld();
    bool writeConsole(std::string_view text);
    bool writeFile(std::string_view bytes);

    HANDLE handle_;
    bool console_;
    bool failed_ = false;
    // The bytes of a letter cut by the end of the held text, kept for the console's next write.
    std::string unfinished_;
    std::array<char, 1 << 14> held_;
};

} // namespace kestrova::win32
