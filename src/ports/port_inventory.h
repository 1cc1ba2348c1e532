// The serial ports of a machine as portquell-cli sees them, and every key
// that could hold one but could not be read. list, check, disable, enable
// and export all work from one inventory, so that what check finds wrong
// is exactly what disable --all puts right.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "ports/serial_port.h"
#include "registry/registry_api.h"

namespace portquell {

// A key that exists but could not be read.
struct PortRefusal {
    enum class Step { Open, List, Read, Write };
    Step step = Step::Open;
    RegStatus status = regstatus::kSuccess;
    std::string key;  // below HKEY_LOCAL_MACHINE
    // The port behind the key, when its name was read before the refusal.
    std::optional<SerialPort> port;
    // A port's key whose PortName read was refused: both values as read
    // (the name as the handler gives it for the refusal), which the window
    // shows as ever.
    std::optional<PortState> read = std::nullopt;

    // Whether the key could hold a port with this name (or key).
    [[nodiscard]] bool CouldHold(const std::string& asked) const;
};

enum class PortScope {
    Acpi,  // the window's ports: ACPI\PNP0501, instances 1 to 200
    All,   // those and every instance under Enum whose PortName names a COM port
};

struct PortInventory {
    std::vector<SerialPort> ports;        // in the registry's order
    std::vector<PortRefusal> refusals;    // in the order met
};

// Neither success nor a missing key or value: the registry said no.
[[nodiscard]] inline bool Refused(RegStatus status) {
    return status != regstatus::kSuccess && status != regstatus::kFileNotFound;
}

// The status a refusal by handler is recorded with: the registry's, or -1
// for the handler's own failures (out of memory), which carry none.
[[nodiscard]] RegStatus RefusalStatus(const clsRegHandler& handler);

// The ports of scope; a port whose state could not be read is a refusal,
// not a port.
[[nodiscard]] PortInventory TakeInventory(RegistryApi& registry, PortScope scope);

// The ports that the names ask for, each once (two instances with the same
// name are two ports), in the order asked; the names that match none; the
// refusals that could hold one of them.
struct PortSelection {
    std::vector<SerialPort> ports;
    std::vector<std::string> missing;
    std::vector<PortRefusal> refusals;
};
[[nodiscard]] PortSelection SelectPorts(const PortInventory& inventory,
                                        const std::vector<std::string>& names);

// How many ports of the inventory the window does not list.
[[nodiscard]] std::size_t CountOutsideWindow(const PortInventory& all);

}  // namespace portquell
