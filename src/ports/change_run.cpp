#include "ports/change_run.h"

#include <cstdio>
#include <map>
#include <utility>

#include "ports/serial_port.h"
#include "registry/clsRegHandler.h"
#include "registry/reg_text.h"
#include "support/display_text.h"

namespace portquell {

namespace {

// The event log takes up to 31,839 characters in one string.
constexpr std::size_t kMaxEventText = 30000;
constexpr std::size_t kMaxShownBytes = 64;
constexpr std::uint32_t kTypesSupported = 7;  // error, warning, information

std::string ValueText(const std::optional<TrailValue>& value) {
    if (!value) return "none";
    const std::string& data = value->data;
    const bool text = value->type == regtype::kSz || value->type == regtype::kExpandSz || value->type == regtype::kMultiSz;
    const std::string shown = data.substr(0, kMaxShownBytes);
    std::string out = TypeName(value->type);
    if (text) {
        std::string chars = shown;
        while (!chars.empty() && chars.back() == '\0') chars.pop_back();
        out += " \"" + DisplayText(chars) + "\"";
    } else {
        for (const char byte : shown) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02X", static_cast<unsigned char>(byte));
            out += hex;
        }
    }
    if (data.size() > shown.size()) out += " ... (" + std::to_string(data.size()) + " bytes)";
    return out;
}

// A key as the event names it; a port's key with its port first.
std::string KeyText(const RegChange& change) {
    std::string text = std::string(RootName(change.write.root)) + "\\" + DisplayText(change.write.key);
    for (const auto& [name, value] : change.beside) {
        if (name != kPortNameValue || (value.type != regtype::kSz && value.type != regtype::kExpandSz)) continue;
        std::string port = value.data.substr(0, kMaxShownBytes);
        while (!port.empty() && port.back() == '\0') port.pop_back();
        if (!port.empty()) text = DisplayText(port) + ": " + text;
    }
    return text;
}

std::string Refusal(RegStatus status) {
    return status == regstatus::kSuccess ? "" : ": refused (status " + std::to_string(status) + ")";
}

std::string ChangeLine(const RegChange& change) {
    const std::string key = KeyText(change);
    const std::string name = change.write.name.empty() ? "(default)" : DisplayText(change.write.name);
    switch (change.write.kind) {
        case RegWrite::Kind::CreateKey:
            return key + (change.status == regstatus::kSuccess ? ": key created"
                                                                : ": could not be opened or created for writing (status " +
                                                                      std::to_string(change.status) + ")");
        case RegWrite::Kind::DeleteKey:
            return key + ": key removed" + Refusal(change.status);
        case RegWrite::Kind::DeleteValue:
            return key + ", " + name + ": " + ValueText(change.before) + " -> " + ValueText(change.after) +
                   Refusal(change.status);
        case RegWrite::Kind::SetValue:
            break;
    }
    std::string line = key + ", " + name + ": " + ValueText(change.before) + " -> ";
    if (change.status == regstatus::kSuccess) return line + ValueText(change.after);
    return line + ValueText(TrailValue{change.write.type, change.write.data}) + Refusal(change.status) +
           "; holds " + ValueText(change.after);
}

std::string DeviceLine(const DevChange& change) {
    const bool remove = change.kind == DevChange::Kind::Remove;
    const std::string id = "device " + DisplayText(change.instanceId) + ": ";
    if (change.status.Ok()) return id + (remove ? "removed" : "restarted");
    if (change.status.AtNextRestart()) {
        return id + (remove ? "removed" : "restarted") + " when Windows restarts (" + DevStatusText(change.status) + ")";
    }
    return id + (remove ? "removal" : "restart") + " refused (" + DevStatusText(change.status) + ")";
}

// Whether every value and key touched holds at the end what it held
// before the first change to it, and no device was removed or restarted.
// A key removed takes its values with it.
bool AllAsBefore(const std::vector<RegChange>& registry, const std::vector<DevChange>& devices) {
    for (const DevChange& change : devices) {
        if (change.status.Ok() || change.status.AtNextRestart()) return false;
    }
    std::map<std::string, std::optional<TrailValue>> firstValue, lastValue;  // by root, key and name
    std::map<std::string, bool> firstKey, lastKey;                            // by root and key
    for (const RegChange& change : registry) {
        const std::string key = std::to_string(change.write.root) + "\\" + UpperText(change.write.key);
        if (change.write.kind == RegWrite::Kind::SetValue || change.write.kind == RegWrite::Kind::DeleteValue) {
            const std::string value = key + "\\\\" + UpperText(change.write.name);
            firstValue.try_emplace(value, change.before);
            lastValue[value] = change.after;
            continue;
        }
        firstKey.try_emplace(key, change.existedBefore);
        lastKey[key] = change.existsAfter;
        if (change.existsAfter) continue;
        for (auto& [value, now] : lastValue) {
            if (value.compare(0, key.size() + 2, key + "\\\\") == 0) now.reset();
        }
    }
    for (const auto& [value, first] : firstValue) {
        if (first != lastValue[value]) return false;
    }
    for (const auto& [key, first] : firstKey) {
        if (first != lastKey[key]) return false;
    }
    return true;
}

}  // namespace

