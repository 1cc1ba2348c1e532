// mice: every serial mouse that Windows installed, present or not, with
// the port it is on.
#include "cli/cli_commands.h"
#include "cli/cli_formats.h"
#include "cli/portquell_cli.h"

namespace portquell {

int MiceCommand(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                std::ostream& err) {
    const PortInventory inventory = TakeInventory(registry, PortScope::All);
    const MiceInventory mice = FindSerialMice(devices, registry, inventory.ports);
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
