// The serial mouse guard as people and scripts read it.
#include "cli/cli_formats.h"
#include "cli/cli_text.h"

namespace portquell {

namespace {

std::string SwitchText(const GuardState& g) {
    if (!g.switchPresent) return "missing";
    if (!g.switchValue) return "not a four-byte REG_DWORD";
    return std::to_string(*g.switchValue);
}

std::string ServiceNote(const GuardState& g) {
    if (!g.serviceStart || *g.serviceStart == kDemandStart) return "";
    return "the serial mouse driver (sermouse) has start type " + std::to_string(*g.serviceStart) +
           (*g.serviceStart == 4 ? " (disabled): serial mice get no driver whatever this policy says"
                                 : ", not the default 3");
}

std::string JsonNumber(const std::optional<std::uint32_t>& n) { return n ? std::to_string(*n) : "null"; }

std::string PolicyReason(const GuardState& g) {
    if (g.InForce()) {
        return "value " + Printable(g.entry) + " of the DenyDeviceIDs list names SERIAL_MOUSE and the switch is on";
    }
    std::string why;
    if (!g.SwitchOn()) why = "the switch DenyDeviceIDs is " + SwitchText(g);
    if (g.entry.empty()) why += std::string(why.empty() ? "" : "; ") + "no value of the DenyDeviceIDs list names SERIAL_MOUSE";
    return why;
}

// Where a mouse is, for people.
std::string MousePlace(const SerialMouse& m) {
    return (m.port ? "on " + PortLabel(*m.port) : std::string("port cannot be told")) +
           (m.device.present ? ", present" : ", not present");
}

}  // namespace

std::string EntriesText(const std::vector<GuardEntry>& entries) {
    std::string text;
    for (const GuardEntry& e : entries) {
        text += (text.empty() ? "value " : ", value ") + Printable(e.first) + " (" +
                (e.second.empty() ? std::string("not a REG_SZ") : Printable(e.second)) + ")";
    }
    return text;
}

std::string GuardReason(const GuardReport& guard) {
    std::string why = PolicyReason(guard.policy);
    const std::size_t mice = guard.WithDriver().size();
    if (mice > 0) {
        why += "; " + std::to_string(mice) + (mice == 1 ? " serial mouse" : " serial mice") +
               " installed, which keep their driver whatever the policy says ('portquell-cli guard on' removes "
               "them)";
    }
    if (!guard.mice.listing.Ok()) why += "; the serial mice could not be listed";
    return why;
}

void WriteGuardText(const GuardReport& guard, std::ostream& out) {
    const GuardState& g = guard.policy;
    out << "serial mouse guard: " << (guard.Holds() ? "in force" : "not in force") << ": " << GuardReason(guard)
        << "\n"
        << "  policy key:    " << PrintableKey(kRestrictionsKey) << "\n"
        << "  switch:        DenyDeviceIDs " << SwitchText(g) << "\n"
        << "  entry:         " << (g.entry.empty() ? std::string("none") : "value " + Printable(g.entry)) << "\n"
        << "  retroactive:   " << (g.retroactive ? std::to_string(*g.retroactive) : std::string("not set"))
        << " (portquell-cli never sets it)\n"
        << "  other entries: " << g.otherEntries << "\n";
    for (const SerialMouse& m : guard.WithDriver()) {
        out << "  keeps driver:  serial mouse " << DeviceLabel(m.device.instanceId) << " (" << MousePlace(m) << ")\n";
    }
    if (g.record.Names()) {
        out << "  set by portquell-cli:"
            << (g.record.entry.empty() ? "" : " entry " + Printable(g.record.entry))
            << (g.record.switchBefore.empty() ? "" : "; switch (was " + Printable(g.record.switchBefore) + ")")
            << (g.record.Complete() ? "" : "; incomplete: a 'guard on' did not finish ('guard off' undoes it)")
            << "\n";
    }
    out << "note: a Group Policy or Intune policy that configures \"Prevent installation of devices that match any "
           "of these device IDs\" replaces this list at its next refresh; 'portquell-cli check --guard' shows "
           "whether the guard is still in force\n";
    const std::string service = ServiceNote(g);
    if (!service.empty()) out << "note: " << service << "\n";
}

void WriteGuardJson(const GuardReport& guard, std::ostream& out) {
    const GuardState& g = guard.policy;
    out << "{\"inForce\": " << (guard.Holds() ? "true" : "false") << ", \"reason\": " << JsonString(GuardReason(guard))
        << ", \"switch\": " << (g.switchPresent ? (g.switchValue ? std::to_string(*g.switchValue) : "\"other type\"") : "null")
        << ", \"entry\": " << (g.entry.empty() ? "null" : JsonString(g.entry))
        << ", \"retroactive\": " << JsonNumber(g.retroactive) << ", \"otherEntries\": " << g.otherEntries
        << ", \"setByPortquell\": " << (g.record.Names() ? "true" : "false")
        << ", \"recordComplete\": " << (g.record.Names() ? (g.record.Complete() ? "true" : "false") : "null")
        << ", \"serialMouseStart\": " << JsonNumber(g.serviceStart) << ", \"miceWithDriver\": [";
    const std::vector<SerialMouse> mice = guard.WithDriver();
    for (std::size_t i = 0; i < mice.size(); ++i) {
        out << (i == 0 ? "" : ", ");
        WriteMouseJson(mice[i], out);
    }
    out << "]}";
}

}  // namespace portquell
