#include "scanner/DeviceChoice.h"

#include <gtest/gtest.h>

namespace vx {
namespace {

using Names = std::vector<std::string>;

TEST(DeviceChoice, AddAndRemoveKeepEnumerationOrderAndNeedARow) {
    // A selected name that is not available now is not kept.
    CDeviceChoice choice({"A", "B", "C", "D"}, {"C", "Gone", "A"});
    EXPECT_EQ(choice.SelectedList(), (Names{"A", "C"}));
    EXPECT_EQ(choice.AvailableList(), (Names{"B", "D"}));

    EXPECT_FALSE(choice.Add(nullptr)); // no row selected: a beep, nothing changes
    const std::string d = "D";
    const std::string a = "A";
    EXPECT_TRUE(choice.Add(&d));
    EXPECT_TRUE(choice.Remove(&a));
    EXPECT_FALSE(choice.Remove(nullptr));
    EXPECT_EQ(choice.SelectedList(), (Names{"C", "D"}));
    EXPECT_EQ(choice.AvailableList(), (Names{"A", "B"}));
    EXPECT_EQ(choice.Result(), (Names{"C", "D"}));
}

TEST(DeviceChoice, NoSourceGivesEmptyListsAndAnEmptyResult) {
    CDeviceChoice choice({}, {"A"});
    EXPECT_TRUE(choice.AvailableList().empty());
    EXPECT_TRUE(choice.Result().empty());
}

} // namespace
} // namespace vx
