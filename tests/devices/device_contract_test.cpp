// What the port model relies on from the device tree, checked on whichever
// tree this build has: the in-memory one natively, SetupAPI under Wine.
// Wine implements listing and DIF_REMOVE but not DIF_PROPERTYCHANGE or
// CM_Get_Parent: a restart there must fail with a status and change
// nothing, and a parent is the one seeded or unknown.
#include <gtest/gtest.h>

#include <algorithm>

#include "devices/dry_run_devices.h"
#include "devices/memory_devices.h"
#include "test_devices.h"

namespace portquell {
namespace {

using testing::MakeTestDevices;
using testing::TestDevices;

class DeviceContract : public ::testing::Test {
protected:
    void SetUp() override {
        devices_ = MakeTestDevices();
        mouse_.instanceId = "SERENUM\\" + devices_->Enumerator() + "\\4&1234&0&0000";
        mouse_.hardwareIds = {"SERENUM\\PNP0F0C", "*PNP0F0C"};
        mouse_.compatibleIds = {"SERIAL_MOUSE"};
        mouse_.service = "sermouse";
        mouse_.classGuid = kMouseClassGuid;
        mouse_.present = true;
        other_.instanceId = devices_->Enumerator() + "\\DEV\\1";
        other_.hardwareIds = {"PQTEST\\DEV"};
        other_.classGuid = kMouseClassGuid;
        other_.present = true;
        devices_->Seed(mouse_);
        devices_->Seed(other_);
    }

    // The listed devices of this test's own, by instance ID.
    std::vector<DeviceInfo> Ours(const std::string& classGuid, const std::string& enumerator) {
        std::vector<DeviceInfo> all;
        const DevStatus status = devices_->Api().ListDevices(classGuid, enumerator, all);
        EXPECT_TRUE(status.Ok()) << status.code;
        std::vector<DeviceInfo> ours;
        for (const DeviceInfo& d : all) {
            if (d.instanceId == mouse_.instanceId || d.instanceId == other_.instanceId) ours.push_back(d);
        }
        std::sort(ours.begin(), ours.end(),
                  [](const DeviceInfo& a, const DeviceInfo& b) { return a.instanceId > b.instanceId; });
        return ours;
    }

