#include "ports/port_inventory.h"

#include <algorithm>

#include "registry/clsRegHandler.h"

namespace portquell {

namespace {

class Taker {
public:
    explicit Taker(RegistryApi& registry) : lister_(registry), reader_(registry) {}

    // One instance whose Device Parameters opened: a port when the window
    // lists it or its PortName names a COM port; its state must be
    // readable.
    // Whether the instance is a port, by its PortName as read (a refused
    // read is kept, to be named).
    static bool IsPort(const SerialPort& port, const PortState& state) {
        return Refused(state.nameStatus) || port.WindowInstance() || (state.Named() && IsComPortName(state.portName));
    }

    void Visit(SerialPort port, const PortState& state) {
        const std::string key = port.ParameterKey();
        if (Refused(state.nameStatus)) {
            inventory_.refusals.push_back({PortRefusal::Step::Read, state.nameStatus, key, std::nullopt, state});
            return;
        }
        if (!IsPort(port, state)) return;
        port.portName = state.Named() ? state.portName : "";
        if (Refused(state.skipStatus)) {
            inventory_.refusals.push_back({PortRefusal::Step::Read, state.skipStatus, key, port});
            return;
        }
        port.skip = state.skip;
        inventory_.ports.push_back(std::move(port));
    }

    void RefuseOpen(const std::string& key, RegStatus status) {
        inventory_.refusals.push_back({PortRefusal::Step::Open, status, key, std::nullopt});
    }

    void Acpi() {
        ForEachAcpiPort(
            reader_,
            [&](std::int32_t n, const PortState& state) { Visit(SerialPort::Acpi(n), state); },
            [&](std::int32_t n, RegStatus status) { RefuseOpen(PortParameterKey(n), status); });
    }

    void All() {
        for (const std::string& enumerator : SubKeys(kEnumKey)) {
            const std::string enumeratorKey = std::string(kEnumKey) + "\\" + enumerator;
            for (const std::string& device : SubKeys(enumeratorKey)) {
                for (const std::string& instance : SubKeys(enumeratorKey + "\\" + device)) {
                    SerialPort port{enumerator, device, instance, "", {}, std::nullopt, std::nullopt};
                    // SkipEnumerations is read only for a port.
                    const std::optional<PortState> state = ReadPortState(
                        reader_, port.ParameterKey(), [&port](const PortState& s) { return IsPort(port, s); });
                    if (!state) {
                        if (reader_.LastRegStatus() != regstatus::kFileNotFound) {
                            RefuseOpen(port.ParameterKey(), RefusalStatus(reader_));
                        }
                        continue;
                    }
                    (void)reader_.CloseRegistry();
                    Visit(std::move(port), *state);
                }
            }
        }
    }

    PortInventory Take() { return std::move(inventory_); }

private:
    // Sub-key names of HKLM\path. A key that would not open, or a listing
    // that broke off, is a refusal: ports may lie behind it.
    std::vector<std::string> SubKeys(const std::string& path) {
        if (!lister_.OpenRegistry(regroot::kLocalMachine, path, false)) {
            if (lister_.LastRegStatus() != regstatus::kFileNotFound) RefuseOpen(path, RefusalStatus(lister_));
            return {};
        }
        const RegNameList names = lister_.GetAllsSubDirectories();
        const RegStatus status = lister_.LastRegStatus();
        if (!names.IsList() || status != regstatus::kSuccess) {
            inventory_.refusals.push_back({PortRefusal::Step::List,
                                           names.IsList() ? status : RefusalStatus(lister_), path,
                                           std::nullopt});
        }
        (void)lister_.CloseRegistry();
        return names.Names();
    }

    clsRegHandler lister_;
    clsRegHandler reader_;
    PortInventory inventory_;
};

}  // namespace

RegStatus RefusalStatus(const clsRegHandler& handler) {
    const RegStatus status = handler.LastRegStatus();
    return status == regstatus::kSuccess ? -1 : status;
}

bool PortRefusal::CouldHold(const std::string& asked) const {
    // A key that may hold any port could hold this one; a port whose name
    // was read is the one asked for only by that name or its key.
    return !port || port->IsCalled(asked);
}

PortInventory TakeInventory(RegistryApi& registry, PortScope scope) {
    Taker taker(registry);
    if (scope == PortScope::Acpi) {
        taker.Acpi();
    } else {
        taker.All();
    }
    return taker.Take();
}

PortSelection SelectPorts(const PortInventory& inventory, const std::vector<std::string>& names) {
    PortSelection selection;
    for (const std::string& name : names) {
        bool any = false;
        for (const SerialPort& port : inventory.ports) {
            if (!port.IsCalled(name)) continue;
            any = true;
            const bool already =
                std::any_of(selection.ports.begin(), selection.ports.end(),
                            [&](const SerialPort& s) { return s.InstanceKey() == port.InstanceKey(); });
            if (!already) selection.ports.push_back(port);
        }
        if (!any) selection.missing.push_back(name);
    }
    for (const PortRefusal& refusal : inventory.refusals) {
        if (std::any_of(names.begin(), names.end(),
                        [&](const std::string& name) { return refusal.CouldHold(name); })) {
            selection.refusals.push_back(refusal);
        }
    }
    return selection;
}

std::size_t CountOutsideWindow(const PortInventory& all) {
    return static_cast<std::size_t>(
        std::count_if(all.ports.begin(), all.ports.end(), [](const SerialPort& p) { return !p.WindowInstance(); }));
}

}  // namespace portquell
