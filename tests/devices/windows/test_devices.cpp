#include <windows.h>

#include <vector>

#include "test_devices.h"

namespace portquell::testing {

namespace {

const char* const kEnum = "SYSTEM\\CurrentControlSet\\Enum";

void SetText(HKEY key, const char* name, DWORD type, const std::string& bytes) {
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
}

std::string MultiSz(const std::vector<std::string>& strings) {
    std::string bytes;
    for (const std::string& s : strings) bytes += s + '\0';
    return bytes + '\0';
}

// Instance keys under Enum as SetupAPI reads them; Wine lists an instance
// only when its key has a ClassGUID.
class SetupApiTestDevices final : public TestDevices {
public:
    SetupApiTestDevices() {
        static int counter = 0;
        enumerator_ = "PQTEST" + std::to_string(GetCurrentProcessId()) + "N" + std::to_string(++counter);
    }
    ~SetupApiTestDevices() override {
        for (const std::string& e : {enumerator_, std::string("SERENUM\\") + enumerator_}) {
            const std::string key = std::string(kEnum) + "\\" + e;
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
        }
    }
    DeviceApi& Api() override { return PlatformDevices(); }
    void Seed(const DeviceInfo& device) override {
        HKEY key = nullptr;
        const std::string path = std::string(kEnum) + "\\" + device.instanceId;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            return;
        }
        SetText(key, "ClassGUID", REG_SZ, device.classGuid + '\0');
        if (!device.hardwareIds.empty()) SetText(key, "HardwareID", REG_MULTI_SZ, MultiSz(device.hardwareIds));
        if (!device.compatibleIds.empty()) {
            SetText(key, "CompatibleIDs", REG_MULTI_SZ, MultiSz(device.compatibleIds));
        }
        if (!device.service.empty()) SetText(key, "Service", REG_SZ, device.service + '\0');
        RegCloseKey(key);
    }
    // Where SetupAPI keeps a device property: the instance key's
    // Properties\{fmtid}\pid, default value, type 0xFFFF0000 | DEVPROP_TYPE
    // (a string: 0x12), UTF-16 with its terminator.
    void SeedReported(const std::string& instanceId, const std::string& text) override {
        const std::string path = std::string(kEnum) + "\\" + instanceId +
                                 "\\Properties\\{540b947e-8b40-45bc-a8a2-6a0b894cbda2}\\0004";
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            return;
        }
        std::string utf16;
        for (const char c : text + '\0') utf16 += std::string{c, '\0'};
        RegSetValueExA(key, nullptr, 0, 0xFFFF0012u, reinterpret_cast<const BYTE*>(utf16.data()),
                       static_cast<DWORD>(utf16.size()));
        RegCloseKey(key);
    }
    bool Recorded(const std::string& instanceId) override {
        HKEY key = nullptr;
        const std::string path = std::string(kEnum) + "\\" + instanceId;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    // The tests run under Wine, which has no DIF_PROPERTYCHANGE.
    bool RestartsDevices() const override { return false; }
    std::string Enumerator() const override { return enumerator_; }

private:
    std::string enumerator_;
};

}  // namespace

std::unique_ptr<TestDevices> MakeTestDevices() { return std::make_unique<SetupApiTestDevices>(); }

}  // namespace portquell::testing
