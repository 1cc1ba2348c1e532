// What portquell-cli report writes, and the replay reads: everything its
// commands read of one machine, as they read it, and their answers there.
// Texts are the system's bytes (ANSI registry text, device IDs), written
// in JSON as printable ASCII with every other byte as \u00XX, so that a
// report gives back exactly the bytes that were read.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "devices/capturing_devices.h"
#include "registry/dry_run_registry.h"

namespace portquell {

inline constexpr int kReportFormat = 1;

struct MachineReport {
    struct Answer {
        std::vector<std::string> args;  // the command line after the program's name
        int exit = 0;
        std::string out;
        std::string err;
    };
    int format = kReportFormat;
    std::string version;  // the program's
    std::string commit;
    std::string product;         // Windows' ProductName, DisplayVersion and build
    std::string displayVersion;
    std::string build;
    std::string computer;
    bool elevated = false;
    std::vector<KeyRead> registry;
    std::vector<ListingRead> listings;
    std::vector<DetailsRead> details;
    std::vector<Answer> answers;
};

// The commands whose answers a report keeps, each run with --json.
[[nodiscard]] const std::vector<std::vector<std::string>>& ReportedCommands();

void WriteReport(const MachineReport& report, std::ostream& out);

// The report of registry and devices: the reported commands run on a
// snapshot of both, which it holds; anonymize replaces serial numbers and
// the computer's name with placeholders.
[[nodiscard]] MachineReport TakeReport(RegistryApi& registry, DeviceApi& devices, bool anonymize);

// A JSON string of text's bytes, as reports hold them.
[[nodiscard]] std::string ReportString(const std::string& bytes);

}  // namespace portquell
