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

}  // namespace portquell
