#include "ports/port_identity.h"

#include <algorithm>
#include <cctype>

#include "registry/clsRegHandler.h"

namespace portquell {

namespace {

// Text past the limit is cut, so that no value read can flood a table,
// a document or the window.
std::string Bounded(std::string text) {
    if (text.size() <= kMaxIdentityText) return text;
    text.resize(kMaxIdentityText);
    return text + "...";
}

// A text value of the open key (REG_SZ or REG_EXPAND_SZ, unexpanded) up to
// its first NUL, or its whole data when it has none; none when missing,
// refused, empty or of another type.
std::optional<std::string> TextValue(clsRegHandler& handler, const char* name) {
    const RegValue value = handler.GetRawValue(name);
    if (!value.OfType(regtype::kSz) && !value.OfType(regtype::kExpandSz)) return std::nullopt;
    const std::string text = value.data.substr(0, value.data.find('\0'));
    if (text.empty()) return std::nullopt;
    return Bounded(text);
}

bool IsHex(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c) != 0; });
}

// text split at each sep.
std::vector<std::string> Split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(sep, start);
        parts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

// "VID_xxxx" and the like: the digits after prefix when there are digits
// of hexadecimal, upper case; none otherwise.
std::optional<std::string> HexField(const std::string& part, const char* prefix, std::size_t digits) {
    const std::string p = prefix;
    if (part.size() != p.size() + digits || !SameTextIgnoringCase(part.substr(0, p.size()), p)) return std::nullopt;
    const std::string value = part.substr(p.size());
    if (!IsHex(value)) return std::nullopt;
    return UpperText(value);
}

// Windows' own class drivers' maker, which names no device's.
bool IsWindowsOwnMaker(const std::string& maker) { return SameTextIgnoringCase(maker, "Microsoft"); }

// The port name's part Windows adds to a port's friendly name: " (COM7)".
std::string WithoutPortSuffix(const std::string& name) {
    const std::size_t open = name.rfind(" (");
    if (open == std::string::npos || name.back() != ')') return name;
    const std::string inside = name.substr(open + 2, name.size() - open - 3);
    return IsComPortName(inside) ? name.substr(0, open) : name;
}

// The values of the port's instance key that say which device it is.
void ReadInstanceKey(clsRegHandler& handler, const SerialPort& port, DeviceIdentity& identity) {
    if (!handler.OpenRegistry(regroot::kLocalMachine, port.InstanceKey(), false)) return;
    identity.name = TextValue(handler, kFriendlyName);
    if (!identity.name) {
        const std::optional<std::string> desc = TextValue(handler, kDeviceDesc);
        if (desc) identity.name = ResolvedText(*desc);
    }
    const std::optional<std::string> mfg = TextValue(handler, kMfg);
    if (mfg) identity.maker = ResolvedText(*mfg);
    identity.location = TextValue(handler, kLocationInformation);
    (void)handler.CloseRegistry();
}

std::optional<std::string> Reported(const DeviceDetails& details) {
    if (!details.reported || details.reported->empty()) return std::nullopt;
    return Bounded(*details.reported);
}

}  // namespace

std::optional<std::string> DeviceIdentity::Title() const {
    if (reported) return reported;
    if (!name) return std::nullopt;
    const std::string title = WithoutPortSuffix(*name);
    if (title.empty()) return std::nullopt;
    return title;
}

std::optional<UsbIds> UsbIdsOf(const std::string& instanceId) {
    const std::vector<std::string> parts = Split(instanceId, '\\');
    if (parts.size() != 3) return std::nullopt;
    const std::string& instance = parts[2];
    UsbIds ids;
    std::string serial;
    if (SameTextIgnoringCase(parts[0], "USB")) {
        const std::vector<std::string> fields = Split(parts[1], '&');
        if (fields.size() < 2) return std::nullopt;
        const auto vid = HexField(fields[0], "VID_", 4);
        const auto pid = HexField(fields[1], "PID_", 4);
        if (!vid || !pid) return std::nullopt;
        ids.vid = *vid;
        ids.pid = *pid;
        // An interface of a composite device: the serial is its parent's.
        const bool interface = std::any_of(fields.begin() + 2, fields.end(),
                                           [](const std::string& f) { return HexField(f, "MI_", 2).has_value(); });
        if (interface) return ids;
        serial = instance;
    } else if (SameTextIgnoringCase(parts[0], "FTDIBUS")) {
        const std::vector<std::string> fields = Split(parts[1], '+');
        if (fields.size() != 3) return std::nullopt;
        const auto vid = HexField(fields[0], "VID_", 4);
        const auto pid = HexField(fields[1], "PID_", 4);
        if (!vid || !pid) return std::nullopt;
        ids.vid = *vid;
        ids.pid = *pid;
        // The serial number and the channel letter of the chip's port.
        serial = fields[2].size() > 1 ? fields[2].substr(0, fields[2].size() - 1) : "";
        if (fields[2].find('&') != std::string::npos) serial = "&";
    } else {
        return std::nullopt;
    }
    if (serial.find('&') != std::string::npos) {
        ids.tiedToSocket = true;
    } else if (!serial.empty()) {
        ids.serial = Bounded(serial);
    }
    return ids;
}

std::optional<std::string> ResolvedText(const std::string& text) {
    if (text.empty() || text[0] != '@') return text;
    const std::size_t last = text.rfind(';');
    if (last == std::string::npos || last + 1 == text.size()) return std::nullopt;
    return text.substr(last + 1);
}

std::optional<std::string> UsbVendorName(const std::string& vid) {
    // The USB vendor IDs of the usb.ids list (linux-usb.org), version
    // 2025.07.26; Espressif's from Espressif's own documentation.
    static const struct {
        const char* vid;
        const char* name;
    } kVendors[] = {{"0403", "FTDI"},      {"067B", "Prolific"}, {"10C4", "Silicon Labs"},
                    {"1A86", "WCH"},       {"04D8", "Microchip"}, {"2341", "Arduino"},
                    {"1546", "u-blox"},    {"0483", "STMicroelectronics"}, {"303A", "Espressif"}};
    for (const auto& vendor : kVendors) {
        if (vid == vendor.vid) return std::string(vendor.name);
    }
    return std::nullopt;
}

void IdentifyPorts(RegistryApi& registry, DeviceApi& devices, std::vector<SerialPort>& ports) {
    clsRegHandler handler(registry);
    for (SerialPort& port : ports) {
        DeviceIdentity identity;
        ReadInstanceKey(handler, port, identity);
        DeviceDetails own;
        (void)devices.ReadDetails(port.InstanceId(), own);
        identity.reported = Reported(own);
        identity.usb = UsbIdsOf(port.InstanceId());
        if (!own.parent.empty()) {
            // An FTDI port's USB device, a composite device's interface's
            // device: what the port itself does not say.
            if (!identity.reported) {
                DeviceDetails parent;
                (void)devices.ReadDetails(own.parent, parent);
                identity.reported = Reported(parent);
            }
            const std::optional<UsbIds> parentIds = UsbIdsOf(own.parent);
            if (!identity.usb) {
                identity.usb = parentIds;
            } else if (!identity.usb->serial && !identity.usb->tiedToSocket && parentIds) {
                identity.usb->serial = parentIds->serial;
                identity.usb->tiedToSocket = parentIds->tiedToSocket;
            }
        }
        if (identity.usb && (!identity.maker || IsWindowsOwnMaker(*identity.maker))) {
            const std::optional<std::string> vendor = UsbVendorName(identity.usb->vid);
            if (vendor) identity.maker = vendor;
        }
        port.identity = std::move(identity);
    }
}

}  // namespace portquell
