#include "cli/standard_output_win32.h"

#include "check/wide_text.h"
#include "text/utf8.h"

#include <algorithm>
#include <utility>

namespace kestrova::win32 {
namespace {

std::string WithCrLf(std::string_view text) {
    std::string converted;
    converted.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n')
            converted += '\r';
        converted += c;
    }
    return converted;
}

} // namespace

StandardStreamBuffer::StandardStreamBuffer(HANDLE handle) : handle_(handle) {
    DWORD mode = 0;
    console_ = GetConsoleMode(handle, &mode) != 0;
    setp(held_.data(), held_.data() + held_.size());
}

StandardStreamBuffer::int_type StandardStreamBuffer::overflow(int_type c) {
    if (!writeHeld())
        return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int StandardStreamBuffer::sync() {
    return writeHeld() ? 0 : -1;
}

// Once a write has failed, nothing more goes out: the output is incomplete either way.
bool StandardStreamBuffer::writeHeld() {
    const std::string_view held(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(held_.data(), held_.data() + held_.size());
    if (failed_)
        return false;
    const std::string text = WithCrLf(held);
    failed_ = !(console_ ? writeConsole(text) : writeFile(text));
    return !failed_;
}

bool StandardStreamBuffer::writeConsole(std::string_view text) {
    std::string whole = std::exchange(unfinished_, {});
    whole.append(text);
    const std::size_t tail = text::Utf8UnfinishedTail(whole);
    unfinished_ = whole.substr(whole.size() - tail);
    whole.resize(whole.size() - tail);
    const std::wstring wide = Wide(whole);
    for (std::size_t done = 0; done < wide.size();) {
        const auto wanted = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
        DWORD written = 0;
        if (!WriteConsoleW(handle_, wide.data() + done, wanted, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

bool StandardStreamBuffer::writeFile(std::string_view bytes) {
    while (!bytes.empty()) {
        const auto wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(handle_, bytes.data(), wanted, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(std::min<std::size_t>(written, bytes.size()));
    }
    return true;
}

} // namespace kestrova::win32
