#pragma once
// How every window runs a command: whatever fails inside it that the command itself does not
// handle is told to the user in the message box, and the window goes on as it was. No failure
// leaves a command, so none reaches a window or dialog procedure, a toolkit's slot or a C
// callback.

#include "app/shell_seams.h"

#include <functional>

namespace kestrova {

inline constexpr const char* kNotEnoughMemory =
    "There is not enough memory to complete the command. Close other programs or check a "
    "smaller project, then try again.";
inline constexpr const char* kCommandFailed = "The command could not be completed.";

// Runs the command. Memory running short gives kNotEnoughMemory; any other failure
// kCommandFailed, followed on the next line by what the failure says of itself. When even the
// message cannot be shown, the failure ends there: it never leaves this function.
void RunCommand(MessageDisplay& messages, const std::function<void()>& command) noexcept;

} // namespace kestrova
