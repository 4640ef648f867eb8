#include "scanner/ScanMenu.h"

#include "res/Resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vx {
namespace {

// The items of a Scan submenu as the resources hold them.
std::vector<res::MenuItem> ResourceScanMenu(unsigned base) {
    return {res::MenuItem{"No TWAIN devices", base, {}}, res::MenuItem{},
            res::MenuItem{"&Add device...", res::ID_SCAN_ADD_DEVICE, {}}};
}

struct Shown {
    std::string text;
    unsigned id;
    bool operator==(const Shown&) const = default;
};

std::vector<Shown> Show(const std::vector<res::MenuItem>& items) {
    std::vector<Shown> shown;
    for (const auto& item : items) {
        shown.push_back({item.IsSeparator() ? "-" : item.text, item.id});
    }
    return shown;
}

TEST(ScanMenu, DevicesAreListedLastFirstEachIdKeepingItsOwnDevice) {
    for (unsigned base : {res::ID_SCAN_SOURCE_FIRST, res::ID_SCAN_TARGET_FIRST}) {
        auto items = FillScanMenu(ResourceScanMenu(base), {"D0", "D1", "D2"}, base);
        EXPECT_EQ(Show(items), (std::vector<Shown>{{"D2...", base + 2},
                                                   {"D1...", base + 1},
                                                   {"D0...", base},
                                                   {"-", 0},
                                                   {"&Add device...", res::ID_SCAN_ADD_DEVICE}}));
        // After the device dialog the inserted items go and the base item waits for its text.
        EXPECT_EQ(Show(ClearScanMenu(items, base)),
                  (std::vector<Shown>{
                      {"D0...", base}, {"-", 0}, {"&Add device...", res::ID_SCAN_ADD_DEVICE}}));
    }
    auto d2 = DecodeScanCommand(res::ID_SCAN_SOURCE_FIRST + 2);
    ASSERT_TRUE(d2);
    EXPECT_TRUE(d2->toSource);
    EXPECT_EQ(d2->device, 2u);
    auto t9 = DecodeScanCommand(res::ID_SCAN_TARGET_LAST);
    ASSERT_TRUE(t9);
    EXPECT_FALSE(t9->toSource);
    EXPECT_EQ(t9->device, 9u);
    EXPECT_FALSE(DecodeScanCommand(res::ID_SCAN_ADD_DEVICE));
}

TEST(ScanMenu, AnEmptyListShowsTheDisabledNoDevicesItem) {
    const unsigned base = res::ID_SCAN_SOURCE_FIRST;
    auto filled = FillScanMenu(ResourceScanMenu(base), {"D0"}, base);
    auto items = FillScanMenu(ClearScanMenu(filled, base), {}, base);
    EXPECT_EQ(Show(items), (std::vector<Shown>{{"No TWAIN devices", base},
                                               {"-", 0},
                                               {"&Add device...", res::ID_SCAN_ADD_DEVICE}}));
    EXPECT_FALSE(ScanItemsEnabled(0));
    EXPECT_TRUE(ScanItemsEnabled(1));
}

} // namespace
} // namespace vx
