#include "cli/cli_commands.h"
#include "cli/cli_text.h"
#include "cli/portquell_cli.h"

namespace portquell {

int ReportRefusals(const std::vector<PortRefusal>& refusals, const char* consequence, std::ostream& err) {
    int result = cliexit::kDone;
    for (const PortRefusal& refusal : refusals) {
        err << kProgram << ": " << RefusalText(refusal) << ", so " << consequence << ".\n";
        if (refusal.status != regstatus::kAccessDenied) {
            result = cliexit::kRegistryError;
        } else if (result == cliexit::kDone) {
            result = cliexit::kAccessDenied;
        }
    }
    return result;
}

int ReportDeviceRefusal(DevStatus status, const char* consequence, std::ostream& err) {
    if (status.Ok()) return cliexit::kDone;
    err << kProgram << ": could not list the serial mice (" << DevStatusText(status) << ")"
        << (status.code == devstatus::kAccessDenied ? ": access denied, run as administrator" : "") << ", so "
        << consequence << ".\n";
    return status.code == devstatus::kAccessDenied && status.kind == DevStatus::Kind::Win32
               ? cliexit::kAccessDenied
               : cliexit::kRegistryError;
}

}  // namespace portquell
