// guard: the machine-wide guard against serial mice (the device
// installation policy with SERIAL_MOUSE in its deny list, and no serial
// mouse installed before it keeping its driver): its state, or switched on
// or off. Exit 0 in force (state) or done, 1 not in force (state), not set
// because the list holds others' entries (on), or still in force (off),
// 2 access denied, 3 another refusal, 5 on: set, but a serial mouse keeps
// its driver until Windows restarts or could not be removed.
#include <algorithm>

#include "cli/cli_commands.h"
#include "cli/cli_formats.h"
#include "cli/cli_text.h"
#include "cli/portquell_cli.h"
#include "guard/guard_run.h"

namespace portquell {

namespace {

const char* OutcomeName(const GuardChange& change) {
    switch (change.outcome) {
        case GuardChange::Outcome::Done:
            return "done";
        case GuardChange::Outcome::Unchanged:
            return "unchanged";
        case GuardChange::Outcome::StillInForce:
            return "stillInForce";
        case GuardChange::Outcome::SwitchLeftOn:
            return "switchLeftOn";
        case GuardChange::Outcome::OthersOff:
            return "othersOff";
        case GuardChange::Outcome::Refused:
            break;
    }
    return change.notUndone.empty() ? "refused" : "refusedInPart";
}

void WriteEntriesJson(const char* name, const std::vector<GuardEntry>& entries, std::ostream& out) {
    out << ",\n  \"" << name << "\": [";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        out << (i == 0 ? "" : ", ") << "{\"value\": " << JsonString(entries[i].first)
            << ", \"id\": " << (entries[i].second.empty() ? "null" : JsonString(entries[i].second)) << "}";
    }
    out << "]";
}

void WriteDocument(const GuardReport& guard, const std::vector<PortRefusal>& refused, const GuardRun* run,
                   std::ostream& out, const ChangePlan* plan = nullptr) {
    const GuardChange* change = run != nullptr ? &run->change : nullptr;
    out << "{\n  \"guard\": ";
    WriteGuardJson(guard, out);
    WriteRefusalsJson(refused, out);
    if (!guard.mice.listing.Ok()) {
        out << ",\n  \"miceRefused\": ";
        WriteDeviceRefusalJson(guard.mice.listing, out);
    }
    if (change != nullptr) {
        out << ",\n  \"outcome\": \"" << OutcomeName(*change) << "\", \"" << (plan != nullptr ? "policyWouldChange" : "policyChanged")
            << "\": " << (run->PolicyChanged() ? "true" : "false");
        if (!change->keptBy.empty()) WriteEntriesJson("otherEntries", change->keptBy, out);
        if (!change->notUndone.empty()) {
            // What a refusal midway left changed.
            out << ",\n  \"left\": [";
            for (std::size_t i = 0; i < change->notUndone.size(); ++i) {
                const PortRefusal& r = change->notUndone[i];
                out << (i == 0 ? "" : ", ") << "{\"key\": " << JsonString("HKLM\\" + r.key)
                    << ", \"status\": " << r.status << "}";
            }
            out << "]";
        }
        if (plan != nullptr) {
            WritePlanJson(*plan, out);
            out << "\n}\n";
            return;
        }
        const std::vector<Relief::Removal>& removals = run->removals;
        out << ",\n  \"miceRemoved\": [";
        for (std::size_t i = 0; i < removals.size(); ++i) {
            out << (i == 0 ? "" : ", ") << "{\"device\": " << JsonString(removals[i].mouse.device.instanceId)
                << ", \"gone\": " << (removals[i].Gone() ? "true" : "false")
                << ", \"status\": " << removals[i].status.code << "}";
        }
        out << "]";
    }
    out << "\n}\n";
}

// What a change did, for people.
void SayChange(bool on, const GuardChange& change, std::size_t removals, std::ostream& out) {
    const GuardState& g = change.after;
    switch (change.outcome) {
        case GuardChange::Outcome::Done:
            out << (on ? "serial mouse guard on: value " + Printable(g.entry) +
                             " of the DenyDeviceIDs list names SERIAL_MOUSE and the switch is on; no serial mouse "
                             "the serial enumerator detects from now on gets a driver, on any port\n"
                       : std::string("serial mouse guard off: what 'guard on' added or changed is undone; no "
                                     "serial mouse is installed again until Windows next detects one\n"));
            break;
        case GuardChange::Outcome::Unchanged:
            out << (on ? "serial mouse guard policy unchanged: value " + Printable(g.entry) +
                             " of the DenyDeviceIDs list already names SERIAL_MOUSE and the switch is on" +
                             (removals > 0 ? "; the serial mice installed before it are removed:" : "") + "\n"
                       : std::string("serial mouse guard not in force, and nothing recorded to undo\n"));
            break;
        case GuardChange::Outcome::StillInForce:
            out << "serial mouse guard stays in force: value " << Printable(g.entry)
                << " names SERIAL_MOUSE, and portquell-cli did not add it (Group Policy or Intune may manage it: "
                   "remove it there)\n";
            break;
        case GuardChange::Outcome::SwitchLeftOn:
            out << "serial mouse guard off: no value of the DenyDeviceIDs list names SERIAL_MOUSE now, but the "
                   "switch stays on: the list holds other entries that it keeps in force: "
                << EntriesText(change.keptBy) << "\n";
            break;
        case GuardChange::Outcome::OthersOff:
            out << "serial mouse guard not set, nothing was changed: the switch DenyDeviceIDs is off, and turning it "
                   "on would put in force the entries another administrator left off: "
                << EntriesText(change.keptBy)
                << ". Whoever set that list (Group Policy, Intune or another administrator) adds SERIAL_MOUSE to it "
                   "and turns it on, or clears it.\n";
            break;
        case GuardChange::Outcome::Refused:
            break;
    }
    if (!change.foreignKey.empty()) {
        out << "note: the record names " << PrintableKey(change.foreignKey)
            << " as created, which is no key of the guard's, so it was left\n";
    }
    if (change.recordKeyKept) {
        out << "note: " << PrintableKey(kGuardRecordKey)
            << " holds keys or values that portquell-cli did not write, so it was left\n";
    }
}

// Each removal of guard on, in a line.
void SayRemovals(const std::vector<Relief::Removal>& removals, std::ostream& out) {
    for (const Relief::Removal& removal : removals) {
        out << "serial mouse " << DeviceLabel(removal.mouse.device.instanceId) << " (installed before the guard)"
            << RemovalText(removal) << "\n";
    }
}

int ShowState(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
              std::ostream& err) {
    const GuardReport guard = ReadGuardReport(registry, devices);
    if (options.json) {
        WriteDocument(guard, guard.refusals, nullptr, out);
    } else {
        WriteGuardText(guard, out);
    }
    const int refused = WorseExit(ReportRefusals(guard.refusals, "the guard's state is not certain", err),
                                  ReportDeviceRefusal(guard.mice.listing, "the guard's state is not certain", err));
    if (refused != cliexit::kDone) return refused;
    return guard.HoldsForCertain() ? cliexit::kDone : cliexit::kCheckFailed;
}

// The exit status of an outcome that leaves the guard not as asked: 1.
int OutcomeExit(const GuardChange& change) {
    switch (change.outcome) {
        case GuardChange::Outcome::StillInForce:
        case GuardChange::Outcome::SwitchLeftOn:
        case GuardChange::Outcome::OthersOff:
            return cliexit::kCheckFailed;
        default:
            break;
    }
    return cliexit::kDone;
}

// What the change would leave, for people, after the plan.
void SayWouldLeave(bool on, const GuardChange& change, std::ostream& out) {
    switch (change.outcome) {
        case GuardChange::Outcome::Done:
            out << (on ? "then the serial mouse guard would be in force\n"
                       : "then what 'guard on' added or changed would be undone\n");
            break;
        case GuardChange::Outcome::Unchanged:
            out << (on ? "the policy is in force already\n" : "the guard is not in force, and nothing is recorded to undo\n");
            break;
        case GuardChange::Outcome::StillInForce:
            out << "the guard would stay in force: value " << Printable(change.after.entry)
                << " names SERIAL_MOUSE, and portquell-cli did not add it\n";
            break;
        case GuardChange::Outcome::SwitchLeftOn:
            out << "the switch would stay on for the other entries of the list: " << EntriesText(change.keptBy) << "\n";
            break;
        case GuardChange::Outcome::OthersOff:
            out << "the guard would not be set: the switch DenyDeviceIDs is off, and turning it on would put in force "
                   "the entries another administrator left off: "
                << EntriesText(change.keptBy) << "\n";
            break;
        case GuardChange::Outcome::Refused:
            break;
    }
}

// guard on or off --dry-run: the plan the command would carry out, and
// nothing written or removed. 0, or the status of a refused read.
int ShowPreview(bool on, const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                std::ostream& err) {
    const GuardPreview preview = PreviewGuard(on, registry, devices);
    const GuardChange& change = preview.run.change;
    if (options.json) {
        WriteDocument(ReadGuardReport(registry, devices), change.refusals, &preview.run, out, &preview.plan);
    } else if (change.outcome != GuardChange::Outcome::Refused) {
        WritePlanText(preview.plan, out);
        SayWouldLeave(on, change, out);
    }
    int refused = ReportRefusals(change.refusals, "nothing would be changed", err);
    if (!change.refusedWhy.empty()) {
        err << kProgram << ": " << change.refusedWhy << ", so nothing would be changed.\n";
        refused = cliexit::kRegistryError;
    }
    if (preview.run.inForce) {
        refused = WorseExit(refused, ReportDeviceRefusal(preview.run.after.mice.listing,
                                                         "the serial mice it would remove are not known", err));
    }
    return refused;
}

}  // namespace

