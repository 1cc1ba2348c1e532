// portquell-bench-calls COMMAND...: runs one portquell-cli command (or
// "window": the window's start-up scan) against the registry and device
// tree it runs on, through stand-ins that count the calls, and prints the
// counts: registry opens, value reads, sub-key and value listings, and
// device listings, removals and restarts.
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/modAppMainUsr.h"
#include "cli/portquell_cli.h"
#include "fake_window.h"

namespace portquell::bench {

namespace {

class CountingRegistry final : public RegistryApi {
public:
    explicit CountingRegistry(RegistryApi& base) : base_(base) {}
    RegStatus OpenKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options, std::uint32_t access,
                        RegHandle* result) override {
        ++opens;
        return base_.OpenKeyEx(root, subKey, options, access, result);
    }
    RegStatus CreateKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options, std::uint32_t access,
                          bool inheritHandle, RegHandle* result, std::uint32_t* disposition) override {
        ++opens;
        return base_.CreateKeyEx(root, subKey, options, access, inheritHandle, result, disposition);
    }
    RegStatus QueryValueEx(RegHandle key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                           std::uint32_t* size) override {
        ++reads;
        return base_.QueryValueEx(key, name, type, data, size);
    }
    RegStatus SetValueEx(RegHandle key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                         std::uint32_t size) override {
        ++writes;
        return base_.SetValueEx(key, name, type, data, size);
    }
    RegStatus EnumKey(RegHandle key, std::uint32_t index, char* name, std::uint32_t nameSize) override {
        ++keyListings;
        return base_.EnumKey(key, index, name, nameSize);
    }
    RegStatus EnumValue(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameSize, std::uint32_t* type,
                        std::uint8_t* data, std::uint32_t* dataSize) override {
        ++valueListings;
        return base_.EnumValue(key, index, name, nameSize, type, data, dataSize);
    }
    RegStatus CloseKey(RegHandle key) override { return base_.CloseKey(key); }
    RegStatus DeleteValue(RegHandle key, const std::string& name) override {
        ++writes;
        return base_.DeleteValue(key, name);
    }
    RegStatus DeleteKey(RegHandle key, const std::string& subKey) override {
        ++writes;
        return base_.DeleteKey(key, subKey);
    }
    long opens = 0, reads = 0, writes = 0, keyListings = 0, valueListings = 0;

private:
    RegistryApi& base_;
};

class CountingDevices final : public DeviceApi {
public:
    explicit CountingDevices(DeviceApi& base) : base_(base) {}
    DevStatus ListDevices(const std::string& classGuid, const std::string& enumerator,
                          std::vector<DeviceInfo>& devices) override {
        ++listings;
        return base_.ListDevices(classGuid, enumerator, devices);
    }
    DevStatus RemoveDevice(const std::string& instanceId) override {
        ++changes;
        return base_.RemoveDevice(instanceId);
    }
    DevStatus RestartDevice(const std::string& instanceId) override {
        ++changes;
        return base_.RestartDevice(instanceId);
    }
    DevStatus ReadDetails(const std::string& instanceId, DeviceDetails& details) override {
        ++detailReads;
        return base_.ReadDetails(instanceId, details);
    }
    long listings = 0, changes = 0, detailReads = 0;

private:
    DeviceApi& base_;
};

}  // namespace

}  // namespace portquell::bench

int main(int argc, char** argv) {
    using namespace portquell;
    bench::CountingRegistry registry(PlatformRegistry());
    bench::CountingDevices devices(PlatformDevices());
    const std::vector<std::string> args(argv + 1, argv + argc);
    int code = 0;
    if (args.size() == 1 && args[0] == "window") {
        testing::FakeWindow form(registry, &devices);
        Main(form, registry, devices);
    } else {
        std::ostringstream sink;
        code = RunCli(args, registry, devices, sink, sink);
    }
    std::printf("opens=%ld reads=%ld keyListings=%ld valueListings=%ld writes=%ld deviceListings=%ld deviceDetails=%ld deviceChanges=%ld exit=%d\n",
                registry.opens, registry.reads, registry.keyListings, registry.valueListings, registry.writes,
                devices.listings, devices.detailReads, devices.changes, code);
    return 0;
}
