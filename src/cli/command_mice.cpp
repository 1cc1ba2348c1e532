// mice: every serial mouse that Windows installed, present or not, with
// the port it is on.
#include "cli/cli_commands.h"
#include "cli/cli_formats.h"
#include "cli/portquell_cli.h"
#include "ports/port_identity.h"

namespace portquell {

int MiceCommand(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                std::ostream& err) {
    const PortInventory inventory = TakeInventory(registry, PortScope::All);
    MiceInventory mice = FindSerialMice(devices, registry, inventory.ports);
    // The device on each mouse's port: only those ports are read.
    std::vector<SerialPort> ports;
    for (const SerialMouse& mouse : mice.mice) {
        if (mouse.port) ports.push_back(*mouse.port);
    }
    IdentifyPorts(registry, devices, ports);
    std::size_t next = 0;
    for (SerialMouse& mouse : mice.mice) {
        if (mouse.port) mouse.port = ports[next++];
    }
    // A port that could not be read, or whose prefix could not, may be the
    // port of a mouse shown as '?'.
    std::vector<PortRefusal> refusals = inventory.refusals;
    refusals.insert(refusals.end(), mice.refusals.begin(), mice.refusals.end());
    if (options.json) {
        WriteMiceJson(mice.mice, refusals,
                      mice.status.Ok() ? std::nullopt : std::optional<DevStatus>(mice.status), out);
    } else {
        WriteMiceTable(mice.mice, out);
    }
    const int listed = ReportDeviceRefusal(mice.status, "none can be shown", err);
    return WorseExit(listed, ReportRefusals(refusals, "some mice's ports may be unknown", err));
}

}  // namespace portquell
