#include "cli/cli_text.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "support/ansi_text.h"

namespace portquell {

namespace {

bool PrintableAscii(unsigned char c) { return c >= 0x20 && c < 0x7F; }

std::string Hex(const char* format, unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::string Printable(const std::string& text) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\') {
            out += "\\\\";
        } else if (PrintableAscii(c)) {
            out += ch;
        } else {
            out += Hex("\\x%02X", c);
        }
    }
    return out;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char16_t unit : DecodeAnsi(text)) {
        if (unit == u'"' || unit == u'\\') {
            out += '\\';
            out += static_cast<char>(unit);
        } else if (unit < 0x80 && PrintableAscii(static_cast<unsigned char>(unit))) {
            out += static_cast<char>(unit);
        } else {
            out += Hex("\\u%04x", unit);
        }
    }
    return out + "\"";
}

std::size_t WholeUtf8Length(const std::string& utf8) {
    const std::size_t size = utf8.size();
    std::size_t back = 0;  // continuation bytes at the end
    while (back < 3 && back < size && (static_cast<unsigned char>(utf8[size - 1 - back]) & 0xC0) == 0x80) ++back;
    if (back == size) return size;
    const auto lead = static_cast<unsigned char>(utf8[size - 1 - back]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return length > back + 1 ? size - back - 1 : size;
}

std::size_t DisplayWidth(const std::string& utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string DeviceCell(const SerialPort& port) {
    if (!port.identity) return "-";
    const DeviceIdentity& id = *port.identity;
    std::vector<std::string> parts;
    if (const auto title = id.Title()) parts.push_back(DisplayText(*title));
    if (id.usb) {
        parts.push_back("VID_" + id.usb->vid + " PID_" + id.usb->pid);
        if (id.usb->serial) {
            parts.push_back("serial " + DisplayText(*id.usb->serial));
        } else if (id.usb->tiedToSocket) {
            parts.push_back("no serial number");
        }
    }
    if (id.location) parts.push_back(DisplayText(*id.location));
    if (parts.empty()) return "-";
    std::string cell = parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i) cell += ", " + parts[i];
    return cell;
}

std::string PortNamed(const SerialPort& port) {
    const std::optional<std::string> title = port.identity ? port.identity->Title() : std::nullopt;
    return title ? PortLabel(port) + " \"" + DisplayText(*title) + "\"" : PortLabel(port);
}

std::string PrintablePath(const std::string& path) {
    std::string out;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find('\\', start);
        out += Printable(path.substr(start, end - start));
        if (end == std::string::npos) return out;
        out += '\\';
        start = end + 1;
    }
}

std::string PrintableKey(const std::string& keyBelowHklm) { return "HKLM\\" + PrintablePath(keyBelowHklm); }

std::string DeviceLabel(const std::string& instanceId) {
    return instanceId.empty() ? "instance ID unreadable" : PrintablePath(instanceId);
}

std::string PortLabel(const SerialPort& port) {
    return port.portName.empty() ? PrintableKey(port.InstanceKey()) : Printable(port.portName);
}

std::string Detection(const SerialPort& port) { return port.DetectionOff() ? "off" : "on"; }

std::string SkipReason(const SkipSetting& skip) {
    const std::string value = kSkipEnumerations;
    if (!skip.present) return value + " is missing";
    const std::optional<std::uint32_t> count = skip.Count();
    if (skip.type != regtype::kDword) {
        // Four bytes of another type but text: the serial enumerator reads
        // them as the number all the same.
        if (count == std::optional<std::uint32_t>(0xFFFFFFFFu)) {
            return value + " is " + TypeName(skip.type) + " FF FF FF FF, which the serial enumerator reads as 0xFFFFFFFF";
        }
        return value + " is " + TypeName(skip.type) + ", not REG_DWORD";
    }
    if (!count) return value + " is a REG_DWORD without four bytes";
    if (*count == 0xFFFFFFFFu) return value + " is REG_DWORD 0xFFFFFFFF";
    if (*count == 0) return value + " is 0";
    return value + " is " + std::to_string(*count) + ": only " + std::to_string(*count) +
           " scans are skipped";
}

std::string DeviceRefusalText(DevStatus status) {
    return "could not list the serial mice (" + DevStatusText(status) + ")";
}

std::string RefusalText(const PortRefusal& refusal) {
    const std::string key = PrintableKey(refusal.key);
    std::string text;
    switch (refusal.step) {
        case PortRefusal::Step::Open:
            text = "could not open " + key;
            break;
        case PortRefusal::Step::List:
            text = "the listing of " + key + " broke off";
            break;
        case PortRefusal::Step::Read:
            text = "could not read the values of " + key;
            break;
        case PortRefusal::Step::Write:
            text = "could not change " + key;
            break;
    }
    text += " (status " + std::to_string(refusal.status) + ")";
    if (refusal.status == regstatus::kAccessDenied) text += ": access denied, run as administrator";
    return text;
}


std::string VerdictText(const ReliefVerdict& verdict) {
    switch (verdict.kind) {
        case ReliefVerdict::Kind::Now:
            return "in force now";
        case ReliefVerdict::Kind::WhenConnected:
            return "in force when it is next connected";
        case ReliefVerdict::Kind::AtNextRestart:
        case ReliefVerdict::Kind::Refused:
            break;
    }
    return "in force at the next restart";
}

const char* VerdictWord(const ReliefVerdict& verdict) {
    switch (verdict.kind) {
        case ReliefVerdict::Kind::Now:
            return "now";
        case ReliefVerdict::Kind::WhenConnected:
            return "whenConnected";
        case ReliefVerdict::Kind::AtNextRestart:
            return "atNextRestart";
        case ReliefVerdict::Kind::Refused:
            break;
    }
    return "refused";
}

std::string RemovalText(const Relief::Removal& removal) {
    if (removal.Gone()) return removal.status.Ok() ? " removed" : " gone already";
    if (removal.status.AtNextRestart()) return " removed when Windows restarts (" + DevStatusText(removal.status) + ")";
    return " not removed (" + DevStatusText(removal.status) + ")";
}

}  // namespace portquell
