// libFuzzer target: reports as the replay reads them. Any text is read or
// refused with a reason, never half read, and a report read is replayed
// (each answer's command on its machine) within the documented exit
// statuses. Built from the input's bytes, a report written and read back
// gives back every byte: keys, values, devices and answers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "cli/portquell_cli.h"
#include "replay/replay_machine.h"
#include "replay/report_reader.h"

namespace {

using namespace portquell;

void Require(bool condition) {
    if (!condition) std::abort();
}

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string Text() {
        std::string text;
        for (std::uint8_t n = Byte() % 12; n > 0; --n) text += static_cast<char>(Byte());
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

void Replay(const MachineReport& report) {
    for (const MachineReport::Answer& answer : report.answers) {
        ReplayRegistry registry;
        MemoryDevices devices;
        std::string why;
        if (!LoadMachine(report, registry, devices, why)) return;
        std::ostringstream out, err;
        const int code = RunCli(answer.args, registry, devices, out, err);
        Require(code == 0 || code == 1 || code == 2 || code == 3 || code == 4 || code == 5 || code == 64);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    MachineReport report;
    std::string why;
    if (data[0] % 2 == 0) {
        const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
        if (ReadReport(text, report, why)) {
            Replay(report);
        } else {
            Require(!why.empty());
        }
        return 0;
    }
    Bytes in(data + 1, size - 1);
    report.computer = in.Text();
    for (std::uint8_t k = in.Byte() % 4; k > 0; --k) {
        KeyRead key;
        key.path = in.Text();
        key.status = in.Byte() % 3 == 0 ? 5 : 0;
        if (key.status == 0) {
            key.subKeys.push_back(in.Text());
            key.values.push_back({in.Text(), in.Byte(), in.Text()});
        }
        report.registry.push_back(key);
    }
    ListingRead listing{in.Text(), in.Text(), DevStatus::Win32(in.Byte() % 2), {}};
    DeviceInfo device;
    device.instanceId = in.Text();
    device.hardwareIds = {in.Text()};
    device.present = in.Byte() % 2 == 0;
    device.parent = in.Text();
    listing.devices.push_back(device);
    report.listings.push_back(listing);
    report.details.push_back({in.Text(), DevStatus::ConfigRet(in.Byte()), {in.Byte() % 2 ? std::optional<std::string>(in.Text()) : std::nullopt, in.Text()}});
    report.answers.push_back({{"list", "--json"}, in.Byte() % 6, in.Text(), in.Text()});
    std::ostringstream written;
    WriteReport(report, written);
    MachineReport read;
    Require(ReadReport(written.str(), read, why));
    std::ostringstream again;
    WriteReport(read, again);
    Require(again.str() == written.str());
    Replay(read);
    return 0;
}
