// portquell-cli's three output formats: the table for people, JSON for
// scripts, the .reg file for regedit and reg import.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "guard/guard_report.h"
#include "ports/change_plan.h"
#include "ports/port_inventory.h"
#include "ports/port_relief.h"
#include "ports/port_writes.h"
#include "ports/serial_enumerator.h"
#include "ports/serial_mice.h"

namespace portquell {

// PORT, MOUSE DETECTION and KEY in aligned columns; with enumerators (one
// per port) SERIAL ENUMERATOR, with connected CONNECTED, and with device
// DEVICE (DeviceCell), before KEY.
void WriteTable(const std::vector<SerialPort>& ports, std::ostream& out,
                const std::vector<SerialEnumerator>* enumerators = nullptr, bool connected = false,
                bool device = false);
// "yes", "no" or "unknown".
[[nodiscard]] std::string ConnectedText(const SerialPort& port);

// "yes", "no" or "unknown".
[[nodiscard]] std::string EnumeratorText(SerialEnumerator enumerator);

// The guard: in force or not, and why (the policy, and the serial mice
// that keep their driver).
[[nodiscard]] std::string GuardReason(const GuardReport& guard);
// Its state for people, with the mice that keep their driver, notes on
// other entries, policy refreshes and the driver.
void WriteGuardText(const GuardReport& guard, std::ostream& out);
// Its state as one JSON object.
void WriteGuardJson(const GuardReport& guard, std::ostream& out);
// Deny-list entries as people read them: "value 2 (USB\VID_1234)".
[[nodiscard]] std::string EntriesText(const std::vector<GuardEntry>& entries);

// The serial mice: PORT (with the device on it), PRESENT, HARDWARE ID,
// DEVICE and PORT KEY.
void WriteMiceTable(const std::vector<SerialMouse>& mice, std::ostream& out);
// A field holding a JSON array, after another field (it begins with a
// comma): write(item) writes each item.
template <class Item, class Write>
void WriteJsonArray(std::ostream& out, const char* name, const std::vector<Item>& items, Write write) {
    out << ",\n  \"" << name << "\": [";
    for (std::size_t i = 0; i < items.size(); ++i) {
        out << (i == 0 ? "\n    " : ",\n    ");
        write(items[i]);
    }
    out << (items.empty() ? "]" : "\n  ]");
}

// A port's device as the fields of a JSON object ("name", "reported",
// "maker", "usb", "location"; each after a field: they begin with a comma).
void WriteIdentityJson(const DeviceIdentity& identity, std::ostream& out);

// One mouse as a JSON object.
void WriteMouseJson(const SerialMouse& mouse, std::ostream& out);
// A failed mice listing as a JSON object: its status and the reason.
void WriteDeviceRefusalJson(DevStatus status, std::ostream& out);
// The keys that could not be read, as the document's "refused" array
// (after a field: it begins with a comma).
void WriteRefusalsJson(const std::vector<PortRefusal>& refusals, std::ostream& out);
// mice --json: the mice, "refused" (keys that could not be read) and
// "miceRefused" when the mice could not be listed, as check --json has them.
void WriteMiceJson(const std::vector<SerialMouse>& mice, const std::vector<PortRefusal>& refusals,
                   std::optional<DevStatus> miceRefused, std::ostream& out);

// What a JSON document holds besides the ports; each field is written
// when given.
struct JsonReport {
    bool reasons = false;  // each port with the reason for its state
    std::optional<std::vector<std::string>> missing;  // names that match no port
    std::optional<std::vector<PortRefusal>> refused;  // keys that could not be read
    std::optional<std::size_t> notChecked;            // ports outside what was checked
    std::optional<std::vector<SerialMouse>> mice;     // serial mice present on ports checked, or that may be
    std::optional<DevStatus> miceRefused;             // the mice listing, when it failed
    std::optional<std::vector<SerialEnumerator>> enumerators;  // one per port
    bool connected = false;                                    // each port's "connected"
    std::optional<GuardReport> guard;                          // check --guard
    std::optional<bool> compliant;
    // The command's own fields, after the others (each begins with a comma).
    std::function<void(std::ostream&)> more;
};
void WriteJson(const std::vector<SerialPort>& ports, const JsonReport& report, std::ostream& out);

// disable and enable --json: the ports asked about (as read before), the
// names that match none, the refusals, what was written or would be, the
// ports left changed after a refusal, and with --now each port's relief.
struct SwitchReport {
    bool off = true;
    bool dryRun = false;  // the dry run was made: ports are the keys it would write
    std::vector<SerialPort> ports;
    std::vector<std::string> missing;
    std::vector<PortRefusal> refused;
    std::optional<PortWrites> writes;
    std::optional<ReliefReport> relief;
    std::optional<ChangePlan> plan;  // the dry run's
};
void WriteSwitchJson(const SwitchReport& report, std::ostream& out);

// A preview's plan for people: a line for each write, restart and
// removal, in the order the command would make them.
void WritePlanText(const ChangePlan& plan, std::ostream& out);
// The same as the document's "plan" field (after a field: it begins with
// a comma).
void WritePlanJson(const ChangePlan& plan, std::ostream& out);

// A .reg file that sets each port's current state. A port whose key names
// a .reg file cannot carry is left out and named on err; returns whether
// every port went in.
[[nodiscard]] bool WriteRegFile(const std::vector<SerialPort>& ports, std::ostream& out,
                                std::ostream& err);

}  // namespace portquell
