#include "cli/cli_text.h"

#include <cstdio>

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

std::string TypeName(std::uint32_t type) {
    static const char* const kNames[] = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY",
                                         "REG_DWORD", "REG_DWORD_BIG_ENDIAN", "REG_LINK",
                                         "REG_MULTI_SZ", "REG_RESOURCE_LIST",
                                         "REG_FULL_RESOURCE_DESCRIPTOR",
                                         "REG_RESOURCE_REQUIREMENTS_LIST", "REG_QWORD"};
    if (type < sizeof kNames / sizeof kNames[0]) return kNames[type];
    return "type " + std::to_string(type);
}

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


std::string RemovalText(const Relief::Removal& removal) {
    if (removal.Gone()) return removal.status.Ok() ? " removed" : " gone already";
    if (removal.status.AtNextRestart()) return " removed when Windows restarts (" + DevStatusText(removal.status) + ")";
    return " not removed (" + DevStatusText(removal.status) + ")";
}

}  // namespace portquell
