#include "cli/portquell_cli.h"

#include "cli/cli_commands.h"
#include "cli/cli_help.h"
#include "cli/cli_options.h"
#include "cli/cli_text.h"

#ifndef PORTQUELL_VERSION
#define PORTQUELL_VERSION "unknown"
#endif
#ifndef PORTQUELL_SOURCE_REVISION
#define PORTQUELL_SOURCE_REVISION "development build"
#endif

namespace portquell {

int RunCli(const std::vector<std::string>& args, RegistryApi& registry, DeviceApi& devices,
           std::ostream& out, std::ostream& err, const Pause& pause) {
    const ParsedArgs parsed = ParseArgs(args);
    switch (parsed.outcome) {
        case ParsedArgs::Outcome::Help:
            out << (parsed.helpFor.empty() ? OverviewHelp() : FindCommandHelp(parsed.helpFor)->text);
            return cliexit::kDone;
        case ParsedArgs::Outcome::Version:
            out << kProgram << " " << PORTQUELL_VERSION << " (" << PORTQUELL_SOURCE_REVISION << ")\n";
            return cliexit::kDone;
        case ParsedArgs::Outcome::Usage:
            err << kProgram << ": " << parsed.problem << "\nTry '" << kProgram << " --help'.\n";
            return cliexit::kUsage;
        case ParsedArgs::Outcome::Run:
            break;
    }
    const Options& options = parsed.options;
    if (options.command == "list") return ListCommand(options, registry, devices, out, err);
    if (options.command == "export") return ExportCommand(options, registry, out, err);
    if (options.command == "check") return CheckCommand(options, registry, devices, out, err);
    if (options.command == "mice") return MiceCommand(options, registry, devices, out, err);
    if (options.command == "guard") return GuardCommand(options, registry, devices, out, err);
    if (options.command == "identify") return IdentifyCommand(options, registry, devices, out, err, pause);
    return SwitchCommand(options, registry, devices, out, err);
}

}  // namespace portquell
