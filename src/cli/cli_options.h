// portquell-cli's command line: one command, its options and port names.
#pragma once

#include <string>
#include <vector>

namespace portquell {

struct Options {
    std::string command;
    bool all = false;   // every serial port: the default of list, check and export
    bool acpi = false;  // list, check, export: the window's ACPI ports only
    bool json = false;
    bool dryRun = false;
    bool now = false;   // disable: restart the ports and remove their serial mice
    bool mice = false;  // check: a serial mouse present on a port checked fails it
    bool guard = false; // check: the serial mouse guard not in force fails it
    bool anonymize = false;  // report: placeholders for serial numbers and the computer's name
    int timeout = 60;   // identify: seconds to watch
    std::vector<std::string> ports;  // guard: its one word, "on" or "off"; report: its file
};

struct ParsedArgs {
    enum class Outcome { Run, Help, Version, Usage };
    Outcome outcome = Outcome::Run;
    Options options;
    std::string problem;  // for Usage, already escaped for the console
    std::string helpFor;  // for Help: the command whose help; "" the overview
};

// Reads args (without the program name); --help and --version win over
// everything else.
[[nodiscard]] ParsedArgs ParseArgs(const std::vector<std::string>& args);

}  // namespace portquell
