#include "ports/serial_enumerator.h"

#include <algorithm>

#include "registry/clsRegHandler.h"

namespace portquell {

namespace {

// Whether key's UpperFilters names serenum: Unknown when the key or value
// was refused; a missing key or value, or another type, names nothing.
SerialEnumerator FiltersOf(clsRegHandler& handler, const std::string& key) {
    if (!handler.OpenRegistry(regroot::kLocalMachine, key, false)) {
        return handler.LastRegStatus() == regstatus::kFileNotFound ? SerialEnumerator::No : SerialEnumerator::Unknown;
    }
    const std::string filters = handler.GetValue(kUpperFilters);
    const RegStatus status = handler.LastRegStatus();
    const bool multi = handler.LastValueType() == std::optional<std::uint32_t>(regtype::kMultiSz);
    const bool failed =
        status != regstatus::kFileNotFound && (status != regstatus::kSuccess || !handler.sLastRegErr.empty());
    (void)handler.CloseRegistry();
    if (failed) return SerialEnumerator::Unknown;
    if (status != regstatus::kSuccess || !multi) return SerialEnumerator::No;
    std::size_t start = 0;
    while (start < filters.size()) {
        const std::size_t end = std::min(filters.find('\0', start), filters.size());
        if (SameTextIgnoringCase(filters.substr(start, end - start), kSerialEnumeratorService)) {
            return SerialEnumerator::Yes;
        }
        start = end + 1;
    }
    return SerialEnumerator::No;
}

}  // namespace

std::vector<SerialEnumerator> FindSerialEnumerators(RegistryApi& registry, const std::vector<SerialPort>& ports) {
    clsRegHandler handler(registry);
    std::vector<SerialEnumerator> found;
    if (ports.empty()) return found;
    const SerialEnumerator byClass = FiltersOf(handler, kPortsClassKey);
    for (const SerialPort& port : ports) {
        const SerialEnumerator own = byClass == SerialEnumerator::Yes ? byClass : FiltersOf(handler, port.InstanceKey());
        found.push_back(own == SerialEnumerator::Yes || byClass == SerialEnumerator::No ? own : SerialEnumerator::Unknown);
    }
    return found;
}

}  // namespace portquell
