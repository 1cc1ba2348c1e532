#include "cli/cli_commands.h"
#include "cli/cli_formats.h"
#include "cli/portquell_cli.h"

namespace portquell {

int ExportCommand(const Options& options, RegistryApi& registry, std::ostream& out, std::ostream& err) {
    const PortInventory inventory = TakeInventory(registry, ScopeOf(options));
    const bool complete = WriteRegFile(inventory.ports, out, err);
    const int refused = ReportRefusals(inventory.refusals, "the export may be incomplete", err);
    if (refused != cliexit::kDone) return refused;
    return complete ? cliexit::kDone : cliexit::kExportIncomplete;
}

}  // namespace portquell
