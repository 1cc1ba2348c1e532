// portquell-cli's help: a short overview of every command, and each
// command's own help (synopsis, what it reads and writes, options, exit
// statuses, examples). docs/cli.md says the same per command; a test
// checks that both name the same options and exit statuses.
#pragma once

#include <string>
#include <vector>

namespace portquell {

struct CommandHelp {
    const char* name;
    const char* summary;  // the overview's line
    const char* text;     // its own help
};

// Every command, in the overview's order.
[[nodiscard]] const std::vector<CommandHelp>& CommandHelps();
// The command called name; null when there is none.
[[nodiscard]] const CommandHelp* FindCommandHelp(const std::string& name);
// portquell-cli --help.
[[nodiscard]] std::string OverviewHelp();

}  // namespace portquell
