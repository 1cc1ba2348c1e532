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

const char* ProgramVersion() { return PORTQUELL_VERSION; }
const char* ProgramRevision() { return PORTQUELL_SOURCE_REVISION; }

namespace {

int Dispatch(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
             std::ostream& err, const Pause& pause) {
    if (options.command == "list") return ListCommand(options, registry, devices, out, err);
    if (options.command == "export") return ExportCommand(options, registry, out, err);
    if (options.command == "check") return CheckCommand(options, registry, devices, out, err);
    if (options.command == "mice") return MiceCommand(options, registry, devices, out, err);
    if (options.command == "guard") return GuardCommand(options, registry, devices, out, err);
    if (options.command == "report") return ReportCommand(options, registry, devices, out, err);
    if (options.command == "identify") return IdentifyCommand(options, registry, devices, out, err, pause);
    return SwitchCommand(options, registry, devices, out, err);
}

// The command line as the event shows it: each argument with a blank or a
// quote in quotes.
std::string CommandLine(const std::vector<std::string>& args) {
    std::string line = kProgram;
    for (const std::string& arg : args) {
        const bool quote = arg.empty() || arg.find_first_of(" \t\"") != std::string::npos;
        line += " ";
        if (!quote) {
            line += arg;
            continue;
        }
        line += '"';
        for (const char c : arg) line += c == '"' ? std::string("\\\"") : std::string(1, c);
        line += '"';
    }
    return line;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, RegistryApi& registry, DeviceApi& devices,
           std::ostream& out, std::ostream& err, const Pause& pause, const ChangeSeams* seams) {
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
    const bool changes = !options.dryRun && (options.command == "disable" || options.command == "enable" ||
                                             (options.command == "guard" && !options.ports.empty()));
    if (!changes) return Dispatch(options, registry, devices, out, err, pause);

    MemoryEventLog ownLog;
    MemoryRunLock ownLock;
    ChangeSeams run = seams != nullptr ? *seams : ChangeSeams{ownLog, ownLock, {}};
    run.context.program = kProgram;
    run.context.commandLine = CommandLine(args);
    int code = cliexit::kDone;
    const ChangeRunOutcome outcome = RunChange(run, registry, devices, [&](RegistryApi& r, DeviceApi& d) {
        code = Dispatch(options, r, d, out, err, pause);
    });
    if (outcome.lock == LockOutcome::Busy) {
        err << kProgram << ": another Portquell run is changing this PC; nothing was changed.\n";
        return cliexit::kRegistryError;
    }
    if (outcome.lock == LockOutcome::Refused) {
        err << kProgram << ": the lock that keeps Portquell's runs apart could not be taken (status "
            << outcome.lockStatus << "); nothing was changed.\n";
        return outcome.lockStatus == regstatus::kAccessDenied ? cliexit::kAccessDenied : cliexit::kRegistryError;
    }
    if (outcome.lock == LockOutcome::TakenOver) {
        err << kProgram << ": note: a Portquell run ended midway while changing this PC; this run took over after "
                           "it.\n";
    }
    // What was done stands as the exit status says, recorded or not.
    if (outcome.reported && outcome.reportStatus != 0) {
        err << kProgram << ": warning: this run could not be recorded in the event log (status " << outcome.reportStatus
            << ").\n";
    }
    return code;
}

}  // namespace portquell
