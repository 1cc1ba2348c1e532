// identify: which port is the device in the person's hand? Watches the
// serial ports until one appears or goes, then prints its line as list
// does.
#include <chrono>
#include <thread>

#include "cli/cli_commands.h"
#include "cli/cli_formats.h"
#include "cli/cli_text.h"
#include "ports/port_watch.h"

namespace portquell {

namespace {

// Two looks a second.
constexpr int kLookMilliseconds = 500;

bool Sleep(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return true;
}

}  // namespace

int IdentifyCommand(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                    std::ostream& err, const Pause& pause) {
    PortWatch watch(registry, devices);
    err << "Plug in or unplug the device now (Ctrl+C to stop)" << std::endl;
    const int looks = options.timeout * (1000 / kLookMilliseconds);
    for (int i = 0; i < looks; ++i) {
        if (!(pause ? pause(kLookMilliseconds) : Sleep(kLookMilliseconds))) {
            err << kProgram << ": stopped; no serial port appeared or went\n";
            return cliexit::kInterrupted;
        }
        const std::optional<PortEvent> event = watch.Look();
        if (!event) continue;
        const char* what = event->kind == PortEvent::Kind::Appeared ? "appeared" : "went";
        const std::vector<SerialPort> ports{event->port};
        const std::vector<SerialEnumerator> enumerators = FindSerialEnumerators(registry, ports);
        if (options.json) {
            JsonReport report;
            report.enumerators = enumerators;
            report.connected = true;
            report.more = [what](std::ostream& o) { o << ",\n  \"event\": \"" << what << "\""; };
            WriteJson(ports, report, out);
        } else {
            out << PortNamed(event->port) << " " << what << "\n";
            WriteTable(ports, out, &enumerators, true, true);
        }
        return cliexit::kDone;
    }
    err << kProgram << ": no serial port appeared or went within " << options.timeout << " seconds\n";
    return cliexit::kNothingSeen;
}

}  // namespace portquell
