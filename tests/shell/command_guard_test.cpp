// A window's command that fails: the user is told in the message box, and nothing leaves the
// command.

#include "app/command_guard.h"

#include "../app/recording_messages.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrova {
namespace {

using Texts = std::vector<std::string>;

TEST(RunCommand, TellsWhatFailedOrNothingWhenTheCommandSucceeds) {
    const struct {
        const char* name;
        std::function<void()> command;
        Texts shown;
    } cases[] = {
        {"succeeds", [] {}, {}},
        {"out of memory", [] { throw std::bad_alloc(); }, {kNotEnoughMemory}},
        {"array too large", [] { throw std::bad_array_new_length(); }, {kNotEnoughMemory}},
        {"other failure",
         [] { throw std::length_error("text too long"); },
         {std::string(kCommandFailed) + "\r\ntext too long"}},
        {"not an exception", [] { throw 7; }, {kCommandFailed}},
    };
    for (const auto& c : cases) {
        testing::RecordingMessages messages;
        RunCommand(messages, c.command);
        EXPECT_EQ(messages.texts, c.shown) << c.name;
    }
}

// A message box that cannot show its message either.
class FailingMessages final : public MessageDisplay {
public:
    void showMessage(const std::string&) override {
        ++tries;
        throw std::bad_alloc();
    }
    int tries = 0;
};

TEST(RunCommand, EndsTheFailureThereWhenEvenTheMessageCannotBeShown) {
    FailingMessages messages;
    EXPECT_NO_THROW(RunCommand(messages, [] { throw std::bad_alloc(); }));
    EXPECT_EQ(messages.tries, 1);
}

} // namespace
} // namespace kestrova
