#include "cli/portquell_cli.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "ports/port_switch.h"
#include "ports/serial_port.h"
#include "registry/clsRegHandler.h"

#ifndef PORTQUELL_VERSION
#define PORTQUELL_VERSION "unknown"
#endif

namespace portquell {

namespace {

constexpr const char* kProgram = "portquell-cli";

constexpr const char* kHelp =
    "Usage: portquell-cli COMMAND [OPTIONS]\n"
    "\n"
    "Switches Windows' serial mouse detection off or on for serial ports, by\n"
    "writing SkipEnumerations (REG_DWORD -1 = off, 0 = on) in each port's\n"
    "Device Parameters key, exactly as the Portquell window does.\n"
    "\n"
    "Commands:\n"
    "  list [--all] [--json]        list the ports and whether detection is off\n"
    "  disable [--dry-run] PORT...  switch detection off for these ports\n"
    "  enable [--dry-run] PORT...   switch detection on again\n"
    "  export [--all]               print a .reg file that sets the current states\n"
    "  check [--all] [--json] [PORT...]\n"
    "                               exit 0 if detection is off on every port asked\n"
    "                               about, 1 if it is on anywhere (or a port is missing)\n"
    "\n"
    "PORT is a port name such as COM3 (any case), or --all for every port.\n"
    "Without --all, list and export show the ACPI ports (ACPI\\PNP0501) that the\n"
    "window shows; with --all, every port under HKLM\\SYSTEM\\CurrentControlSet\\Enum\n"
    "that has a PortName (USB-serial adapters, PCI cards, ...). disable and enable\n"
    "look ports up among all of them.\n"
    "\n"
    "Options:\n"
    "  --all       every serial port on the machine\n"
    "  --json      machine-readable output for list and check\n"
    "  --dry-run   say what would change, write nothing\n"
    "  --help      this text\n"
    "  --version   the version\n"
    "\n"
    "Names read from the registry are shown with bytes outside printable ASCII\n"
    "as \\xHH and a backslash as \\\\.\n"
    "\n"
    "Exit status: 0 done (check: detection is off everywhere asked about),\n"
    "1 a named port was not found, nothing written (check: detection is on\n"
    "somewhere, or a named port was not found), 2 access denied (run as\n"
    "administrator), 3 the registry refused otherwise, 4 export incomplete (a\n"
    "port whose key a .reg file cannot carry was left out and named on stderr),\n"
    "64 usage error.\n";

constexpr const char* kReminder =
    "Windows applies the change when it next enumerates the port: restart the\n"
    "computer, or unplug and replug a USB adapter.\n";

struct Options {
    std::string command;
    bool all = false;
    bool json = false;
    bool dryRun = false;
    std::vector<std::string> ports;
};

int Usage(std::ostream& err, const std::string& problem) {
    err << kProgram << ": " << problem << "\nTry '" << kProgram << " --help'.\n";
    return cliexit::kUsage;
}

// Text as plain printable ASCII: each byte in quoted (a backslash before
// it), each byte outside printable ASCII in the escape format, every other
// byte as it is.
std::string EscapedAscii(const std::string& text, const char* quoted, const char* format) {
    std::string out;
    for (unsigned char c : text) {
        if (c != '\0' && std::strchr(quoted, c) != nullptr) {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, format, c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Control characters, and bytes of the ANSI code page outside ASCII (read
// as Latin-1), as \u00hh, so that the output is plain ASCII.
std::string JsonString(const std::string& text) {
    return "\"" + EscapedAscii(text, "\"\\", "\\u%04x") + "\"";
}

// Registry text as the console and comments may show it: printable ASCII
// as it is, a backslash doubled, every other byte as \xHH. Nothing read
// from the registry can then move the cursor, clear the screen or end a
// comment line.
std::string Printable(const std::string& text) { return EscapedAscii(text, "\\", "\\x%02X"); }

// A port's keys as shown to people: each name escaped on its own, the
// separators kept.
std::string PrintableKey(const SerialPort& p) {
    const SerialPort shown{Printable(p.enumerator), Printable(p.device), Printable(p.instance), "",
                           false};
    return "HKLM\\" + shown.InstanceKey();
}
std::string PrintableParameterKey(const SerialPort& p) {
    return PrintableKey(p) + kParameterSubKey;
}

// A .reg key line ends at its last ']' and carries bytes in the code page
// of whoever imports it: only names of printable ASCII without brackets
// come back as the same key on every machine.
bool RegFileCanCarry(const std::string& name) {
    if (name.empty()) return false;
    return std::all_of(name.begin(), name.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return c >= 0x20 && c < 0x7F && c != '[' && c != ']';
    });
}

std::string Detection(const SerialPort& port) { return port.detectionOff ? "off" : "on"; }

void ListTable(const std::vector<SerialPort>& ports, std::ostream& out) {
    std::size_t width = std::string("PORT").size();
    for (const SerialPort& p : ports) width = std::max(width, Printable(p.portName).size());
    auto pad = [](const std::string& s, std::size_t w) { return s + std::string(w - s.size() + 2, ' '); };
    out << pad("PORT", width) << pad("MOUSE DETECTION", 15) << "KEY\n";
    for (const SerialPort& p : ports) {
        out << pad(Printable(p.portName), width) << pad(Detection(p), 15) << PrintableKey(p) << "\n";
    }
}

// compliant: for check, whether detection is off everywhere asked about.
void ListJson(const std::vector<SerialPort>& ports, std::ostream& out,
              std::optional<bool> compliant = std::nullopt) {
    out << "{\n  \"ports\": [";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const SerialPort& p = ports[i];
        out << (i == 0 ? "\n" : ",\n") << "    {\"port\": " << JsonString(p.portName)
            << ", \"mouseDetection\": " << JsonString(Detection(p))
            << ", \"enumerator\": " << JsonString(p.enumerator)
            << ", \"device\": " << JsonString(p.device) << ", \"instance\": " << JsonString(p.instance)
            << ", \"key\": " << JsonString("HKLM\\" + p.InstanceKey()) << "}";
    }
    out << (ports.empty() ? "]" : "\n  ]");
    if (compliant) out << ",\n  \"compliant\": " << (*compliant ? "true" : "false");
    out << "\n}\n";
}

int Export(const std::vector<SerialPort>& ports, std::ostream& out, std::ostream& err) {
    out << "REGEDIT4\n\n"
        << "; Serial mouse detection per port, exported by portquell-cli " << PORTQUELL_VERSION
        << ".\n; dword:ffffffff switches detection off, dword:00000000 on again.\n";
    int result = cliexit::kDone;
    for (const SerialPort& p : ports) {
        if (!RegFileCanCarry(p.enumerator) || !RegFileCanCarry(p.device) ||
            !RegFileCanCarry(p.instance)) {
            err << kProgram << ": " << Printable(p.portName) << " not exported: its key "
                << PrintableKey(p) << " has characters that a .reg file cannot carry.\n";
            result = cliexit::kExportIncomplete;
            continue;
        }
        out << "\n; " << Printable(p.portName) << "\n[HKEY_LOCAL_MACHINE\\" << p.ParameterKey()
            << "]\n"
            << "\"" << kSkipEnumerations
            << "\"=dword:" << (p.detectionOff ? "ffffffff" : "00000000") << "\n";
    }
    return result;
}

// The ports with these names (any case), each once, in the order asked
// for; every name that matches none is named on err and sets missing.
std::vector<SerialPort> LookUp(const std::vector<SerialPort>& inventory,
                               const std::vector<std::string>& names, std::ostream& err, bool& missing) {
    std::vector<SerialPort> found;
    for (const std::string& name : names) {
        bool any = false;
        for (const SerialPort& port : inventory) {
            if (!SameTextIgnoringCase(port.portName, name)) continue;
            any = true;
            const bool already = std::any_of(found.begin(), found.end(), [&](const SerialPort& f) {
                return f.InstanceKey() == port.InstanceKey();
            });
            if (!already) found.push_back(port);
        }
        if (!any) {
            err << kProgram << ": no serial port named " << Printable(name) << " (see '" << kProgram
                << " list --all')\n";
            missing = true;
        }
    }
    return found;
}

// Detection for management tools: 0 when mouse detection is off on every
// port asked about, 1 when it is on anywhere or a named port is missing,
// 2 or 3 when a key that could hide a port would not be read.
int Check(const Options& options, RegistryApi& registry, std::ostream& out, std::ostream& err) {
    PortRefusal refused;
    bool missing = false;
    std::vector<SerialPort> ports;
    if (options.ports.empty()) {
        ports = options.all ? FindAllPorts(registry, &refused) : FindAcpiPorts(registry, &refused);
    } else {
        ports = LookUp(FindAllPorts(registry, &refused), options.ports, err, missing);
        // Every name found: what could not be read elsewhere hides nothing asked for.
        if (!missing) refused = PortRefusal{};
    }
    if (refused.status != regstatus::kSuccess) {
        err << kProgram << ": could not read HKLM\\" << Printable(refused.key) << " (status "
            << refused.status << "), so the ports cannot all be checked"
            << (refused.status == regstatus::kAccessDenied ? ": run as administrator" : "") << ".\n";
        return refused.status == regstatus::kAccessDenied ? cliexit::kAccessDenied
                                                          : cliexit::kRegistryError;
    }
    bool compliant = !missing;
    for (const SerialPort& p : ports) {
        if (p.detectionOff) continue;
        compliant = false;
        err << kProgram << ": mouse detection is on for " << Printable(p.portName) << " ("
            << PrintableKey(p) << ")\n";
    }
    if (options.json) {
        ListJson(ports, out, compliant);
    } else {
        if (!ports.empty()) ListTable(ports, out);
        if (compliant) {
            out << (ports.empty() ? "no serial ports found: nothing to switch off\n"
                                  : "mouse detection is off on every port checked\n");
        }
    }
    return compliant ? cliexit::kDone : cliexit::kCheckFailed;
}

int Switch(const Options& options, RegistryApi& registry, std::ostream& out, std::ostream& err) {
    const bool off = options.command == "disable";
    const std::vector<SerialPort> inventory = FindAllPorts(registry);
    bool missing = false;
    const std::vector<SerialPort> targets =
        options.all ? inventory : LookUp(inventory, options.ports, err, missing);
    if (missing) {
        err << kProgram << ": nothing was changed.\n";
        return cliexit::kPortNotFound;
    }
    const char* verb = off ? "disable" : "enable";
    if (options.dryRun) {
        for (const SerialPort& p : targets) {
            out << "would " << verb << " mouse detection on " << Printable(p.portName) << " (now "
                << Detection(p) << "): " << PrintableParameterKey(p) << " " << kSkipEnumerations
                << " = REG_DWORD "
                << (off ? "-1" : "0") << "\n";
        }
        if (targets.empty()) out << "no serial ports found\n";
        return cliexit::kDone;
    }

    // Every key is opened for writing before anything is written, so that a
    // refusal leaves all ports as they were.
    std::vector<std::unique_ptr<clsRegHandler>> handlers;
    for (const SerialPort& p : targets) {
        handlers.push_back(std::make_unique<clsRegHandler>(registry));
        const RegStatus status = OpenPortForWriting(*handlers.back(), p.ParameterKey());
        if (status == regstatus::kAccessDenied) {
            err << kProgram << ": access denied to " << PrintableParameterKey(p)
                << ".\nWriting needs administrator rights: run it from an elevated command "
                   "prompt (Run as administrator). Nothing was changed.\n";
            return cliexit::kAccessDenied;
        }
        if (status != regstatus::kSuccess) {
            err << kProgram << ": the registry refused to open " << PrintableParameterKey(p)
                << " (status " << status << "). Nothing was changed.\n";
            return cliexit::kRegistryError;
        }
    }
    int result = cliexit::kDone;
    bool changed = false;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const SerialPort& p = targets[i];
        const RegStatus status = SetSkipEnumerations(*handlers[i], off);
        if (status != regstatus::kSuccess) {
            err << kProgram << ": could not write SkipEnumerations for " << Printable(p.portName) << " (status "
                << status << ")" << (status == regstatus::kAccessDenied ? ": run as administrator" : "")
                << "\n";
            result = status == regstatus::kAccessDenied ? cliexit::kAccessDenied : cliexit::kRegistryError;
            continue;
        }
        changed = true;
        out << verb << "d mouse detection on " << Printable(p.portName) << " (was " << Detection(p)
            << "): " << PrintableParameterKey(p) << "\n";
    }
    if (targets.empty()) out << "no serial ports found\n";
    if (changed) out << kReminder;
    return result;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, RegistryApi& registry, std::ostream& out,
           std::ostream& err) {
    Options options;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            out << kHelp;
            return cliexit::kDone;
        }
        if (arg == "--version") {
            out << kProgram << " " << PORTQUELL_VERSION << "\n";
            return cliexit::kDone;
        }
    }
    for (const std::string& arg : args) {
        if (arg == "--all") {
            options.all = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--dry-run") {
            options.dryRun = true;
        } else if (arg.rfind("-", 0) == 0) {
            return Usage(err, "unknown option '" + Printable(arg) + "'");
        } else if (options.command.empty()) {
            options.command = arg;
        } else {
            options.ports.push_back(arg);
        }
    }
    const std::string& command = options.command;
    if (command.empty()) return Usage(err, "no command given");
    if (command != "list" && command != "disable" && command != "enable" && command != "export" &&
        command != "check") {
        return Usage(err, "unknown command '" + Printable(command) + "'");
    }
    const bool switches = command == "disable" || command == "enable";
    const bool takesPorts = switches || command == "check";
    if (options.json && command != "list" && command != "check") {
        return Usage(err, "--json is for list and check only");
    }
    if (options.dryRun && !switches) return Usage(err, "--dry-run is for disable and enable only");
    if (!takesPorts && !options.ports.empty()) {
        return Usage(err, "unexpected argument '" + Printable(options.ports.front()) + "'");
    }
    if (switches && options.ports.empty() && !options.all) {
        return Usage(err, Printable(command) + " needs port names or --all");
    }
    if (takesPorts && options.all && !options.ports.empty()) {
        return Usage(err, "give port names or --all, not both");
    }

    if (switches) return Switch(options, registry, out, err);
    if (command == "check") return Check(options, registry, out, err);
    const std::vector<SerialPort> ports = options.all ? FindAllPorts(registry) : FindAcpiPorts(registry);
    if (command == "export") {
        return Export(ports, out, err);
    } else if (options.json) {
        ListJson(ports, out);
    } else {
        ListTable(ports, out);
    }
    return cliexit::kDone;
}

}  // namespace portquell
