// The device tree as the port model needs it: the device instances of a
// setup class or an enumerator, removing one, restarting one. Statuses
// come up as the system gave them: Win32 error codes from SetupAPI,
// CONFIGRET codes from CfgMgr32, each marked as which. Two
// implementations stand behind it: SetupAPI on Windows and an in-memory
// device tree that every build has.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace portquell {

// The setup class of mice and other pointing devices.
inline constexpr const char* kMouseClassGuid = "{4D36E96F-E325-11CE-BFC1-08002BE10318}";

namespace devstatus {
inline constexpr std::uint32_t kAccessDenied = 5;
// ERROR_SUCCESS_REBOOT_REQUIRED: done, but only when Windows restarts.
inline constexpr std::uint32_t kRebootRequired = 3010;
// SetupAPI: the device instance does not exist (ERROR_NO_SUCH_DEVINST).
inline constexpr std::uint32_t kNoSuchDevinst = 0xE000020Bu;
// SetupAPI: not a device instance ID (ERROR_INVALID_DEVINST_NAME); what
// the device layer answers for an empty one, which SetupAPI would take
// for the root of the device tree.
inline constexpr std::uint32_t kInvalidDevinstName = 0xE0000205u;
// SetupAPI: a 32-bit program asked to change devices on 64-bit Windows.
inline constexpr std::uint32_t kInWow64 = 0xE0000235u;
// CfgMgr32: the device instance does not exist (CR_NO_SUCH_DEVINST).
inline constexpr std::uint32_t kCrNoSuchDevinst = 13;
// A call that failed without saying why.
inline constexpr std::uint32_t kNoStatus = 0xFFFFFFFFu;
}  // namespace devstatus

struct DevStatus {
    enum class Kind { Win32, ConfigRet };
    Kind kind = Kind::Win32;
    std::uint32_t code = 0;  // 0: success

    [[nodiscard]] bool Ok() const { return code == 0; }
    // Done, but only when Windows restarts.
    [[nodiscard]] bool AtNextRestart() const { return kind == Kind::Win32 && code == devstatus::kRebootRequired; }
    // The device instance no longer exists.
    [[nodiscard]] bool Vanished() const {
        return kind == Kind::Win32 ? code == devstatus::kNoSuchDevinst : code == devstatus::kCrNoSuchDevinst;
    }
    [[nodiscard]] static DevStatus Win32(std::uint32_t c) { return {Kind::Win32, c}; }
    [[nodiscard]] static DevStatus ConfigRet(std::uint32_t c) { return {Kind::ConfigRet, c}; }
};


// A status as people read it: "status 5", "status 0xE0000217" (SetupAPI's
// own codes), "CONFIGRET 13", "no status"; the codes the program keys on
// with their meaning, e.g. "status 0xE000020B: no such device".
[[nodiscard]] std::string DevStatusText(DevStatus status);

struct DeviceInfo {
    // e.g. "SERENUM\PNP0F0C\4&1234&0&0000"; "" when the system would not
    // give it (such a device is listed, counted present, and never removed)
    std::string instanceId;
    std::vector<std::string> hardwareIds;
    std::vector<std::string> compatibleIds;
    std::string service;     // e.g. "sermouse"; "" when none
    std::string classGuid;   // e.g. kMouseClassGuid
    bool present = false;    // its device node exists now
    std::string parent;      // the parent's instance ID; "" when the system does not say
};

// What one device instance says of itself beyond a listing.
struct DeviceDetails {
    // What the device reports on its bus (DEVPKEY_Device_BusReportedDeviceDesc,
    // a USB device's product string), as ANSI text; none when it reports
    // none or the property is no string.
    std::optional<std::string> reported;
    std::string parent;  // the parent's instance ID; "" when the system does not say
};

class DeviceApi {
public:
    virtual ~DeviceApi() = default;

    // Every device instance, present or not, of the setup class classGuid
    // and/or of the enumerator (either may be empty, not both), in the
    // system's order. A listing that breaks off is a failure: no devices.
    [[nodiscard]] virtual DevStatus ListDevices(const std::string& classGuid, const std::string& enumerator,
                                                std::vector<DeviceInfo>& devices) = 0;

    // Uninstalls the device instance (DIF_REMOVE): gone at once, or
    // AtNextRestart() when its driver stack is running and cannot be
    // stopped now. An empty ID is refused (kInvalidDevinstName), a vanished
    // one answers Vanished().
    [[nodiscard]] virtual DevStatus RemoveDevice(const std::string& instanceId) = 0;

    // Stops and starts the device instance again (DIF_PROPERTYCHANGE,
    // DICS_PROPCHANGE), so its drivers read their parameters anew: the
    // serial enumerator above a port then finds no mouse where
    // SkipEnumerations is -1, and the mice it made are no longer present.
    // Empty and vanished IDs as for RemoveDevice.
    [[nodiscard]] virtual DevStatus RestartDevice(const std::string& instanceId) = 0;

    // The device instance's details, present or not. Empty and vanished
    // IDs as for RemoveDevice; details is then empty.
    [[nodiscard]] virtual DevStatus ReadDetails(const std::string& instanceId, DeviceDetails& details) = 0;
};

// The device tree of the system the program runs on: SetupAPI on Windows;
// on other systems, which have none, one empty in-memory tree per process.
[[nodiscard]] DeviceApi& PlatformDevices();

}  // namespace portquell