std::optional<TrailEvent> MakeTrailEvent(const RunContext& context, const std::vector<RegChange>& registry,
                                         const std::vector<DevChange>& devices) {
    if (registry.empty() && devices.empty()) return std::nullopt;
    bool regRefused = false;
    for (const RegChange& change : registry) regRefused = regRefused || change.status != regstatus::kSuccess;
    bool devRefused = false;
    for (const DevChange& change : devices) devRefused = devRefused || !(change.status.Ok() || change.status.AtNextRestart());
    TrailEvent event;
    std::string head;
    if (!regRefused) {
        event.type = devRefused ? EventType::Warning : EventType::Information;
        head = devRefused ? "Portquell made a change; Windows refused a device step of it."
                          : "Portquell made a change.";
    } else if (AllAsBefore(registry, devices)) {
        event.id = trailevent::kPutBack;
        event.type = EventType::Warning;
        head = "Portquell was refused a change; what it had written was put back, and nothing is changed.";
    } else {
        event.id = trailevent::kLeftChanged;
        event.type = EventType::Error;
        head = "Portquell was refused a change midway and could not put everything back: what each line holds now "
               "is left changed.";
    }
    std::string text = head + "\r\nProgram: " + DisplayText(context.program) +
                       "\r\nCommand line: " + DisplayText(context.commandLine) +
                       "\r\nAccount: " + (context.account.empty() ? "unknown" : DisplayText(context.account)) +
                       "\r\nChanges:";
    std::vector<std::string> lines;
    for (const RegChange& change : registry) lines.push_back(ChangeLine(change));
    for (const DevChange& change : devices) lines.push_back(DeviceLine(change));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (text.size() + lines[i].size() > kMaxEventText) {
            text += "\r\n... and " + std::to_string(lines.size() - i) + " more";
            break;
        }
        text += "\r\n" + lines[i];
    }
    event.text = std::move(text);
    return event;
}

RegStatus RegisterEventSource(RegistryApi& registry, const std::string& programPath) {
    clsRegHandler reader(registry);
    RegValue old;
    old.status = regstatus::kFileNotFound;
    if (reader.OpenRegistry(regroot::kLocalMachine, kEventSourceKey, false)) {
        old = reader.GetRawValue("EventMessageFile");
        std::string named = old.data;
        while (!named.empty() && named.back() == '\0') named.pop_back();
        if (old.status == regstatus::kSuccess && (old.type == regtype::kSz || old.type == regtype::kExpandSz) &&
            UpperText(named) == UpperText(programPath)) {
            return regstatus::kSuccess;
        }
    }
    clsRegHandler writer(registry);
    if (!writer.OpenRegistry(regroot::kLocalMachine, kEventSourceKey, true)) {
        return writer.LastRegStatus() != regstatus::kSuccess ? writer.LastRegStatus() : -1;
    }
    const RegStatus file = writer.SetRawValue("EventMessageFile", regtype::kExpandSz, programPath + std::string(1, '\0'));
    if (file != regstatus::kSuccess) return file;
    const std::string types{static_cast<char>(kTypesSupported), '\0', '\0', '\0'};
    const RegStatus typesWritten = writer.SetRawValue("TypesSupported", regtype::kDword, types);
    // Both values or neither: the file named before is put back.
    if (typesWritten != regstatus::kSuccess) {
        (void)(old.status == regstatus::kSuccess ? writer.SetRawValue("EventMessageFile", old.type, old.data)
                                                 : writer.DeleteValue("EventMessageFile"));
    }
    return typesWritten;
}

void ReportTrail(ChangeSeams& seams, RegistryApi& registry, const TrailRegistry& regTrail,
                 const TrailDevices& devTrail, ChangeRunOutcome& outcome) {
    const std::optional<TrailEvent> event = MakeTrailEvent(seams.context, regTrail.Changes(), devTrail.Changes());
    if (!event) return;
    outcome.reported = true;
    // A registration refused (a standard user's run) is no failure: the
    // event is kept all the same, its text shown without the message table.
    if (!seams.context.programPath.empty()) (void)RegisterEventSource(registry, seams.context.programPath);
    outcome.reportStatus = seams.log.Report(event->id, event->type, event->text);
}

}  // namespace portquell
