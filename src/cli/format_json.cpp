#include "cli/cli_formats.h"
#include "cli/cli_text.h"

namespace portquell {

namespace {

std::string JsonOrNull(const std::optional<std::string>& text) { return text ? JsonString(*text) : "null"; }

}  // namespace

void WriteIdentityJson(const DeviceIdentity& id, std::ostream& out) {
    out << ", \"name\": " << JsonOrNull(id.name) << ", \"reported\": " << JsonOrNull(id.reported)
        << ", \"maker\": " << JsonOrNull(id.maker) << ", \"usb\": ";
    if (id.usb) {
        out << "{\"vid\": \"" << id.usb->vid << "\", \"pid\": \"" << id.usb->pid
            << "\", \"serial\": " << JsonOrNull(id.usb->serial) << "}";
    } else {
        out << "null";
    }
    out << ", \"location\": " << JsonOrNull(id.location);
}

void WriteMouseJson(const SerialMouse& m, std::ostream& out) {
    out << "{\"port\": " << (m.port ? JsonString(m.port->portName) : "null")
        << ", \"portKey\": " << (m.port ? JsonString("HKLM\\" + m.port->InstanceKey()) : "null")
        << ", \"portDevice\": "
        << (m.port && m.port->identity ? JsonOrNull(m.port->identity->Title()) : std::string("null"));
    if (!m.port) {
        out << ", \"portReason\": "
            << (m.noPort ? "\"on no serial port: not the serial enumerator's child, and no port is its parent\""
                         : "\"its port cannot be told: it may be on any port\"");
    }
    out << ", \"present\": " << (m.device.present ? "true" : "false")
        << ", \"hardwareId\": " << (m.device.hardwareIds.empty() ? "null" : JsonString(m.device.hardwareIds.front()))
        << ", \"device\": " << JsonString(m.device.instanceId) << "}";
}

void WriteDeviceRefusalJson(DevStatus status, std::ostream& out) {
    out << "{\"status\": " << status.code << ", \"reason\": " << JsonString(DeviceRefusalText(status)) << "}";
}

void WriteRefusalsJson(const std::vector<PortRefusal>& refusals, std::ostream& out) {
    WriteJsonArray(out, "refused", refusals, [&](const PortRefusal& r) {
        out << "{\"key\": " << JsonString("HKLM\\" + r.key) << ", \"status\": " << r.status
            << ", \"reason\": " << JsonString(RefusalText(r)) << "}";
    });
}

void WriteMiceJson(const std::vector<SerialMouse>& mice, const std::vector<PortRefusal>& refusals,
                   std::optional<DevStatus> miceRefused, std::ostream& out) {
    out << "{\n  \"mice\": [";
    for (std::size_t i = 0; i < mice.size(); ++i) {
        out << (i == 0 ? "\n    " : ",\n    ");
        WriteMouseJson(mice[i], out);
    }
    out << (mice.empty() ? "]" : "\n  ]");
    WriteRefusalsJson(refusals, out);
    if (miceRefused) {
        out << ",\n  \"miceRefused\": ";
        WriteDeviceRefusalJson(*miceRefused, out);
    }
    out << "\n}\n";
}

void WriteJson(const std::vector<SerialPort>& ports, const JsonReport& report, std::ostream& out) {
    out << "{\n  \"ports\": [";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const SerialPort& p = ports[i];
        out << (i == 0 ? "\n" : ",\n") << "    {\"port\": " << JsonString(p.portName)
            << ", \"mouseDetection\": " << JsonString(Detection(p))
            << ", \"enumerator\": " << JsonString(p.enumerator)
            << ", \"device\": " << JsonString(p.device) << ", \"instance\": " << JsonString(p.instance)
            << ", \"key\": " << JsonString("HKLM\\" + p.InstanceKey());
        if (report.reasons) out << ", \"reason\": " << JsonString(SkipReason(p.skip));
        if (report.enumerators) out << ", \"serialEnumerator\": \"" << EnumeratorText((*report.enumerators)[i]) << "\"";
        if (report.connected) out << ", \"connected\": " << (!p.connected ? "null" : *p.connected ? "true" : "false");
        if (p.identity) WriteIdentityJson(*p.identity, out);
        out << "}";
    }
    out << (ports.empty() ? "]" : "\n  ]");
    if (report.missing) {
        WriteJsonArray(out, "missing", *report.missing, [&](const std::string& name) { out << JsonString(name); });
    }
    if (report.refused) WriteRefusalsJson(*report.refused, out);
    if (report.mice) WriteJsonArray(out, "mice", *report.mice, [&](const SerialMouse& m) { WriteMouseJson(m, out); });
    if (report.miceRefused) {
        out << ",\n  \"miceRefused\": ";
        WriteDeviceRefusalJson(*report.miceRefused, out);
    }
    if (report.notChecked) out << ",\n  \"otherPortsNotChecked\": " << *report.notChecked;
    if (report.guard) {
        out << ",\n  \"guard\": ";
        WriteGuardJson(*report.guard, out);
    }
    if (report.compliant) out << ",\n  \"compliant\": " << (*report.compliant ? "true" : "false");
    if (report.more) report.more(out);
    out << "\n}\n";
}

}  // namespace portquell