int GuardCommand(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                 std::ostream& err) {
    if (options.ports.empty()) return ShowState(options, registry, devices, out, err);
    const bool on = options.ports[0] == "on";
    if (options.dryRun) return ShowPreview(on, options, registry, devices, out, err);
    const GuardRun run = RunGuard(on, registry, devices);
    const GuardChange& change = run.change;
    if (options.json) {
        WriteDocument(run.after, change.refusals, &run, out);
    } else {
        SayChange(on, change, run.removals.size(), out);
        SayRemovals(run.removals, out);
        if (change.outcome != GuardChange::Outcome::Refused) WriteGuardText(run.after, out);
    }
    // Said only when it is so: a refusal midway whose undoing failed too
    // left part of the change.
    const char* consequence = change.notUndone.empty() ? "nothing was changed" : "the policy may be changed in part";
    int refused = ReportRefusals(change.refusals, consequence, err);
    if (!change.refusedWhy.empty()) {
        err << kProgram << ": " << change.refusedWhy << ", so nothing was changed.\n";
        refused = cliexit::kRegistryError;
    }
    for (const PortRefusal& left : change.notUndone) {
        err << kProgram << ": undoing failed: " << RefusalText(left) << "; look at it by hand.\n";
    }
    // The policy is written either way: mice that could not be listed are
    // a change not known to be whole (5), not a refusal of it.
    if (run.inForce) {
        (void)ReportDeviceRefusal(run.after.mice.listing, "the serial mice installed before the guard may keep their driver", err);
    }
    if (refused != cliexit::kDone) return refused;
    const int kept = OutcomeExit(change);
    if (kept != cliexit::kDone) return kept;
    return run.MiceLeft() ? cliexit::kAtNextRestart : cliexit::kDone;
}

}  // namespace portquell
