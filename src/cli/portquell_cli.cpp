#include "cli/portquell_cli.h"

#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/cli_text.h"

#ifndef PORTQUELL_VERSION
#define PORTQUELL_VERSION "unknown"
#endif
#ifndef PORTQUELL_SOURCE_REVISION
#define PORTQUELL_SOURCE_REVISION "development build"
#endif

namespace portquell {

namespace {

constexpr const char* kHelp =
    "Usage: portquell-cli COMMAND [OPTIONS]\n"
    "\n"
    "Switches Windows' serial mouse detection off or on for serial ports, by\n"
    "writing SkipEnumerations (REG_DWORD -1 = off, 0 = on) in each port's\n"
    "Device Parameters key, exactly as the Portquell window does.\n"
    "\n"
    "Commands:\n"
    "  list [--acpi] [--json]       list the ports, whether detection is off and\n"
    "                               whether each is connected now\n"
    "  disable [--dry-run] [--now] PORT...\n"
    "                               switch detection off for these ports; --now then\n"
    "                               restarts each connected port that needs it and\n"
    "                               removes its serial mice (with --all also those\n"
    "                               whose port cannot be told); all ports or none:\n"
    "                               a refused write puts back those written before\n"
    "  enable [--dry-run] PORT...   switch detection on again\n"
    "  export [--acpi]              print a .reg file that sets the current states\n"
    "                               (importing it creates the keys a machine lacks)\n"
    "  check [--acpi] [--json] [--mice] [--guard] [PORT...]\n"
    "                               exit 0 if detection is off on every port asked\n"
    "                               about, 1 if it is on anywhere (or a port is missing,\n"
    "                               or with --mice a serial mouse is present on one\n"
    "                               or on a port that cannot be told; with --guard the\n"
    "                               serial mouse guard is not in force)\n"
    "  mice [--json]                every serial mouse Windows installed, with its port\n"
    "  guard [on|off] [--dry-run] [--json]\n"
    "                               the machine-wide guard, for every port present or\n"
    "                               future: Windows' device installation policy that\n"
    "                               gives no serial mouse (SERIAL_MOUSE) a driver; 'on'\n"
    "                               sets it (never switching on a list that holds\n"
    "                               others' entries) and removes the serial mice\n"
    "                               installed before it, which keep their driver\n"
    "                               otherwise; 'off' undoes what 'on' did (leaving the\n"
    "                               switch on while others' entries are listed) and\n"
    "                               reinstalls nothing: Windows installs a mouse again\n"
    "                               when it next detects one; neither word shows its\n"
    "                               state (exit 0 in force and no such mouse left, 1\n"
    "                               not). A Group Policy or Intune policy that sets\n"
    "                               \"Prevent installation of devices that match any of\n"
    "                               these device IDs\" replaces the list at its next\n"
    "                               refresh: 'check --guard' shows whether it holds\n"
    "\n"
    "PORT is a port name such as COM3 (any case), a port's key (its device\n"
    "instance ID such as ACPI\\PNP0501\\2, alone or as HKLM\\SYSTEM\\...), or --all\n"
    "for every port; a name that several ports carry means all of them.\n"
    "A serial port is an ACPI port (ACPI\\PNP0501, instances 1 to 200) that the\n"
    "window shows, named or not, or a device under\n"
    "HKLM\\SYSTEM\\CurrentControlSet\\Enum whose PortName is COM and a number\n"
    "(USB-serial adapters, PCI cards, ...); LPT1 and the like are not. list,\n"
    "export and check take every serial port (--all, the default); with --acpi\n"
    "only the window's. disable --all switches off whatever check finds on.\n"
    "Detection counts as off only where SkipEnumerations holds the four bytes\n"
    "FF FF FF FF, not as text, which Windows' serial enumerator reads as\n"
    "0xFFFFFFFF; check says why not. A port not connected now is not restarted:\n"
    "the change is in force when it is next connected. Nor is a port that was\n"
    "off already and carries no serial mouse.\n"
    "\n"
    "Options:\n"
    "  --all       every serial port on the machine (list, check, export: the default)\n"
    "  --acpi      list, check, export: the window's ACPI ports only\n"
    "  --json      machine-readable output, for every command but export\n"
    "  --dry-run   disable, enable, guard on/off: the plan (every write, restart\n"
    "              and removal the command would make), changing nothing\n"
    "  --now       disable: put the change in force now, not at the next restart\n"
    "  --mice      check: fail while a serial mouse is present on a port checked\n"
    "  --guard     check: fail unless the serial mouse guard is in force\n"
    "  --help      this text\n"
    "  --version   the version\n"
    "\n"
    "Names read from the registry are shown with bytes outside printable ASCII\n"
    "(DEL included) as \\xHH and a backslash as \\\\; in JSON as the characters\n"
    "they are in the system's code page.\n"
    "\n"
    "Exit status: 0 done (check: detection is off everywhere asked about;\n"
    "guard: in force), 1 a named port was not found, nothing written (check:\n"
    "detection is on somewhere, or a named port was not found; guard: not in\n"
    "force; on: not set, as it would switch on others' entries; off: still in\n"
    "force by another's entry, or the switch left on for others' entries), 2\n"
    "access denied to a key that could hold a port asked about or to the\n"
    "guard's keys (run as administrator; nothing written), 3 the registry\n"
    "refused otherwise (nothing written; disable and enable put back every\n"
    "port written before a refused write, and name each port they could not\n"
    "put back, with its value now), 4 export incomplete (a port whose key a .reg file\n"
    "cannot carry was left out and named on stderr), 5 disable --now wrote\n"
    "every port but the change is in force only from the next restart on at\n"
    "least one (each port's line says why: a restart or removal not done,\n"
    "mice that could not be listed or told to their ports, a present serial\n"
    "mouse whose port cannot be told left in place; guard on: set, but a serial\n"
    "mouse installed before it keeps its driver until Windows restarts, could\n"
    "not be removed, or the mice could not be listed), 64 usage\n"
    "error. 2 and 3 win over 1, 4 and 5.\n";

}  // namespace

int RunCli(const std::vector<std::string>& args, RegistryApi& registry, DeviceApi& devices,
           std::ostream& out, std::ostream& err) {
    const ParsedArgs parsed = ParseArgs(args);
    switch (parsed.outcome) {
        case ParsedArgs::Outcome::Help:
            out << kHelp;
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
    return SwitchCommand(options, registry, devices, out, err);
}

}  // namespace portquell