    std::unique_ptr<TestDevices> devices_;
    DeviceInfo mouse_;
    DeviceInfo other_;
};

TEST_F(DeviceContract, ListsAClassWithEveryIdAndService) {
    const std::vector<DeviceInfo> mice = Ours(kMouseClassGuid, "");
    ASSERT_EQ(2u, mice.size());
    const DeviceInfo& m = mice[0];
    EXPECT_EQ(mouse_.instanceId, m.instanceId);
    EXPECT_EQ(mouse_.hardwareIds, m.hardwareIds);
    EXPECT_EQ(mouse_.compatibleIds, m.compatibleIds);
    EXPECT_EQ("sermouse", m.service);
    EXPECT_TRUE(m.present);  // seeded present (under Wine every device is)
    EXPECT_TRUE(m.classGuid == kMouseClassGuid || m.classGuid == "{4d36e96f-e325-11ce-bfc1-08002be10318}")
        << m.classGuid;
    EXPECT_TRUE(m.parent.empty() || m.parent == mouse_.parent) << m.parent;
    EXPECT_TRUE(mice[1].compatibleIds.empty());
    EXPECT_EQ("", mice[1].service);
}

TEST_F(DeviceContract, ListsAnEnumeratorAlone) {
    const std::vector<DeviceInfo> serenum = Ours("", "SERENUM");
    ASSERT_EQ(1u, serenum.size());
    EXPECT_EQ(mouse_.instanceId, serenum[0].instanceId);
    std::vector<DeviceInfo> none;
    // ERROR_INVALID_PARAMETER from both implementations.
    EXPECT_EQ(87u, devices_->Api().ListDevices("", "", none).code);
    EXPECT_EQ(87u, devices_->Api().ListDevices("not a guid", "", none).code);
    EXPECT_TRUE(none.empty());
}

TEST_F(DeviceContract, RemovalTakesTheDeviceAwayAtOnce) {
    const DevStatus removed = devices_->Api().RemoveDevice(mouse_.instanceId);
    EXPECT_TRUE(removed.Ok()) << removed.code;
    EXPECT_FALSE(devices_->Recorded(mouse_.instanceId));
    const std::vector<DeviceInfo> left = Ours(kMouseClassGuid, "");
    ASSERT_EQ(1u, left.size());
    EXPECT_EQ(other_.instanceId, left[0].instanceId);
}

// The codes the port model keys on: a vanished device is "no such
// device instance" (a mouse gone already counts as removed); an empty ID,
// which SetupAPI would take for the root of the tree, never reaches it.
TEST_F(DeviceContract, VanishedAndEmptyIdsAreRefusedWithTheirCodesAndNothingChanges) {
    const std::string gone = "SERENUM\\" + devices_->Enumerator() + "\\GONE";
    DeviceDetails details;
    const struct {
        const char* label;
        DevStatus status;
        std::uint32_t code;
    } rows[] = {
        {"remove vanished", devices_->Api().RemoveDevice(gone), devstatus::kNoSuchDevinst},
        {"restart vanished", devices_->Api().RestartDevice(gone), devstatus::kNoSuchDevinst},
        {"remove empty", devices_->Api().RemoveDevice(""), devstatus::kInvalidDevinstName},
        {"restart empty", devices_->Api().RestartDevice(""), devstatus::kInvalidDevinstName},
        {"details vanished", devices_->Api().ReadDetails(gone, details), devstatus::kNoSuchDevinst},
        {"details empty", devices_->Api().ReadDetails("", details), devstatus::kInvalidDevinstName},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DevStatus::Kind::Win32, row.status.kind) << row.label;
        EXPECT_EQ(row.code, row.status.code) << row.label << ": " << DevStatusText(row.status);
    }
    EXPECT_TRUE(rows[0].status.Vanished());
    EXPECT_FALSE(rows[2].status.Vanished());
    EXPECT_EQ(2u, Ours(kMouseClassGuid, "").size());
}

// What a device reports on its bus, read from where the system keeps it;
// none where it reports nothing. A parent is the one seeded or unknown.
TEST_F(DeviceContract, DetailsSayWhatTheDeviceReports) {
    devices_->SeedReported(mouse_.instanceId, "GPS puck");
    DeviceDetails details;
    ASSERT_TRUE(devices_->Api().ReadDetails(mouse_.instanceId, details).Ok());
    EXPECT_EQ(std::optional<std::string>("GPS puck"), details.reported);
    EXPECT_TRUE(details.parent.empty() || details.parent == mouse_.parent) << details.parent;
    ASSERT_TRUE(devices_->Api().ReadDetails(other_.instanceId, details).Ok());
    EXPECT_EQ(std::nullopt, details.reported);
}

// Where the system cannot restart a device (Wine), it says so with a
// status and changes nothing; where it can, the device stays installed.
TEST_F(DeviceContract, RestartKeepsTheDeviceOrFailsWithAStatus) {
    const DevStatus restarted = devices_->Api().RestartDevice(other_.instanceId);
    EXPECT_EQ(devices_->RestartsDevices(), restarted.Ok()) << restarted.code;
    EXPECT_TRUE(devices_->Recorded(other_.instanceId));
    const std::vector<DeviceInfo> after = Ours(kMouseClassGuid, "");
    ASSERT_EQ(2u, after.size());
    EXPECT_EQ(other_.hardwareIds, after[1].hardwareIds);
    // An unplugged device has no device node to restart: refused, and it
    // stays installed.
    DeviceInfo unplugged = other_;
    unplugged.instanceId = devices_->Enumerator() + "\\DEV\\2";
    unplugged.present = false;
    devices_->Seed(unplugged);
    const DevStatus refused = devices_->Api().RestartDevice(unplugged.instanceId);
    EXPECT_FALSE(refused.Ok());
    if (devices_->RestartsDevices()) {
        EXPECT_EQ(devstatus::kNoSuchDevinst, refused.code);
    }
    EXPECT_TRUE(devices_->Recorded(unplugged.instanceId));
}

// A preview says what the run would: the device layer refuses an empty
// instance ID, so no removal or restart of one is ever planned.
TEST(DryRunDevices, PlansNoChangeTheDeviceLayerWouldRefuse) {
    MemoryDevices base;
    DryRunDevices dry(base);
    EXPECT_EQ(DevStatus::Win32(devstatus::kInvalidDevinstName).code, dry.RemoveDevice("").code);
    EXPECT_EQ(DevStatus::Win32(devstatus::kInvalidDevinstName).code, dry.RestartDevice("").code);
    EXPECT_TRUE(dry.Removed().empty() && dry.Restarted().empty());
    EXPECT_TRUE(dry.RemoveDevice("SERENUM\\PNP0F0C\\1").Ok());
    EXPECT_EQ(std::vector<std::string>{"SERENUM\\PNP0F0C\\1"}, dry.Removed());
}

}  // namespace
}  // namespace portquell
