#include "cli/cli_commands.h"
#include "cli/cli_text.h"
#include "cli/portquell_cli.h"

namespace portquell {

int WorseExit(int a, int b) {
    if (a == cliexit::kRegistryError || b == cliexit::kRegistryError) return cliexit::kRegistryError;
    if (a == cliexit::kAccessDenied || b == cliexit::kAccessDenied) return cliexit::kAccessDenied;
    return cliexit::kDone;
}

int ReportRefusals(const std::vector<PortRefusal>& refusals, const char* consequence, std::ostream& err) {
    int result = cliexit::kDone;
    for (const PortRefusal& refusal : refusals) {
        err << kProgram << ": " << RefusalText(refusal) << ", so " << consequence << ".\n";
        result = WorseExit(result, refusal.status == regstatus::kAccessDenied ? cliexit::kAccessDenied
                                                                              : cliexit::kRegistryError);
    }
    return result;
}

void ReportMissing(const std::vector<std::string>& names, std::ostream& err) {
    for (const std::string& name : names) {
        err << kProgram << ": no serial port named " << Printable(name) << " (see '" << kProgram
            << " list --all')\n";
    }
}

int ReportDeviceRefusal(DevStatus status, const char* consequence, std::ostream& err) {
    if (status.Ok()) return cliexit::kDone;
    const bool denied = status.kind == DevStatus::Kind::Win32 && status.code == devstatus::kAccessDenied;
    err << kProgram << ": " << DeviceRefusalText(status) << (denied ? ": access denied, run as administrator" : "")
        << ", so " << consequence << ".\n";
    return denied ? cliexit::kAccessDenied : cliexit::kRegistryError;
}

}  // namespace portquell
