// The device layer on Windows: SetupAPI for listing, removing, restarting
// and a device's properties, CfgMgr32 for a device's parent. Every device-information
// set is held by DevInfoSet and destroyed on every path.
#include <windows.h>
// The device headers after windows.h.
#include <cfgmgr32.h>
#include <devpropdef.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <utility>

#include "devices/device_api.h"

namespace portquell {

namespace {

// Owns one device-information set.
class DevInfoSet {
public:
    explicit DevInfoSet(HDEVINFO set) : set_(set) {}
    DevInfoSet(const DevInfoSet&) = delete;
    DevInfoSet& operator=(const DevInfoSet&) = delete;
    ~DevInfoSet() {
        if (Valid()) SetupDiDestroyDeviceInfoList(set_);
    }
    [[nodiscard]] bool Valid() const { return set_ != INVALID_HANDLE_VALUE && set_ != nullptr; }
    [[nodiscard]] HDEVINFO Get() const { return set_; }

private:
    HDEVINFO set_;
};

// The last error of a call that failed; a failure without one is still one.
DevStatus LastError() {
    const DWORD error = GetLastError();
    return DevStatus::Win32(error != 0 ? error : devstatus::kNoStatus);
}


bool ParseGuid(const std::string& text, GUID& guid) {
    unsigned long data1 = 0;
    unsigned int data2 = 0, data3 = 0, b[8] = {};
    char close = 0;
    if (text.size() != 38 ||
        std::sscanf(text.c_str(), "{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x%c", &data1, &data2, &data3, &b[0],
                    &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7], &close) != 12 ||
        close != '}') {
        return false;
    }
    guid.Data1 = data1;
    guid.Data2 = static_cast<unsigned short>(data2);
    guid.Data3 = static_cast<unsigned short>(data3);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<unsigned char>(b[i]);
    return true;
}

// Reads a value whose size the system tells first; asks again while it
// grows between the size query and the read. read(buffer, size, &needed)
// answers like the SetupAPI call it wraps.
template <class Read>
std::string GrowingRead(Read read) {
    DWORD needed = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string bytes(needed, '\0');
        DWORD size = needed;
        if (read(bytes.empty() ? nullptr : bytes.data(), size, &needed)) {
            bytes.resize(std::min<std::size_t>(needed, bytes.size()));
            return bytes;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= size) return "";
    }
    return "";
}

// The instance ID; "" when the system will not give it.
std::string InstanceId(HDEVINFO set, SP_DEVINFO_DATA& data) {
    const std::string id = GrowingRead([&](char* buffer, DWORD size, DWORD* needed) {
        return SetupDiGetDeviceInstanceIdA(set, &data, buffer, size, needed) != FALSE;
    });
    return id.substr(0, id.find('\0'));
}

// A registry property's bytes; none when the device has no such property.
std::string Property(HDEVINFO set, SP_DEVINFO_DATA& data, DWORD property) {
    return GrowingRead([&](char* buffer, DWORD size, DWORD* needed) {
        DWORD type = 0;
        return SetupDiGetDeviceRegistryPropertyA(set, &data, property, &type, reinterpret_cast<BYTE*>(buffer),
                                                 size, needed) != FALSE;
    });
}

std::string Text(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

// A REG_MULTI_SZ's strings.
std::vector<std::string> Strings(const std::string& bytes) {
    std::vector<std::string> strings;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\0', start);
        const std::string one = bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (one.empty()) break;
        strings.push_back(one);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return strings;
}

// DEVPKEY_Device_BusReportedDeviceDesc: what the device reports on its bus.
const DEVPROPKEY kBusReportedDeviceDesc = {
    {0x540b947e, 0x8b40, 0x45bc, {0xa8, 0xa2, 0x6a, 0x0b, 0x89, 0x4c, 0xbd, 0xa2}}, 4};

// A string device property as ANSI text (a character the code page lacks
// becomes '?'); none when the device has none or it is of another type.
std::optional<std::string> StringProperty(HDEVINFO set, SP_DEVINFO_DATA& data, const DEVPROPKEY& key) {
    DEVPROPTYPE type = DEVPROP_TYPE_EMPTY;
    const std::string bytes = GrowingRead([&](char* buffer, DWORD size, DWORD* needed) {
        return SetupDiGetDevicePropertyW(set, &data, &key, &type, reinterpret_cast<BYTE*>(buffer), size, needed,
                                         0) != FALSE;
    });
    if (type != DEVPROP_TYPE_STRING || bytes.size() < sizeof(wchar_t)) return std::nullopt;
    std::wstring wide(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(wchar_t));
    wide.resize(std::min(wide.find(L'\0'), wide.size()));
    if (wide.empty()) return std::string();
    const int length = static_cast<int>(std::min<std::size_t>(wide.size(), 1u << 20));
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::nullopt;
    std::string text(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, wide.data(), length, text.data(), size, nullptr, nullptr) != size) {
        return std::nullopt;
    }
    return text;
}

