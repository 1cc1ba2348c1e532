// portquell-cli's commands, one file each; every one returns its exit
// status (cliexit).
#pragma once

#include <ostream>
#include <vector>

#include "cli/cli_options.h"
#include "cli/portquell_cli.h"
#include "devices/device_api.h"
#include "ports/port_inventory.h"
#include "registry/registry_api.h"

namespace portquell {

// The ports list, check and export take without names: every serial port,
// or with --acpi the window's.
[[nodiscard]] inline PortScope ScopeOf(const Options& options) {
    return options.acpi ? PortScope::Acpi : PortScope::All;
}

int ListCommand(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                std::ostream& err);
int ExportCommand(const Options& options, RegistryApi& registry, std::ostream& out, std::ostream& err);
int CheckCommand(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                 std::ostream& err);
int SwitchCommand(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                  std::ostream& err);
int GuardCommand(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                 std::ostream& err);
int MiceCommand(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                std::ostream& err);
int ReportCommand(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                  std::ostream& err);
int IdentifyCommand(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                    std::ostream& err, const Pause& pause);

// Names each refusal on err with what follows from it; returns the exit
// status they call for: 0 when there are none, 2 when access was denied
// everywhere (an administrator can read them), 3 otherwise.
int ReportRefusals(const std::vector<PortRefusal>& refusals, const char* consequence, std::ostream& err);
// Names each of names on err as matching no port.
void ReportMissing(const std::vector<std::string>& names, std::ostream& err);
// The same for a device listing that failed: 0 when it did not.
int ReportDeviceRefusal(DevStatus status, const char* consequence, std::ostream& err);
// Two refusals' exit statuses as one, whatever their order: 3 when either
// is 3, else 2 when either is 2, else 0.
[[nodiscard]] int WorseExit(int a, int b);

}  // namespace portquell
