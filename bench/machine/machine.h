// A big machine's device tree, generated: n device instances under
// HKLM\SYSTEM\CurrentControlSet\Enum as Windows keeps them (a ClassGUID,
// a hardware ID, a Device Parameters key with a few values), present or
// long unplugged, a fifth of them under USB beside the Prolific port, the
// rest HID devices, disks and print queues, beside three serial ports (ACPI COM1, an FTDI adapter's
// COM5, a Prolific adapter's COM7) and one serial mouse on COM5, which
// the benchmark writes into a Wine prefix of its own.
#pragma once

#include <string>

#include "registry/registry_api.h"

namespace portquell::bench {

inline constexpr const char* kBenchEnum = "SYSTEM\\CurrentControlSet\\Enum";
inline constexpr const char* kMouseInstance = "SERENUM\\PNP0F0C\\7&1A2B3C4D&0&0000";
inline constexpr const char* kCom5Instance = "FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000";

// Writes the machine; false when a write was refused (status in status).
[[nodiscard]] bool WriteMachine(RegistryApi& registry, int instances, RegStatus& status);

}  // namespace portquell::bench
