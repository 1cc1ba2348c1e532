#include "cli/cli_options.h"

#include "cli/cli_help.h"
#include "cli/cli_text.h"

namespace portquell {

namespace {

ParsedArgs Usage(std::string problem) {
    ParsedArgs parsed;
    parsed.outcome = ParsedArgs::Outcome::Usage;
    parsed.problem = std::move(problem);
    return parsed;
}

bool IsCommand(const std::string& word) { return word != "help" && FindCommandHelp(word) != nullptr; }

// --help, or the help command: the overview, or one command's own.
ParsedArgs Help(const std::vector<std::string>& args) {
    std::vector<std::string> words;
    bool flag = false;  // --help, -h or /?
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h" || arg == "/?") flag = true;
        if (!arg.empty() && arg[0] != '-' && arg != "/?") words.push_back(arg);
    }
    // "help COMMAND", or "help" alone: the overview ("help --help": its own).
    const bool helpCommand = !words.empty() && words[0] == "help";
    if (helpCommand && (words.size() > 1 || !flag)) {
        words.erase(words.begin());
        if (words.size() > 1) return Usage("help takes one command");
    } else if (words.size() > 1) {
        words.resize(1);  // "disable COM5 --help": the command's own, whatever it was given
    }
    if (!words.empty() && FindCommandHelp(words[0]) == nullptr) {
        return Usage("unknown command '" + Printable(words[0]) + "'");
    }
    ParsedArgs parsed;
    parsed.outcome = ParsedArgs::Outcome::Help;
    if (!words.empty()) parsed.helpFor = words[0];
    return parsed;
}

}  // namespace

ParsedArgs ParseArgs(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h" || arg == "/?") return Help(args);
        if (arg == "--version") {
            parsed.outcome = ParsedArgs::Outcome::Version;
            return parsed;
        }
    }
    Options& options = parsed.options;
    bool timeoutGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--timeout") {
            // Whole seconds, 1 to a day.
            const std::string value = i + 1 < args.size() ? args[++i] : "";
            if (value.empty() || value.size() > 5 ||
                value.find_first_not_of("0123456789") != std::string::npos || std::stoi(value) < 1 ||
                std::stoi(value) > 86400) {
                return Usage("--timeout takes a number of seconds from 1 to 86400");
            }
            options.timeout = std::stoi(value);
            timeoutGiven = true;
        } else if (arg == "--all") {
            options.all = true;
        } else if (arg == "--acpi") {
            options.acpi = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--dry-run") {
            options.dryRun = true;
        } else if (arg == "--now") {
            options.now = true;
        } else if (arg == "--mice") {
            options.mice = true;
        } else if (arg == "--guard") {
            options.guard = true;
        } else if (arg == "--anonymize") {
            options.anonymize = true;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            // Anything that looks like an option is one: "-n" is never a port.
            return Usage("unknown option '" + Printable(arg) + "'");
        } else if (options.command.empty()) {
            options.command = arg;
        } else {
            options.ports.push_back(arg);
        }
    }
    const std::string& command = options.command;
    if (command.empty()) return Usage("no command given");
    if (command == "help") return Help(args);
    if (!IsCommand(command)) return Usage("unknown command '" + Printable(command) + "'");
    const bool switches = command == "disable" || command == "enable";
    const bool takesPorts = switches || command == "check";
    if (options.json && command == "export") return Usage("--json is not for export: it prints a .reg file");
    if (options.dryRun && !switches && command != "guard") return Usage("--dry-run is for disable, enable and guard only");
    if (options.now && command != "disable") return Usage("--now is for disable only");
    if (options.mice && command != "check") return Usage("--mice is for check only");
    if (options.all && command == "mice") return Usage("mice lists every serial mouse: no --all");
    if (options.guard && command != "check") return Usage("--guard is for check only");
    if (timeoutGiven && command != "identify") return Usage("--timeout is for identify only");
    if (command == "identify" && (options.all || options.acpi)) return Usage("identify watches every port: no --all or --acpi");
    if (options.acpi && command != "list" && command != "check" && command != "export") {
        return Usage("--acpi is for list, check and export only");
    }
    if (options.acpi && options.all) return Usage("give --acpi or --all, not both");
    if (options.acpi && !options.ports.empty()) return Usage("give port names or --acpi, not both");
    if (options.anonymize && command != "report") return Usage("--anonymize is for report only");
    if (command == "report") {
        if (options.all || options.acpi || options.json) return Usage("report writes one JSON file of every port: no options but --anonymize");
        if (options.ports.size() > 1) return Usage("report takes one file name");
        return parsed;
    }
    if (command == "guard") {
        if (options.all) return Usage("the guard is machine-wide: no --all");
        if (options.ports.size() > 1 || (options.ports.size() == 1 && options.ports[0] != "on" && options.ports[0] != "off")) {
            return Usage("guard takes 'on', 'off' or nothing");
        }
        if (options.dryRun && options.ports.empty()) return Usage("--dry-run is for guard on and guard off");
        return parsed;
    }
    if (!takesPorts && !options.ports.empty()) {
        return Usage("unexpected argument '" + Printable(options.ports.front()) + "'");
    }
    if (switches && options.ports.empty() && !options.all) {
        return Usage(command + " needs port names or --all");
    }
    if (takesPorts && options.all && !options.ports.empty()) {
        return Usage("give port names or --all, not both");
    }
    return parsed;
}

}  // namespace portquell
