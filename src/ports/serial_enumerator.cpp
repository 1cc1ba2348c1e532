#include "ports/serial_enumerator.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "registry/clsRegHandler.h"

namespace portquell {

namespace {

// Whether a multi-string names serenum.
bool NamesSerialEnumerator(const std::string& filters) {
    std::size_t start = 0;
    while (start < filters.size()) {
        const std::size_t end = std::min(filters.find('\0', start), filters.size());
        if (SameTextIgnoringCase(filters.substr(start, end - start), kSerialEnumeratorService)) return true;
        start = end + 1;
    }
    return false;
}

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}": the only text taken into a key
// path, so that a value cannot name another key.
bool IsGuid(const std::string& text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
    for (std::size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

// One value of the open key: its text when it is of type, "" when missing
// or of another type; none when the read was refused.
std::optional<std::string> ValueOfType(clsRegHandler& handler, const char* name, std::uint32_t type) {
    const RegValue value = handler.GetRawValue(name);
    if (value.Refused()) return std::nullopt;
    if (!value.OfType(type)) return std::string();
    return type == regtype::kSz ? value.Text() : value.data;
}

struct KeyFilters {
    SerialEnumerator filters = SerialEnumerator::No;  // its UpperFilters
    std::optional<std::string> classGuid;             // none when refused; "" when missing
};

// key's UpperFilters and, for an instance key, its ClassGUID: Unknown and
// none where refused; a missing key or value, or another type, names
// nothing.
KeyFilters ReadKey(clsRegHandler& handler, const std::string& key, bool withClass) {
    KeyFilters read;
    if (!handler.OpenRegistry(regroot::kLocalMachine, key, false)) {
        if (handler.LastRegStatus() != regstatus::kFileNotFound) {
            read.filters = SerialEnumerator::Unknown;  // and the class unknown
        } else {
            read.classGuid = std::string();
        }
        return read;
    }
    const std::optional<std::string> filters = ValueOfType(handler, kUpperFilters, regtype::kMultiSz);
    read.filters = !filters ? SerialEnumerator::Unknown
                   : NamesSerialEnumerator(*filters) ? SerialEnumerator::Yes
                                                     : SerialEnumerator::No;
    if (withClass) read.classGuid = ValueOfType(handler, kClassGuidValue, regtype::kSz);
    (void)handler.CloseRegistry();
    return read;
}

}  // namespace

std::vector<SerialEnumerator> FindSerialEnumerators(RegistryApi& registry, const std::vector<SerialPort>& ports) {
    clsRegHandler handler(registry);
    std::vector<SerialEnumerator> found;
    std::map<std::string, SerialEnumerator> classes;  // by upper-case GUID, each read once
    for (const SerialPort& port : ports) {
        const KeyFilters own = ReadKey(handler, port.InstanceKey(), true);
        SerialEnumerator byClass = SerialEnumerator::Unknown;
        if (own.classGuid && own.classGuid->empty()) {
            byClass = SerialEnumerator::No;
        } else if (own.classGuid && IsGuid(*own.classGuid)) {
            std::string guid = *own.classGuid;
            std::transform(guid.begin(), guid.end(), guid.begin(), [](unsigned char c) { return std::toupper(c); });
            const auto known = classes.find(guid);
            byClass = known != classes.end()
                          ? known->second
                          : classes.emplace(guid, ReadKey(handler, std::string(kClassKey) + "\\" + guid, false).filters)
                                .first->second;
        }
        if (own.filters == SerialEnumerator::Yes || byClass == SerialEnumerator::Yes) {
            found.push_back(SerialEnumerator::Yes);
        } else if (own.filters == SerialEnumerator::Unknown || byClass == SerialEnumerator::Unknown) {
            found.push_back(SerialEnumerator::Unknown);
        } else {
            found.push_back(SerialEnumerator::No);
        }
    }
    return found;
}

}  // namespace portquell
