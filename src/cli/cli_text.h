// How portquell-cli shows what it read from the registry: console text
// that stays printable ASCII whatever the bytes, JSON strings that carry
// the characters the names mean, and the words for states and refusals.
#pragma once

#include <string>

#include "devices/device_api.h"
#include "ports/port_inventory.h"
#include "ports/port_relief.h"
#include "ports/serial_port.h"
#include "registry/reg_text.h"
#include "support/display_text.h"

namespace portquell {

inline constexpr const char* kProgram = "portquell-cli";

// Registry text as the console and comments may show it: printable ASCII
// as it is, a backslash doubled, every other byte (DEL included) as \xHH.
// Nothing read from the registry can then move the cursor, clear the
// screen or end a comment line.
[[nodiscard]] std::string Printable(const std::string& text);

// The length of utf8's longest beginning that ends on a whole character:
// a character cut at the end waits for its other bytes.
[[nodiscard]] std::size_t WholeUtf8Length(const std::string& utf8);

// How many characters a UTF-8 text shows: its bytes that start one.
[[nodiscard]] std::size_t DisplayWidth(const std::string& utf8);

// The device on a port for a table's DEVICE column: its title, then for a
// USB device "VID_xxxx PID_xxxx", its serial number or "no serial
// number", and its location; "-" when nothing is known.
[[nodiscard]] std::string DeviceCell(const SerialPort& port);

// A port and the device on it, as people know them: "COM7 "GPS
// Receiver"", or PortLabel alone when the device's title is unknown.
[[nodiscard]] std::string PortNamed(const SerialPort& port);

// A JSON string of ANSI text: its characters, those outside printable
// ASCII as \uXXXX (UTF-16), so that the output is plain ASCII.
[[nodiscard]] std::string JsonString(const std::string& text);

// A key path or device ID, each name escaped on its own and the
// separators kept.
[[nodiscard]] std::string PrintablePath(const std::string& path);

// "HKLM\" and a key below it, each name escaped on its own and the
// separators kept, so that it can be pasted into reg query.
[[nodiscard]] std::string PrintableKey(const std::string& keyBelowHklm);

// A device instance ID as PrintablePath shows it, or "instance ID
// unreadable" when the system would not give it.
[[nodiscard]] std::string DeviceLabel(const std::string& instanceId);

// A port as people know it: its name, or its key when it has none.
[[nodiscard]] std::string PortLabel(const SerialPort& port);

// "off" or "on", by the serial enumerator's reading (SkipSetting::Off).
[[nodiscard]] std::string Detection(const SerialPort& port);

// What SkipEnumerations holds and why that is detection on or off, e.g.
// "SkipEnumerations is missing".
[[nodiscard]] std::string SkipReason(const SkipSetting& skip);

// "could not list the serial mice (status 5)".
[[nodiscard]] std::string DeviceRefusalText(DevStatus status);

// What became of one mouse, after "serial mouse <id>": " removed",
// " gone already", " removed when Windows restarts (...)" or
// " not removed (...)".
[[nodiscard]] std::string RemovalText(const Relief::Removal& removal);

// A port's relief verdict: "in force now", "in force when it is next
// connected" or "in force at the next restart" (also after a refusal).
[[nodiscard]] std::string VerdictText(const ReliefVerdict& verdict);
// The same for a JSON document: "now", "whenConnected", "atNextRestart",
// "refused".
[[nodiscard]] const char* VerdictWord(const ReliefVerdict& verdict);

// What could not be read, e.g. "could not open HKLM\... (status 5)".
[[nodiscard]] std::string RefusalText(const PortRefusal& refusal);

}  // namespace portquell
