#include "cli/cli_help.h"

namespace portquell {

namespace {

const std::vector<CommandHelp> kCommands = {
    {"list", "the serial ports, whether mouse detection is off, whether connected",
     "Usage: portquell-cli list [--acpi] [--json]\n"
     "\n"
     "Lists every serial port: the ACPI ports the window shows (ACPI\\PNP0501,\n"
     "instances 1 to 200) and every device under HKLM\\SYSTEM\\CurrentControlSet\\Enum\n"
     "whose PortName is COM and a number. For each: mouse detection (off only\n"
     "where SkipEnumerations holds the four bytes FF FF FF FF), whether the\n"
     "serial enumerator is on its driver stack, whether it is connected now,\n"
     "the device on it (what it reports, else Windows' name; a USB device's\n"
     "VID and PID, its serial number or \"no serial number\", its USB socket),\n"
     "its key. Reads the registry and the device tree; writes nothing.\n"
     "\n"
     "Options:\n"
     "  --acpi   the window's ACPI ports only\n"
     "  --json   one JSON document on stdout\n"
     "\n"
     "Exit status:\n"
     "  0  listed\n"
     "  2  access denied to a key that could hold a port (the list may be incomplete)\n"
     "  3  the registry refused otherwise\n"
     "  64 usage error\n"
     "\n"
     "Example:\n"
     "  portquell-cli list --json > ports.json\n"},
    {"identify", "which port is a device: plug it in or out and see",
     "Usage: portquell-cli identify [--timeout SECONDS] [--json]\n"
     "\n"
     "Watches the serial ports until one appears (a new port, or one not\n"
     "connected that is now) or goes, then prints its line as list does with\n"
     "\"appeared\" or \"went\". Plug in or pull out the device whose port you\n"
     "want to know. Looks twice a second; reads, writes nothing.\n"
     "\n"
     "Options:\n"
     "  --timeout SECONDS  how long to watch, 1 to 86400 (default 60)\n"
     "  --json             one JSON document on stdout\n"
     "\n"
     "Exit status:\n"
     "  0   a port appeared or went\n"
     "  1   none within the timeout\n"
     "  64  usage error\n"
     "  130 stopped with Ctrl+C\n"
     "\n"
     "Example:\n"
     "  portquell-cli identify --timeout 30\n"},
    {"disable", "switch mouse detection off; --now puts it in force at once",
     "Usage: portquell-cli disable [--dry-run] [--now] [--json] PORT...|--all\n"
     "\n"
     "Writes SkipEnumerations = REG_DWORD -1 in each port's Device Parameters\n"
     "key: all ports or none (a refused write puts back those written before\n"
     "it). PORT is a name such as COM3 (any case) or a port's key (its device\n"
     "instance ID); --all every serial port. Windows applies it when it next\n"
     "enumerates the port. --now then restarts each connected port that needs\n"
     "it and removes its serial mice (with --all also those whose port cannot\n"
     "be told), so the pointer stops jumping without a restart. A port that\n"
     "holds -1 already is not written (\"COM2: off already\"). Each change is\n"
     "reported to the Application event log, one run at a time.\n"
     "\n"
     "Options:\n"
     "  --all      every serial port\n"
     "  --now      restart the ports and remove their serial mice\n"
     "  --dry-run  the plan: every write, restart and removal; nothing changed\n"
     "  --json     one JSON document on stdout\n"
     "\n"
     "Exit status:\n"
     "  0  done (with --now: in force now on every port)\n"
     "  1  a named port was not found; nothing written\n"
     "  2  access denied (run as administrator); nothing written\n"
     "  3  the registry refused otherwise, or another run is changing the PC;\n"
     "     nothing written\n"
     "  5  --now: written, but in force only from the next restart on a port\n"
     "  64 usage error\n"
     "\n"
     "Examples:\n"
     "  portquell-cli disable COM5 --now\n"
     "  portquell-cli disable --all --now --dry-run\n"},
    {"enable", "switch mouse detection on again",
     "Usage: portquell-cli enable [--dry-run] [--json] PORT...|--all\n"
     "\n"
     "Writes SkipEnumerations = REG_DWORD 0 in each port's Device Parameters\n"
     "key, all ports or none, as disable does (a port that holds 0 already is\n"
     "not written). Windows detects serial mice on the port again when it\n"
     "next enumerates it.\n"
     "\n"
     "Options:\n"
     "  --all      every serial port\n"
     "  --dry-run  the plan: every write; nothing changed\n"
     "  --json     one JSON document on stdout\n"
     "\n"
     "Exit status:\n"
     "  0  done\n"
     "  1  a named port was not found; nothing written\n"
     "  2  access denied (run as administrator); nothing written\n"
     "  3  the registry refused otherwise, or another run is changing the PC;\n"
     "     nothing written\n"
     "  64 usage error\n"
     "\n"
     "Example:\n"
     "  portquell-cli enable COM3\n"},
    {"export", "a .reg file that sets the current states",
     "Usage: portquell-cli export [--acpi]\n"
     "\n"
     "Prints a .reg file (REGEDIT4) that sets each port's SkipEnumerations as it\n"
     "is now; importing it creates the keys a machine lacks. A port whose key a\n"
     ".reg file cannot carry is left out and named on stderr. Writes nothing.\n"
     "\n"
     "Options:\n"
     "  --acpi   the window's ACPI ports only\n"
     "\n"
     "Exit status:\n"
     "  0  exported\n"
     "  2  access denied to a key that could hold a port\n"
     "  3  the registry refused otherwise\n"
     "  4  incomplete: a port was left out\n"
     "  64 usage error\n"
     "\n"
     "Example:\n"
     "  portquell-cli export > serial-mouse.reg\n"},
    {"check", "exit 0 when detection is off everywhere asked: the detection command",
     "Usage: portquell-cli check [--acpi] [--mice] [--guard] [--json] [PORT...|--all]\n"
     "\n"
     "Reads, never writes, and exits 0 when mouse detection is off on every\n"
     "port asked about (every serial port by default) and every key that could\n"
     "hold one was read; otherwise names each port that is on, and why, on\n"
     "stderr. The detection command of a detection/remediation pair.\n"
     "\n"
     "Options:\n"
     "  --all    every serial port (the default)\n"
     "  --acpi   the window's ACPI ports only; says how many others it left\n"
     "  --mice   also fail while a serial mouse is present on a port checked\n"
     "  --guard  also fail unless the serial mouse guard is in force\n"
     "  --json   one JSON document on stdout, with \"compliant\"\n"
     "\n"
     "Exit status:\n"
     "  0  compliant\n"
     "  1  detection on somewhere, a named port missing, a mouse present (--mice)\n"
     "     or the guard not in force (--guard)\n"
     "  2  access denied to a key that could hold a port (run as SYSTEM)\n"
     "  3  the registry refused otherwise\n"
     "  64 usage error\n"
     "\n"
     "Example:\n"
     "  portquell-cli check --mice || portquell-cli disable --all --now\n"},
    {"mice", "every serial mouse Windows installed, with its port",
     "Usage: portquell-cli mice [--json]\n"
     "\n"
     "Lists every serial mouse installed, present or not: the mouse-class\n"
     "devices the serial enumerator made or compatible with SERIAL_MOUSE, each\n"
     "with its port (the parent Windows names, or the one port whose\n"
     "ParentIdPrefix begins its instance ID; ? when it cannot be told, none\n"
     "when it is on no serial port). Reads; writes nothing.\n"
     "\n"
     "Options:\n"
     "  --json   one JSON document on stdout\n"
     "\n"
     "Exit status:\n"
     "  0  listed\n"
     "  2  access denied: the mice or a port's key could not be read\n"
     "  3  refused otherwise\n"
     "  64 usage error\n"
     "\n"
     "Example:\n"
     "  portquell-cli mice\n"},
    {"guard", "the machine-wide guard: no serial mouse gets a driver, on any port",
     "Usage: portquell-cli guard [on|off] [--dry-run] [--json]\n"
     "\n"
     "Windows' device installation policy \"Prevent installation of devices that\n"
     "match any of these device IDs\" with SERIAL_MOUSE in its list, under\n"
     "HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows\\DeviceInstall\\Restrictions. Alone:\n"
     "whether it is in force and why. 'on' adds SERIAL_MOUSE (never switching\n"
     "on a list that holds others' entries), records what it changes under\n"
     "HKLM\\SOFTWARE\\Portquell\\Guard first, and removes the serial mice installed\n"
     "before it, which keep their driver otherwise. 'off' undoes what 'on' did,\n"
     "nothing else, and reinstalls nothing. A Group Policy or Intune policy that\n"
     "sets the same list replaces it at its next refresh.\n"
     "\n"
     "Options:\n"
     "  --dry-run  on, off: the plan: every write and removal; nothing changed\n"
     "  --json     one JSON document on stdout\n"
     "\n"
     "Exit status:\n"
     "  0  in force (state); done (on, off)\n"
     "  1  not in force (state); on: not set, as it would switch on others'\n"
     "     entries; off: still in force by another's entry, or the switch left on\n"
     "  2  access denied (run as administrator); nothing changed\n"
     "  3  the registry refused otherwise, or another run is changing the PC;\n"
     "     nothing changed\n"
     "  5  on: set, but a serial mouse keeps its driver until Windows restarts\n"
     "  64 usage error\n"
     "\n"
     "Examples:\n"
     "  portquell-cli guard on --dry-run\n"
     "  portquell-cli guard on\n"},
    {"help", "a command's own help",
     "Usage: portquell-cli help [COMMAND]\n"
     "\n"
     "Prints COMMAND's own help (the same as 'portquell-cli COMMAND --help'),\n"
     "or without one the overview of every command.\n"
     "\n"
     "Exit status:\n"
     "  0  printed\n"
     "  64 usage error: no such command\n"
     "\n"
     "Example:\n"
     "  portquell-cli help guard\n"},
};

}  // namespace

const std::vector<CommandHelp>& CommandHelps() { return kCommands; }

const CommandHelp* FindCommandHelp(const std::string& name) {
    for (const CommandHelp& command : kCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

std::string OverviewHelp() {
    std::string text =
        "Usage: portquell-cli COMMAND [OPTIONS]\n"
        "\n"
        "Switches Windows' serial mouse detection off or on for serial ports\n"
        "(SkipEnumerations in each port's Device Parameters key), as the Portquell\n"
        "window does, and guards against serial mice on every port.\n"
        "\n"
        "Commands:\n";
    for (const CommandHelp& command : kCommands) {
        std::string name = command.name;
        name.resize(9, ' ');
        text += "  " + name + command.summary + "\n";
    }
    text +=
        "\n"
        "Common options: --json (a JSON document, all but export), --dry-run\n"
        "(disable, enable, guard on/off: the plan, nothing changed), --help, --version\n"
        "\n"
        "Exit status: 0 done, 1 not as asked, 2 access denied (run as administrator),\n"
        "3 refused otherwise, 4 export incomplete, 5 in force only after a restart,\n"
        "64 usage error, 130 stopped with Ctrl+C.\n"
        "\n"
        "'portquell-cli help COMMAND' or 'portquell-cli COMMAND --help' for more.\n";
    return text;
}

}  // namespace portquell
