// portquell-replay: a report from a real machine as a test of every
// command on that machine.
//   portquell-replay REPORT.json -- COMMAND [ARGS]
//       runs that command of portquell-cli on the report's registry and
//       device tree, printing and exiting as the CLI does
//   portquell-replay --check REPORT.json...
//       runs each command the report answered and compares: exit 0 when
//       every answer is the same, 1 naming each machine and command that
//       differs, 2 for a report that cannot be read
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/portquell_cli.h"
#include "replay/replay_machine.h"
#include "replay/report_reader.h"

namespace {

using namespace portquell;

bool Load(const std::string& file, MachineReport& report) {
    // At most one byte past the limit is read: a huge file is refused
    // without being held in memory.
    std::ifstream stream(file, std::ios::binary);
    std::string text(kMaxReportBytes + 1, '\0');
    stream.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(stream.gcount()));
    const bool read = stream.good() || stream.eof();
    std::string why;
    if (!read || !ReadReport(text, report, why)) {
        std::cerr << "portquell-replay: " << file << ": " << (read ? why : "cannot be read") << "\n";
        return false;
    }
    return true;
}

// The command run on a fresh copy of the report's machine.
int Replay(const MachineReport& report, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ReplayRegistry registry;
    MemoryDevices devices;
    std::string why;
    if (!LoadMachine(report, registry, devices, why)) {
        err << "portquell-replay: " << why << "\n";
        return 2;
    }
    return RunCli(args, registry, devices, out, err);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--check") {
        int failed = 0;
        for (std::size_t i = 1; i < args.size(); ++i) {
            MachineReport report;
            if (!Load(args[i], report)) return 2;
            for (const MachineReport::Answer& answer : report.answers) {
                std::ostringstream out, err;
                const int exit = Replay(report, answer.args, out, err);
                std::string command;
                for (const std::string& word : answer.args) command += (command.empty() ? "" : " ") + word;
                const bool same = exit == answer.exit && out.str() == answer.out;
                std::cout << (same ? "ok   - " : "FAIL - ") << args[i] << ": " << command << "\n";
                if (!same) {
                    ++failed;
                    std::cout << "  exit " << exit << ", recorded " << answer.exit << "\n--- replayed\n"
                              << out.str() << err.str() << "--- recorded\n" << answer.out << answer.err;
                }
            }
        }
        return failed == 0 ? 0 : 1;
    }
    if (args.size() < 3 || args[1] != "--") {
        std::cerr << "usage: portquell-replay REPORT.json -- COMMAND [ARGS]\n"
                     "       portquell-replay --check REPORT.json...\n";
        return 64;
    }
    MachineReport report;
    if (!Load(args[0], report)) return 2;
    return Replay(report, std::vector<std::string>(args.begin() + 2, args.end()), std::cout, std::cerr);
}
