#include "ports/serial_port.h"

#include <algorithm>
#include <cctype>

#include "registry/clsRegHandler.h"

namespace portquell {

namespace {

// A value read through handler, with the status of its read.
std::string Read(clsRegHandler& handler, const char* name, RegStatus& status) {
    std::string text = handler.GetValue(name);
    status = handler.LastRegStatus();
    return text;
}

// text without prefix (any case), or nothing when it does not start so.
std::optional<std::string> Strip(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size() || !SameTextIgnoringCase(text.substr(0, prefix.size()), prefix)) {
        return std::nullopt;
    }
    return text.substr(prefix.size());
}

}  // namespace

bool IsComPortName(const std::string& portName) {
    if (portName.size() < 4 || !SameTextIgnoringCase(portName.substr(0, 3), "COM")) return false;
    return std::all_of(portName.begin() + 3, portName.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::uint32_t> SkipSetting::Count() const {
    const bool text = type == regtype::kSz || type == regtype::kExpandSz || type == regtype::kMultiSz;
    if (!present || text) return std::nullopt;
    return FourByteNumber(data);
}

SkipSetting ReadSkipSetting(clsRegHandler& handler, RegStatus& status) {
    const RegValue value = handler.GetRawValue(kSkipEnumerations);
    status = value.status;
    SkipSetting skip;
    skip.present = value.Read();
    skip.type = value.type;
    skip.data = value.data;
    return skip;
}

SerialPort SerialPort::Acpi(std::int32_t instance) {
    return SerialPort{kAcpiEnumerator, kAcpiSerialDevice, std::to_string(instance), "", {}, std::nullopt, std::nullopt};
}

std::string SerialPort::InstanceKey() const { return std::string(kEnumKey) + "\\" + InstanceId(); }

std::string SerialPort::InstanceId() const { return enumerator + "\\" + device + "\\" + instance; }

bool SerialPort::IsCalled(const std::string& asked) const {
    if (!portName.empty() && SameTextIgnoringCase(portName, asked)) return true;
    std::string rest = asked;
    for (const char* root : {"HKLM\\", "HKEY_LOCAL_MACHINE\\"}) {
        if (auto stripped = Strip(rest, root)) rest = *stripped;
    }
    if (auto stripped = Strip(rest, std::string(kEnumKey) + "\\")) rest = *stripped;
    return SameTextIgnoringCase(rest, InstanceId());
}

std::string PortParameterKey(std::int32_t instance) { return SerialPort::Acpi(instance).ParameterKey(); }

std::optional<std::int32_t> SerialPort::WindowInstance() const {
    if (!SameTextIgnoringCase(enumerator, kAcpiEnumerator) || !SameTextIgnoringCase(device, kAcpiSerialDevice)) {
        return std::nullopt;
    }
    if (instance.empty() || instance.size() > 3 || instance[0] == '0') return std::nullopt;
    if (!std::all_of(instance.begin(), instance.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const std::int32_t n = std::stoi(instance);
    if (n < kFirstPortInstance || n > kLastPortInstance) return std::nullopt;
    return n;
}

std::optional<PortState> ReadPortState(clsRegHandler& handler, const std::string& parameterKey,
                                       const std::function<bool(const PortState&)>& isPort) {
    if (!handler.OpenRegistry(regroot::kLocalMachine, parameterKey, false)) return std::nullopt;
    PortState state;
    state.portName = Read(handler, kPortNameValue, state.nameStatus);
    if (isPort && !isPort(state)) return state;
    state.skip = ReadSkipSetting(handler, state.skipStatus);
    return state;
}

void ForEachAcpiPort(clsRegHandler& handler,
                     const std::function<void(std::int32_t instance, const PortState& state)>& found,
                     const std::function<void(std::int32_t instance, RegStatus status)>& refused) {
    for (std::int32_t n = kFirstPortInstance; n <= kLastPortInstance; ++n) {
        const std::optional<PortState> state = ReadPortState(handler, PortParameterKey(n));
        if (!state) {
            // The handler's own failure (out of memory) has no status of
            // the registry's: -1.
            const RegStatus status = handler.LastRegStatus();
            if (refused && status != regstatus::kFileNotFound) {
                refused(n, status == regstatus::kSuccess ? -1 : status);
            }
            continue;
        }
        found(n, *state);
        (void)handler.CloseRegistry();
    }
}

std::string UpperText(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace portquell
