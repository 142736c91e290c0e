// What a window takes from outside itself, the same for every window: the command line's
// grammar, and which dropped files are checked.

#include "app/command_line.h"
#include "app/open_command.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kestrova {
namespace {

using Action = CommandLine::Action;
using Arguments = std::vector<std::string>;

TEST(ReadCommandLine, TellsWhatToDoForEachForm) {
    const struct {
        Arguments arguments;
        Action action;
        std::string projectFile;
    } cases[] = {
        {{}, Action::OpenWindow, {}},
        {{"show.kpj"}, Action::OpenWindow, "show.kpj"},
        {{"--help"}, Action::ShowHelp, {}},
        {{"show.kpj", "-h"}, Action::ShowHelp, {}},
        {{"--version"}, Action::ShowVersion, {}},
        {{"--", "--help"}, Action::OpenWindow, "--help"},
        {{"-"}, Action::OpenWindow, "-"},
        {{"--print"}, Action::Refuse, {}},
        {{"a.kpj", "b.kpj"}, Action::Refuse, {}},
        // A Latin-1 name from an old archive keeps its bytes.
        {{"Caf\xE9.kpj"}, Action::OpenWindow, "Caf\xE9.kpj"},
    };
    for (const auto& c : cases) {
        const CommandLine line = ReadCommandLine(c.arguments);
        const std::string given = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(line.action, c.action) << given;
        EXPECT_EQ(line.projectFile, c.projectFile) << given;
        EXPECT_EQ(line.problem.empty(), c.action != Action::Refuse) << given;
    }
    EXPECT_EQ(RefusalText(ReadCommandLine({"--print"})),
              "kestrova-checker: unknown option \"--print\"\nTry \"kestrova-checker --help\".\n");
}

TEST(DroppedProjectFile, TakesOneProjectFileInAnyLetterCaseAndNothingElse) {
    const struct {
        Arguments dropped;
        std::optional<std::string> taken;
    } cases[] = {
        {{"/films/show.kpj"}, "/films/show.kpj"},
        {{"C:\\Films\\SHOW.KPJ"}, "C:\\Films\\SHOW.KPJ"},
        {{"/films/Caf\xE9.Kpj"}, "/films/Caf\xE9.Kpj"},
        {{"/films/notes.txt"}, std::nullopt},
        {{"/films/show.kpj.txt"}, std::nullopt},
        {{"kpj"}, std::nullopt},
        {{"/films/a.kpj", "/films/b.kpj"}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DroppedProjectFile(c.dropped), c.taken) << ::testing::PrintToString(c.dropped);
}

} // namespace
} // namespace kestrova
