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
    if (options.json) {
        out << "{\n  \"mice\": [";
        for (std::size_t i = 0; i < mice.mice.size(); ++i) {
            out << (i == 0 ? "\n    " : ",\n    ");
            WriteMouseJson(mice.mice[i], out);
        }
        out << (mice.mice.empty() ? "]" : "\n  ]");
        // A listing that failed says so in the document too.
        if (!mice.status.Ok()) {
            out << ",\n  \"refused\": ";
            WriteDeviceRefusalJson(mice.status, out);
        }
        out << "\n}\n";
    } else {
        WriteMiceTable(mice.mice, out);
    }
    const int listed = ReportDeviceRefusal(mice.status, "none can be shown", err);
    if (listed != cliexit::kDone) return listed;
    return ReportRefusals(inventory.refusals, "some mice's ports may be unknown", err);
}

}  // namespace portquell
