// guard: the machine-wide guard against serial mice (the device
// installation policy with SERIAL_MOUSE in its deny list): its state, or
// switched on or off. Exit 0 in force (state) or done, 1 not in force
// (state) or still in force after off, 2 access denied, 3 another refusal.
#include "cli/cli_commands.h"
#include "cli/cli_formats.h"
#include "cli/cli_text.h"
#include "cli/portquell_cli.h"

namespace portquell {

namespace {

void WriteDocument(const GuardState& guard, const std::vector<PortRefusal>& refused, const char* outcome,
                   std::ostream& out) {
    out << "{\n  \"guard\": ";
    WriteGuardJson(guard, out);
    WriteRefusalsJson(refused, out);
    if (outcome != nullptr) out << ",\n  \"outcome\": \"" << outcome << "\"";
    out << "\n}\n";
}

const char* OutcomeName(GuardChange::Outcome outcome) {
    switch (outcome) {
        case GuardChange::Outcome::Done:
            return "done";
        case GuardChange::Outcome::Unchanged:
            return "unchanged";
        case GuardChange::Outcome::StillInForce:
            return "stillInForce";
        case GuardChange::Outcome::Refused:
            break;
    }
    return "refused";
}

// What a change did, for people.
void SayChange(bool on, const GuardChange& change, std::ostream& out) {
    const GuardState& g = change.after;
    switch (change.outcome) {
        case GuardChange::Outcome::Done:
            out << (on ? "serial mouse guard on: value " + Printable(g.entry) +
                             " of the DenyDeviceIDs list names SERIAL_MOUSE and the switch is on; no serial mouse "
                             "the serial enumerator detects from now on gets a driver, on any port\n"
                       : std::string("serial mouse guard off: what 'guard on' added or changed is undone\n"));
            break;
        case GuardChange::Outcome::Unchanged:
            out << (on ? "serial mouse guard already in force: " + GuardReason(g) + "\n"
                       : std::string("serial mouse guard not in force, and nothing recorded to undo\n"));
            break;
        case GuardChange::Outcome::StillInForce:
            out << "serial mouse guard stays in force: value " << Printable(g.entry)
                << " names SERIAL_MOUSE, and portquell-cli did not add it (Group Policy or Intune may manage it: "
                   "remove it there)\n";
            break;
        case GuardChange::Outcome::Refused:
            break;
    }
}

}  // namespace

int GuardCommand(const Options& options, RegistryApi& registry, std::ostream& out, std::ostream& err) {
    if (options.ports.empty()) {
        const GuardState guard = ReadGuard(registry);
        if (options.json) {
            WriteDocument(guard, guard.refusals, nullptr, out);
        } else {
            WriteGuardText(guard, out);
        }
        const int refused = ReportRefusals(guard.refusals, "the guard's state is not certain", err);
        if (refused != cliexit::kDone) return refused;
        return guard.InForce() ? cliexit::kDone : cliexit::kCheckFailed;
    }
    const bool on = options.ports[0] == "on";
    const GuardChange change = on ? GuardOn(registry) : GuardOff(registry);
    if (options.json) {
        WriteDocument(change.after, change.refusals, OutcomeName(change.outcome), out);
    } else {
        SayChange(on, change, out);
        if (change.outcome != GuardChange::Outcome::Refused) WriteGuardText(change.after, out);
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
    if (refused != cliexit::kDone) return refused;
    return change.outcome == GuardChange::Outcome::StillInForce ? cliexit::kCheckFailed : cliexit::kDone;
}

}  // namespace portquell
