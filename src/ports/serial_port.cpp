#include "ports/serial_port.h"

#include <algorithm>
#include <cctype>

#include "registry/clsRegHandler.h"

namespace portquell {

namespace {

// Notes the first key that exists but would not open.
void NoteRefusal(const clsRegHandler& handler, const std::string& key, PortRefusal* refused) {
    const RegStatus status = handler.LastRegStatus();
    if (refused == nullptr || refused->status != regstatus::kSuccess) return;
    if (status == regstatus::kSuccess || status == regstatus::kFileNotFound) return;
    *refused = PortRefusal{status, key};
}

// Sub-key names of HKLM\path; none when it cannot be listed.
std::vector<std::string> SubKeys(clsRegHandler& handler, const std::string& path, PortRefusal* refused) {
    if (!handler.OpenRegistry(regroot::kLocalMachine, path, false)) {
        NoteRefusal(handler, path, refused);
        return {};
    }
    RegNameList names = handler.GetAllsSubDirectories();
    (void)handler.CloseRegistry();
    return names.IsList() ? names.Names() : std::vector<std::string>{};
}

bool HasValue(clsRegHandler& open, const std::string& name) {
    const RegNameList values = open.GetAllValues();
    return std::any_of(values.Names().begin(), values.Names().end(),
                       [&](const std::string& v) { return SameTextIgnoringCase(v, name); });
}

}  // namespace

SerialPort SerialPort::Acpi(std::int32_t instance) {
    return SerialPort{kAcpiEnumerator, kAcpiSerialDevice, std::to_string(instance), "", false};
}

std::string SerialPort::InstanceKey() const {
    return std::string(kEnumKey) + "\\" + enumerator + "\\" + device + "\\" + instance;
}

std::string PortParameterKey(std::int32_t instance) { return SerialPort::Acpi(instance).ParameterKey(); }

std::optional<PortState> ReadPortState(clsRegHandler& handler, const std::string& parameterKey) {
    if (!handler.OpenRegistry(regroot::kLocalMachine, parameterKey, false)) return std::nullopt;
    PortState state;
    state.portName = handler.GetValue(kPortNameValue);
    state.detectionText = handler.GetValue(kSkipEnumerations);
    return state;
}

void ForEachAcpiPort(clsRegHandler& handler,
                     const std::function<void(std::int32_t instance, const PortState& state)>& found,
                     PortRefusal* refused) {
    for (std::int32_t n = kFirstPortInstance; n <= kLastPortInstance; ++n) {
        const std::optional<PortState> state = ReadPortState(handler, PortParameterKey(n));
        if (!state) {
            NoteRefusal(handler, PortParameterKey(n), refused);
            continue;
        }
        found(n, *state);
        (void)handler.CloseRegistry();
    }
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::vector<SerialPort> FindAcpiPorts(RegistryApi& registry, PortRefusal* refused) {
    std::vector<SerialPort> ports;
    clsRegHandler handler(registry);
    ForEachAcpiPort(handler, [&](std::int32_t n, const PortState& state) {
        SerialPort port = SerialPort::Acpi(n);
        port.portName = state.portName;
        port.detectionOff = state.DetectionOff();
        ports.push_back(port);
    }, refused);
    return ports;
}

std::vector<SerialPort> FindAllPorts(RegistryApi& registry, PortRefusal* refused) {
    std::vector<SerialPort> ports;
    clsRegHandler lister(registry);
    clsRegHandler reader(registry);
    for (const std::string& enumerator : SubKeys(lister, kEnumKey, refused)) {
        const std::string enumeratorKey = std::string(kEnumKey) + "\\" + enumerator;
        for (const std::string& device : SubKeys(lister, enumeratorKey, refused)) {
            for (const std::string& instance : SubKeys(lister, enumeratorKey + "\\" + device, refused)) {
                SerialPort port{enumerator, device, instance, "", false};
                const std::optional<PortState> state = ReadPortState(reader, port.ParameterKey());
                if (!state) {
                    NoteRefusal(reader, port.ParameterKey(), refused);
                    continue;
                }
                const bool named = HasValue(reader, kPortNameValue);
                (void)reader.CloseRegistry();
                if (!named) continue;
                port.portName = state->portName;
                port.detectionOff = state->DetectionOff();
                ports.push_back(port);
            }
        }
    }
    return ports;
}

}  // namespace portquell
