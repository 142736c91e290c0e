// kpjcheck on Windows: the arguments arrive in UTF-16, and the output goes out with CR LF line
// ends in UTF-8.

#include "check/file_access.h"
#include "cli/kpjcheck.h"
#include "cli/standard_streams.h"

#include <string>
#include <vector>

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <streambuf>

namespace {

// Writes text as Windows programs do: every LF goes out as CR LF. The stream underneath is in
// binary mode, so nothing else is changed; the reports reach us with LF line ends only, so no
// line end is doubled.
class CrLfBuffer final : public std::streambuf {
public:
    explicit CrLfBuffer(std::FILE* file) : file_(file) {}

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        if (c == '\n' && std::fputc('\r', file_) == EOF)
            return traits_type::eof();
        return std::fputc(c, file_) == EOF ? traits_type::eof() : c;
    }
    // Whole runs between line ends go out in one write: reports can be long.
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        std::streamsize done = 0;
        while (done < count) {
            const char* lineEnd = static_cast<const char*>(
                std::memchr(text + done, '\n', static_cast<std::size_t>(count - done)));
            const std::streamsize run = lineEnd ? lineEnd - (text + done) : count - done;
            if (std::fwrite(text + done, 1, static_cast<std::size_t>(run), file_) !=
                static_cast<std::size_t>(run))
                return done;
            done += run;
            if (lineEnd) {
                if (std::fputs("\r\n", file_) == EOF)
                    return done;
                ++done;
            }
        }
        return done;
    }
    int sync() override { return std::fflush(file_) == 0 ? 0 : -1; }

private:
    std::FILE* file_;
};

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    bytes.pop_back(); // the terminating zero
    return bytes;
}

// The reports are UTF-8; a console shows them as such while the tool runs and gets its own
// code page back afterwards.
class ConsoleUtf8 {
public:
    ConsoleUtf8() : saved_(GetConsoleOutputCP()) {
        if (saved_ != 0)
            SetConsoleOutputCP(CP_UTF8);
    }
    ~ConsoleUtf8() {
        if (saved_ != 0)
            SetConsoleOutputCP(saved_);
    }
    ConsoleUtf8(const ConsoleUtf8&) = delete;
    ConsoleUtf8& operator=(const ConsoleUtf8&) = delete;

private:
    UINT saved_;
};

} // namespace

// Windows hands the arguments over in UTF-16; the checker takes paths in UTF-8.
int wmain(int argc, wchar_t** argv) {
    kestrova::RemoveListedFilesOnExit();
    kestrova::FailWritesToClosedPipes();
    kestrova::PrepareStandardStreams();
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(Utf8(argv[i]));
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    const ConsoleUtf8 console;
    CrLfBuffer outBuffer(stdout);
    CrLfBuffer errBuffer(stderr);
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);
    const int status = kestrova::RunKpjcheck(arguments, out, err);
    out.flush();
    err.flush();
    return status;
}
