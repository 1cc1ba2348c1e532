// portquell-cli: the port switch for administrators and scripts, on every
// serial port of the machine. The command logic is here, apart from the
// console, so it runs in the tests on any registry.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "devices/device_api.h"
#include "ports/change_run.h"
#include "registry/registry_api.h"

namespace portquell {

namespace cliexit {
inline constexpr int kDone = 0;
inline constexpr int kPortNotFound = 1;
inline constexpr int kCheckFailed = 1;  // check: detection is on somewhere, or a port is missing
inline constexpr int kAccessDenied = 2;
inline constexpr int kRegistryError = 3;  // refused for another reason than access, or another run is changing the PC
inline constexpr int kExportIncomplete = 4;  // a port's key could not be put in the .reg file
inline constexpr int kAtNextRestart = 5;  // disable --now: written, but in force only from the next restart
inline constexpr int kNothingSeen = 1;    // identify: no port appeared or went within the timeout
inline constexpr int kUsage = 64;
inline constexpr int kInterrupted = 130;  // identify: stopped with Ctrl+C
}  // namespace cliexit

// The program's version and the commit it was built from ("development
// build" when none).
[[nodiscard]] const char* ProgramVersion();
[[nodiscard]] const char* ProgramRevision();

// Waits between identify's looks for milliseconds; false when the user
// stopped the run (Ctrl+C), at once.
using Pause = std::function<bool(int milliseconds)>;

// Runs one command (args without the program name) on registry and
// devices; returns the exit code. identify waits through pause (by
// default a plain sleep). A command that changes something runs under
// seams' lock and reports to its log (by default a log and a lock of its
// own, which no one else sees); the program and command line are its own.
int RunCli(const std::vector<std::string>& args, RegistryApi& registry, DeviceApi& devices,
           std::ostream& out, std::ostream& err, const Pause& pause = {}, const ChangeSeams* seams = nullptr);

}  // namespace portquell
