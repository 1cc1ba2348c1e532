#include "cli/cli_commands.h"
#include "cli/cli_formats.h"
#include "cli/portquell_cli.h"
#include "ports/port_identity.h"
#include "ports/port_presence.h"

namespace portquell {

int ListCommand(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                std::ostream& err) {
    PortInventory inventory = TakeInventory(registry, ScopeOf(options));
    FindConnections(devices, inventory.ports);
    IdentifyPorts(registry, devices, inventory.ports);
    const std::vector<SerialEnumerator> enumerators = FindSerialEnumerators(registry, inventory.ports);
    if (options.json) {
        JsonReport report;
        if (!inventory.refusals.empty()) report.refused = inventory.refusals;
        report.enumerators = enumerators;
        report.connected = true;
        WriteJson(inventory.ports, report, out);
    } else {
        WriteTable(inventory.ports, out, &enumerators, true, true);
    }
    return ReportRefusals(inventory.refusals, "the list may be incomplete", err);
}

}  // namespace portquell
