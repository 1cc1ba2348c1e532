#include "ports/port_writes.h"

#include <memory>

#include "ports/change_journal.h"
#include "ports/port_switch.h"
#include "registry/clsRegHandler.h"

namespace portquell {

namespace {

// Puts SkipEnumerations back as before held it.
RegStatus PutBack(clsRegHandler& handler, const SkipSetting& before) {
    if (!before.present) {
        const RegStatus status = handler.DeleteValue(kSkipEnumerations);
        return status == regstatus::kFileNotFound ? regstatus::kSuccess : status;
    }
    return handler.SetRawValue(kSkipEnumerations, before.type, before.data);
}

}  // namespace

PortWrites WriteDetection(RegistryApi& registry, const std::vector<SerialPort>& ports, bool off) {
    PortWrites result;
    // Every key is opened first: a refusal there changes nothing.
    std::vector<std::unique_ptr<clsRegHandler>> handlers;
    for (const SerialPort& port : ports) {
        handlers.push_back(std::make_unique<clsRegHandler>(registry));
        const RegStatus status = OpenPortForWriting(*handlers.back(), port.ParameterKey());
        if (status != regstatus::kSuccess) {
            result.refused = PortRefusal{PortRefusal::Step::Open, status, port.ParameterKey(), port};
            return result;
        }
    }
    Journal journal;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        clsRegHandler& handler = *handlers[i];
        // The value as it is now, through the key about to be written, is
        // what an undoing puts back.
        RegStatus read = regstatus::kSuccess;
        const SkipSetting before = ReadSkipSetting(handler, read);
        if (!Refused(read) && before.present && before.type == regtype::kDword && before.data == std::string(4, off ? '\xFF' : '\0')) {
            result.already.push_back(ports[i]);
            continue;
        }
        const bool written = journal.Step(
            ports[i].ParameterKey(),
            [&] { return Refused(read) ? read : SetSkipEnumerations(handler, off); },
            [&handler, before] { return PutBack(handler, before); });
        if (!written) {
            result.refused = journal.Refusals().front();
            result.refused->port = ports[i];
            // A value that could not be read is never written: what it
            // held could not be put back.
            if (Refused(read)) result.refused->step = PortRefusal::Step::Read;
            break;
        }
        result.written.push_back(ports[i]);
    }
    if (!result.refused) return result;
    result.written.clear();
    result.already.clear();
    handlers.clear();
    clsRegHandler reader(registry);
    for (const PortRefusal& notUndone : journal.NotUndone()) {
        for (const SerialPort& port : ports) {
            if (port.ParameterKey() != notUndone.key) continue;
            PortWrites::Left left{port, regstatus::kSuccess};
            const std::optional<PortState> now = ReadPortState(reader, port.ParameterKey());
            if (now) {
                left.port.skip = now->skip;
                left.readStatus = now->skipStatus == regstatus::kFileNotFound ? regstatus::kSuccess : now->skipStatus;
                (void)reader.CloseRegistry();
            } else {
                left.readStatus = RefusalStatus(reader);
            }
            result.left.push_back(std::move(left));
            break;
        }
    }
    return result;
}

}  // namespace portquell
