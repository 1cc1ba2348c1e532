#include "cli/machine_report.h"

#include <cstdio>

#include "cli/cli_formats.h"
#include "registry/reg_text.h"

namespace portquell {

namespace {

std::string Hex(const std::string& bytes) {
    std::string out;
    char two[3];
    for (const char byte : bytes) {
        std::snprintf(two, sizeof two, "%02X", static_cast<unsigned char>(byte));
        out += two;
    }
    return out;
}

std::string Status(DevStatus status) {
    return std::string("{\"kind\": \"") + (status.kind == DevStatus::Kind::ConfigRet ? "configret" : "win32") +
           "\", \"code\": " + std::to_string(status.code) + "}";
}

void Strings(std::ostream& out, const std::vector<std::string>& texts) {
    out << "[";
    for (std::size_t i = 0; i < texts.size(); ++i) out << (i == 0 ? "" : ", ") << ReportString(texts[i]);
    out << "]";
}

}  // namespace

const std::vector<std::vector<std::string>>& ReportedCommands() {
    static const std::vector<std::vector<std::string>> commands = {
        {"list", "--json"}, {"check", "--mice", "--guard", "--json"}, {"mice", "--json"}, {"guard", "--json"}};
    return commands;
}

std::string ReportString(const std::string& bytes) {
    std::string out = "\"";
    char escaped[8];
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c >= 0x20 && c < 0x7F) {
            out += ch;
        } else {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        }
    }
    return out + "\"";
}

void WriteReport(const MachineReport& r, std::ostream& out) {
    out << "{\"notice\": \"This report holds this computer's name and the serial numbers of its devices "
           "(portquell-cli report --anonymize replaces them).\",\n"
        << "  \"format\": " << r.format << ",\n"
        << "  \"program\": {\"name\": \"portquell-cli\", \"version\": " << ReportString(r.version)
        << ", \"commit\": " << ReportString(r.commit) << "},\n"
        << "  \"system\": {\"product\": " << ReportString(r.product) << ", \"displayVersion\": "
        << ReportString(r.displayVersion) << ", \"build\": " << ReportString(r.build)
        << ", \"computer\": " << ReportString(r.computer) << ", \"elevated\": " << (r.elevated ? "true" : "false")
        << "}";
    WriteJsonArray(out, "registry", r.registry, [&](const KeyRead& key) {
        out << "{\"root\": \"" << RootName(key.root) << "\", \"key\": " << ReportString(key.path);
        if (key.status != regstatus::kSuccess) {
            out << ", \"status\": " << key.status << "}";
            return;
        }
        out << ", \"subKeys\": ";
        Strings(out, key.subKeys);
        out << ", \"values\": [";
        for (std::size_t i = 0; i < key.values.size(); ++i) {
            const KeyRead::Value& v = key.values[i];
            out << (i == 0 ? "" : ", ") << "{\"name\": " << ReportString(v.name) << ", \"type\": " << v.type
                << ", \"data\": \"" << Hex(v.data) << "\"}";
        }
        out << "]}";
    });
    WriteJsonArray(out, "listings", r.listings, [&](const ListingRead& listing) {
        out << "{\"class\": " << ReportString(listing.classGuid) << ", \"enumerator\": "
            << ReportString(listing.enumerator) << ", \"status\": " << Status(listing.status) << ", \"devices\": [";
        for (std::size_t i = 0; i < listing.devices.size(); ++i) {
            const DeviceInfo& d = listing.devices[i];
            out << (i == 0 ? "\n      " : ",\n      ") << "{\"id\": " << ReportString(d.instanceId)
                << ", \"hardwareIds\": ";
            Strings(out, d.hardwareIds);
            out << ", \"compatibleIds\": ";
            Strings(out, d.compatibleIds);
            out << ", \"service\": " << ReportString(d.service) << ", \"class\": " << ReportString(d.classGuid)
                << ", \"present\": " << (d.present ? "true" : "false") << ", \"parent\": " << ReportString(d.parent)
                << "}";
        }
        out << "]}";
    });
    WriteJsonArray(out, "details", r.details, [&](const DetailsRead& read) {
        out << "{\"id\": " << ReportString(read.instanceId) << ", \"status\": " << Status(read.status)
            << ", \"reported\": " << (read.details.reported ? ReportString(*read.details.reported) : "null")
            << ", \"parent\": " << ReportString(read.details.parent) << "}";
    });
    WriteJsonArray(out, "answers", r.answers, [&](const MachineReport::Answer& answer) {
        out << "{\"command\": ";
        Strings(out, answer.args);
        out << ", \"exit\": " << answer.exit << ", \"stdout\": " << ReportString(answer.out)
            << ", \"stderr\": " << ReportString(answer.err) << "}";
    });
    out << "\n}\n";
}

}  // namespace portquell
