#include "SaneTestSetup.h"

#include "profile/PrivateProfile.h"
#include "scanner/TwainDevices.h"

#include <vector>

namespace vx::test {
namespace {

class TwainDevicesTest : public SaneTest {
protected:
    std::unique_ptr<CTwainDevices> Open(bool waitForList = true) {
        auto devices = std::make_unique<CTwainDevices>(
            std::make_unique<CAcquisition>(ui, m_scans.Path()),
            [this](const std::string& path) { delivered.push_back(path); }, ini);
        if (waitForList) {
            devices->Library().WaitListed();
        }
        return devices;
    }
    std::string Stored(int index) const {
        return GetPrivateProfileString("TWAIN", "DEVICE" + std::to_string(index), "<none>", ini);
    }
    void Store(int index, const std::string& name) {
        ASSERT_TRUE(
            WritePrivateProfileString("TWAIN", "DEVICE" + std::to_string(index), name, ini));
    }

    TempDir m_settings;
    std::string ini = m_settings.File("Vexel.INI");
    std::vector<std::string> delivered;
};

const std::string kD0 = "Noname frontend-tester (test:0)";
const std::string kD1 = "Noname frontend-tester (test:1)";
const std::string kD2 = "Noname frontend-tester (test:2)";

TEST_F(TwainDevicesTest, NoSectionGivesTheDefaultSourceAndAllTenKeysAreWritten) {
    Configure(Devices(3));
    auto devices = Open();
    EXPECT_EQ(devices->Names(), std::vector<std::string>{kD0});
    devices.reset();

    EXPECT_EQ(Stored(0), kD0);
    for (int i = 1; i < 10; ++i) {
        EXPECT_EQ(Stored(i), "") << i; // written, empty
    }
    const std::string text = ReadWholeFile(ini);
    EXPECT_NE(text.find("DEVICE9="), std::string::npos);
}

TEST_F(TwainDevicesTest, TheDefaultSourceCanBeNamedBySane) {
    Configure(Devices(3));
    setenv("SANE_DEFAULT_DEVICE", "test:1", 1);
    auto devices = Open();
    unsetenv("SANE_DEFAULT_DEVICE");
    EXPECT_EQ(devices->Names(), std::vector<std::string>{kD1});
}

TEST_F(TwainDevicesTest, StoredDevicesThatAreGoneAreDropped) {
    Configure(Devices(3));
    Store(0, "Gone scanner A");
    Store(1, kD1);
    Store(5, kD2); // gaps between keys do not matter
    auto devices = Open();
    EXPECT_EQ(devices->Names(), (std::vector<std::string>{kD1, kD2}));
    devices.reset();
    EXPECT_EQ(Stored(0), kD1);
    EXPECT_EQ(Stored(1), kD2);
    EXPECT_EQ(Stored(2), "");

    // Quitting before the devices are listed keeps the stored list as it is.
    Open(false).reset();
    EXPECT_EQ(Stored(0), kD1);
    EXPECT_EQ(Stored(1), kD2);
}

TEST_F(TwainDevicesTest, StoredOnlyGoneDevicesGiveAnEmptyListNotTheDefault) {
    Configure(Devices(2));
    Store(0, "Gone scanner A");
    EXPECT_TRUE(Open()->Names().empty());
}

TEST_F(TwainDevicesTest, NoSourceAvailableKeepsTheListEmpty) {
    Configure(Devices(2), false);
    Store(0, kD0);
    auto devices = Open();
    EXPECT_TRUE(devices->Names().empty());
    EXPECT_TRUE(devices->AvailableSources().empty());
    EXPECT_FALSE(devices->Acquire(0));
}

TEST_F(TwainDevicesTest, TwelveChosenTenKept) {
    Configure(Devices(3));
    auto devices = Open();
    std::vector<std::string> chosen;
    for (int i = 0; i < 12; ++i) {
        chosen.push_back("Device " + std::to_string(i));
    }
    devices->SetNames(chosen);
    ASSERT_EQ(devices->Names().size(), 10u);
    EXPECT_EQ(devices->Names().back(), "Device 9");
    devices.reset();
    EXPECT_EQ(Stored(9), "Device 9");
}

TEST_F(TwainDevicesTest, AcquireByIndexScansThatDevice) {
    Configure(Devices(3));
    Store(0, kD0);
    Store(1, kD2);
    auto devices = Open();
    EXPECT_EQ(devices->AvailableSources(), (std::vector<std::string>{kD0, kD1, kD2}));
    EXPECT_FALSE(devices->Acquire(2));
    ASSERT_TRUE(devices->Acquire(1));
    ASSERT_TRUE(Pump([&] { return !devices->Library().Busy(); }));
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(ui.progressDialogs.at(0).text, "Scanning from " + kD2);
    EXPECT_TRUE(ReadPng(delivered[0]).ok);
}

} // namespace
} // namespace vx::test
