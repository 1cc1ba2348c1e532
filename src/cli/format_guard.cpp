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

}  // namespace

std::string GuardReason(const GuardState& g) {
    if (g.InForce()) {
        return "value " + Printable(g.entry) + " of the DenyDeviceIDs list names SERIAL_MOUSE and the switch is on";
    }
    std::string why;
    if (!g.SwitchOn()) why = "the switch DenyDeviceIDs is " + SwitchText(g);
    if (g.entry.empty()) why += std::string(why.empty() ? "" : "; ") + "no value of the DenyDeviceIDs list names SERIAL_MOUSE";
    return why;
}

void WriteGuardText(const GuardState& g, std::ostream& out) {
    out << "serial mouse guard: " << (g.InForce() ? "in force" : "not in force") << ": " << GuardReason(g) << "\n"
        << "  policy key:    " << PrintableKey(kRestrictionsKey) << "\n"
        << "  switch:        DenyDeviceIDs " << SwitchText(g) << "\n"
        << "  entry:         " << (g.entry.empty() ? std::string("none") : "value " + Printable(g.entry)) << "\n"
        << "  retroactive:   " << (g.retroactive ? std::to_string(*g.retroactive) : std::string("not set"))
        << " (portquell-cli never sets it: 'disable --all --now' removes installed mice)\n"
        << "  other entries: " << g.otherEntries << "\n";
    if (g.record.present) {
        out << "  set by portquell-cli:"
            << (g.record.entry.empty() ? "" : " entry " + Printable(g.record.entry))
            << (g.record.switchBefore.empty() ? "" : "; switch (was " + Printable(g.record.switchBefore) + ")")
            << "\n";
    }
    if (g.otherEntries > 0) {
        out << "note: the list has other entries, so Group Policy or Intune probably manages it: the next policy "
               "refresh may overwrite what portquell-cli wrote\n";
    }
    const std::string service = ServiceNote(g);
    if (!service.empty()) out << "note: " << service << "\n";
}

void WriteGuardJson(const GuardState& g, std::ostream& out) {
    out << "{\"inForce\": " << (g.InForce() ? "true" : "false") << ", \"reason\": " << JsonString(GuardReason(g))
        << ", \"switch\": " << (g.switchPresent ? (g.switchValue ? std::to_string(*g.switchValue) : "\"other type\"") : "null")
        << ", \"entry\": " << (g.entry.empty() ? "null" : JsonString(g.entry))
        << ", \"retroactive\": " << JsonNumber(g.retroactive) << ", \"otherEntries\": " << g.otherEntries
        << ", \"setByPortquell\": " << (g.record.present ? "true" : "false")
        << ", \"serialMouseStart\": " << JsonNumber(g.serviceStart) << "}";
}

}  // namespace portquell
