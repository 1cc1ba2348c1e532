// report: everything the commands read of this machine, as they read it,
// and their answers here, in one JSON file to attach to a bug report.
// Read-only: the commands run on a snapshot (the dry-run registry and a
// capturing device tree), which is also what the file holds.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>

#include "cli/cli_commands.h"
#include "cli/cli_text.h"
#include "cli/machine_report.h"
#include "cli/portquell_cli.h"
#include "ports/port_identity.h"
#include "registry/clsRegHandler.h"
#include "support/event_log.h"

namespace portquell {

namespace {

std::string TextAt(RegistryApi& registry, const char* key, const char* name) {
    clsRegHandler reader(registry);
    if (!reader.OpenRegistry(regroot::kLocalMachine, key, false)) return "";
    RegValue value = reader.GetRawValue(name);
    if (value.status != regstatus::kSuccess) return "";
    if (value.type == regtype::kDword && value.data.size() == 4) {
        std::uint32_t n = 0;
        for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(value.data[static_cast<std::size_t>(i)]);
        return std::to_string(n);
    }
    if (value.type != regtype::kSz && value.type != regtype::kExpandSz) return "";
    while (!value.data.empty() && value.data.back() == '\0') value.data.pop_back();
    return value.data.substr(0, 256);
}

bool TokenChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// Replaces in text each whole token (letters and digits) that names a key
// of names, in any case, by its placeholder; an FTDI instance's serial
// with its channel letter keeps the letter after the placeholder.
void ReplaceTokens(std::string& text, const std::map<std::string, std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (!TokenChar(text[i])) {
            out += text[i++];
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && TokenChar(text[end])) ++end;
        const std::string token = text.substr(i, end - i);
        const std::string upper = UpperText(token);
        auto found = names.find(upper);
        if (found != names.end()) {
            out += found->second;
        } else if (upper.size() > 4 && std::isalpha(static_cast<unsigned char>(upper.back())) != 0 &&
                   (found = names.find(upper.substr(0, upper.size() - 1))) != names.end()) {
            out += found->second + token.back();
        } else {
            out += token;
        }
        i = end;
    }
    text = std::move(out);
}

// Replaces word (a computer's name: letters, digits and hyphens) in any
// case wherever it stands alone.
void ReplaceName(std::string& text, const std::string& word, const std::string& placeholder) {
    const std::string upperWord = UpperText(word);
    const auto inName = [](char c) { return TokenChar(c) || c == '-'; };
    std::string upper = UpperText(text);
    for (std::size_t at = upper.find(upperWord); at != std::string::npos; at = upper.find(upperWord, at + 1)) {
        const std::size_t end = at + word.size();
        if ((at > 0 && inName(text[at - 1])) || (end < text.size() && inName(text[end]))) continue;
        text.replace(at, word.size(), placeholder);
        upper = UpperText(text);
    }
}

// Serial numbers (of four characters or more: shorter ones identify
// nothing, and could be any other word) and the computer's name replaced
// by placeholders, the same everywhere, so every answer stays as it was.
void Anonymize(MachineReport& report) {
    std::map<std::string, std::string> names;
    const auto serialOf = [&](const std::string& instanceId) {
        const std::optional<UsbIds> usb = UsbIdsOf(instanceId);
        if (!usb || !usb->serial || usb->serial->size() < 4) return;
        const std::string upper = UpperText(*usb->serial);
        if (names.count(upper) == 0) names[upper] = "SERIAL" + std::to_string(names.size() + 1);
    };
    for (const ListingRead& listing : report.listings) {
        for (const DeviceInfo& d : listing.devices) {
            serialOf(d.instanceId);
            serialOf(d.parent);
        }
    }
    for (const DetailsRead& read : report.details) serialOf(read.details.parent);
    for (const KeyRead& key : report.registry) {
        const std::string enumKey = "SYSTEM\\CURRENTCONTROLSET\\ENUM\\";
        const std::string upper = UpperText(key.path);
        if (upper.compare(0, enumKey.size(), enumKey) != 0) continue;
        const std::string id = key.path.substr(enumKey.size());
        // A device's key above its instances names the FTDI serial too.
        serialOf(std::count(id.begin(), id.end(), '\\') == 1 ? id + "\\0" : id);
    }
    const std::string computer = report.computer.size() >= 2 ? report.computer : "";
    const auto text = [](std::uint32_t type) {
        return type == regtype::kSz || type == regtype::kExpandSz || type == regtype::kMultiSz;
    };
    const auto Replace = [&](std::string& where, const std::map<std::string, std::string>& serials) {
        ReplaceTokens(where, serials);
        if (!computer.empty()) ReplaceName(where, computer, "COMPUTER");
    };
    Replace(report.computer, names);
    for (KeyRead& key : report.registry) {
        Replace(key.path, names);
        for (std::string& sub : key.subKeys) Replace(sub, names);
        for (KeyRead::Value& value : key.values) {
            if (text(value.type)) Replace(value.data, names);
        }
    }
    for (ListingRead& listing : report.listings) {
        for (DeviceInfo& d : listing.devices) {
            Replace(d.instanceId, names);
            Replace(d.parent, names);
            for (std::string& id : d.hardwareIds) Replace(id, names);
        }
    }
    for (DetailsRead& read : report.details) {
        Replace(read.instanceId, names);
        Replace(read.details.parent, names);
        if (read.details.reported) Replace(*read.details.reported, names);
    }
    for (MachineReport::Answer& answer : report.answers) {
        Replace(answer.out, names);
        Replace(answer.err, names);
    }
}

std::string DefaultName(const std::string& computer) {
    std::string name;
    for (const char c : computer) name += TokenChar(c) || c == '-' ? c : '_';
    char when[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    std::strftime(when, sizeof when, "%Y%m%d-%H%M%S", &local);
    return "portquell-report-" + (name.empty() ? std::string("unknown") : name) + "-" + when + ".json";
}

}  // namespace

MachineReport TakeReport(RegistryApi& registry, DeviceApi& devices, bool anonymize) {
    DryRunRegistry snapshot(registry);
    CapturingDevices captured(devices);
    MachineReport report;
    report.version = ProgramVersion();
    report.commit = ProgramRevision();
    const char* version = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    report.product = TextAt(registry, version, "ProductName");
    report.displayVersion = TextAt(registry, version, "DisplayVersion");
    report.build = TextAt(registry, version, "CurrentBuildNumber");
    const std::string ubr = TextAt(registry, version, "UBR");
    if (!report.build.empty() && !ubr.empty()) report.build += "." + ubr;
    report.computer = TextAt(registry, "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName", "ComputerName");
    report.elevated = RunningElevated();
    for (const std::vector<std::string>& args : ReportedCommands()) {
        std::ostringstream out, err;
        const int exit = RunCli(args, snapshot, captured, out, err);
        report.answers.push_back({args, exit, out.str(), err.str()});
    }
    report.registry = snapshot.Used();
    report.listings = captured.Listings();
    report.details = captured.Details();
    if (anonymize) Anonymize(report);
    return report;
}

int ReportCommand(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                  std::ostream& err) {
    const MachineReport report = TakeReport(registry, devices, options.anonymize);
    const std::string file = options.ports.empty() ? DefaultName(report.computer) : options.ports[0];
    if (file == "-") {
        WriteReport(report, out);
        return cliexit::kDone;
    }
    // Written beside it first, so that a write that fails midway leaves a
    // file of that name as it was.
    const std::string partial = file + ".partial";
    std::ofstream stream(partial, std::ios::binary | std::ios::trunc);
    if (stream) WriteReport(report, stream);
    stream.close();
    if (!stream || (std::remove(file.c_str()) != 0 && errno != ENOENT) || std::rename(partial.c_str(), file.c_str()) != 0) {
        (void)std::remove(partial.c_str());
        err << kProgram << ": could not write the report to " << DisplayText(file) << "; nothing else was written.\n";
        return cliexit::kRegistryError;
    }
    err << kProgram << ": report written to " << DisplayText(file) << (options.anonymize ? "" :
           " (it holds this computer's name and device serial numbers; --anonymize replaces them)") << ".\n";
    return cliexit::kDone;
}

}  // namespace portquell
