#include "app/command_guard.h"

#include <exception>
#include <new>
#include <string>

namespace kestrova {
namespace {

// The message for the failure in flight.
std::string FailureMessage(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        return kNotEnoughMemory;
    } catch (const std::exception& other) {
        return std::string(kCommandFailed) + "\r\n" + other.what();
    } catch (...) {
        return kCommandFailed;
    }
}

} // namespace

void RunCommand(MessageDisplay& messages, const std::function<void()>& command) noexcept {
    std::exception_ptr failure;
    try {
        command();
        return;
    } catch (...) {
        // Told below, once the command's own objects are gone and their memory is back.
        failure = std::current_exception();
    }
    try {
        messages.showMessage(FailureMessage(failure));
    } catch (...) {
        // Not even the message could be shown; the window stays as the command left it.
    }
}

} // namespace kestrova
