#pragma once
// An Open dialog that gives the answers it was handed, in turn, each taken as the real dialog
// takes a choice (full path, current directory moved to its folder); with no answer left it
// counts as cancelled. It counts how often it was asked and keeps what it was offered.

#include "app/open_command.h"
#include "app/shell_seams.h"

#include <deque>
#include <optional>
#include <string>

namespace kestrova::testing {

class ScriptedFiles final : public FileSelection {
public:
    void answer(const std::string& file) { answers_.emplace_back(file); }
    void cancel() { answers_.emplace_back(std::nullopt); }

    std::optional<std::string> chooseProjectFile() override {
        ++timesAsked;
        if (answers_.empty())
            return std::nullopt;
        const std::optional<std::string> next = answers_.front();
        answers_.pop_front();
        if (!next)
            return std::nullopt;
        return TakeProjectFile(*next);
    }
    void offer(const std::string& file) override { offered = file; }

    int timesAsked = 0;
    std::string offered;

private:
    std::deque<std::optional<std::string>> answers_;
};

} // namespace kestrova::testing
