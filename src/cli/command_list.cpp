#include "cli/cli_commands.h"
#include "cli/cli_formats.h"
#include "cli/portquell_cli.h"

namespace portquell {

int ListCommand(const Options& options, RegistryApi& registry, std::ostream& out, std::ostream& err) {
    const PortInventory inventory = TakeInventory(registry, options.all ? PortScope::All : PortScope::Acpi);
    const std::vector<SerialEnumerator> enumerators = FindSerialEnumerators(registry, inventory.ports);
    if (options.json) {
        JsonReport report;
        if (!inventory.refusals.empty()) report.refused = inventory.refusals;
        report.enumerators = enumerators;
        WriteJson(inventory.ports, report, out);
    } else {
        WriteTable(inventory.ports, out, &enumerators);
    }
    return ReportRefusals(inventory.refusals, "the list may be incomplete", err);
}

}  // namespace portquell