// The parent's instance ID from CfgMgr32; "" when it does not say.
std::string Parent(DEVINST device) {
    DEVINST parent = 0;
    if (CM_Get_Parent(&parent, device, 0) != CR_SUCCESS) return "";
    char id[MAX_DEVICE_ID_LEN + 1] = {};
    if (CM_Get_Device_IDA(parent, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) return "";
    return id;
}

HDEVINFO Open(const GUID* guid, const std::string& enumerator, DWORD flags) {
    return SetupDiGetClassDevsA(guid, enumerator.empty() ? nullptr : enumerator.c_str(), nullptr,
                                flags | (guid == nullptr ? DIGCF_ALLCLASSES : 0));
}

// Opens one device instance in a set of its own. An empty ID never
// reaches SetupAPI, which would open the root of the device tree.
DevStatus OpenOne(const std::string& instanceId, DevInfoSet& set, SP_DEVINFO_DATA& data) {
    if (instanceId.empty()) return DevStatus::Win32(devstatus::kInvalidDevinstName);
    if (!set.Valid()) return LastError();
    data = SP_DEVINFO_DATA{};
    data.cbSize = sizeof data;
    if (!SetupDiOpenDeviceInfoA(set.Get(), instanceId.c_str(), nullptr, 0, &data)) return LastError();
    return {};
}

// After a class installer's success: whether the change waits for a restart.
DevStatus Settled(HDEVINFO set, SP_DEVINFO_DATA& data) {
    SP_DEVINSTALL_PARAMS_A params{};
    params.cbSize = sizeof params;
    if (SetupDiGetDeviceInstallParamsA(set, &data, &params) &&
        (params.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART)) != 0) {
        return DevStatus::Win32(devstatus::kRebootRequired);
    }
    return {};
}

class SetupApiDevices final : public DeviceApi {
public:
    DevStatus ListDevices(const std::string& classGuid, const std::string& enumerator,
                          std::vector<DeviceInfo>& devices) override {
        devices.clear();
        GUID guid{};
        if (classGuid.empty() && enumerator.empty()) return DevStatus::Win32(ERROR_INVALID_PARAMETER);
        if (!classGuid.empty() && !ParseGuid(classGuid, guid)) return DevStatus::Win32(ERROR_INVALID_PARAMETER);
        const GUID* byClass = classGuid.empty() ? nullptr : &guid;

        DevInfoSet set(Open(byClass, enumerator, 0));
        if (!set.Valid()) return LastError();
        SP_DEVINFO_DATA data{};
        data.cbSize = sizeof data;
        DWORD i = 0;
        for (; SetupDiEnumDeviceInfo(set.Get(), i, &data); ++i) {
            DeviceInfo device;
            device.instanceId = InstanceId(set.Get(), data);
            device.hardwareIds = Strings(Property(set.Get(), data, SPDRP_HARDWAREID));
            device.compatibleIds = Strings(Property(set.Get(), data, SPDRP_COMPATIBLEIDS));
            device.service = Text(Property(set.Get(), data, SPDRP_SERVICE));
            device.classGuid = Text(Property(set.Get(), data, SPDRP_CLASSGUID));
            // One listing, each device then located among those configured
            // in the tree now (CM_LOCATE_DEVNODE_NORMAL): one not present is
            // not (CR_NO_SUCH_DEVNODE); one whose presence cannot be told
            // otherwise, or whose ID cannot be read, counts present. (Wine
            // does not implement the call: every device counts present
            // there, as its listings of present devices, which ignore
            // DIGCF_PRESENT, say too.)
            DEVINST located = 0;
            device.present = device.instanceId.empty() ||
                             CM_Locate_DevNodeA(&located, const_cast<char*>(device.instanceId.c_str()),
                                                CM_LOCATE_DEVNODE_NORMAL) != CR_NO_SUCH_DEVNODE;
            device.parent = Parent(data.DevInst);
            devices.push_back(std::move(device));
        }
        const DWORD end = GetLastError();
        if (end != ERROR_NO_MORE_ITEMS) {
            devices.clear();
            return DevStatus::Win32(end != 0 ? end : devstatus::kNoStatus);
        }
        return {};
    }

    DevStatus RemoveDevice(const std::string& instanceId) override {
        DevInfoSet set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
        SP_DEVINFO_DATA data{};
        const DevStatus opened = OpenOne(instanceId, set, data);
        if (!opened.Ok()) return opened;
        if (!SetupDiCallClassInstaller(DIF_REMOVE, set.Get(), &data)) return LastError();
        return Settled(set.Get(), data);
    }

    DevStatus RestartDevice(const std::string& instanceId) override {
        DevInfoSet set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
        SP_DEVINFO_DATA data{};
        const DevStatus opened = OpenOne(instanceId, set, data);
        if (!opened.Ok()) return opened;
        SP_PROPCHANGE_PARAMS change{};
        change.ClassInstallHeader.cbSize = sizeof change.ClassInstallHeader;
        change.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
        change.StateChange = DICS_PROPCHANGE;
        change.Scope = DICS_FLAG_CONFIGSPECIFIC;
        change.HwProfile = 0;
        if (!SetupDiSetClassInstallParamsA(set.Get(), &data, &change.ClassInstallHeader, sizeof change)) {
            return LastError();
        }
        if (!SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set.Get(), &data)) return LastError();
        return Settled(set.Get(), data);
    }

    DevStatus ReadDetails(const std::string& instanceId, DeviceDetails& details) override {
        details = {};
        DevInfoSet set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
        SP_DEVINFO_DATA data{};
        const DevStatus opened = OpenOne(instanceId, set, data);
        if (!opened.Ok()) return opened;
        details.reported = StringProperty(set.Get(), data, kBusReportedDeviceDesc);
        details.parent = Parent(data.DevInst);
        return {};
    }
};

}  // namespace

DeviceApi& PlatformDevices() {
    static SetupApiDevices devices;
    return devices;
}

}  // namespace portquell
