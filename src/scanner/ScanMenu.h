// The Scan submenus of File > Source and File > Target, and what their commands mean.
#pragma once

#include "res/UiTables.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vx {

// Fills a Scan submenu as the resources hold it (the item `base`, a separator, "&Add device...")
// with the device names: the base item names device 0, each further device is inserted just
// before the previous one, so the last device comes first. An empty list keeps the single
// "No TWAIN devices" item.
std::vector<res::MenuItem> FillScanMenu(std::vector<res::MenuItem> items,
                                        const std::vector<std::string>& names, unsigned base);

// Removes the inserted device items again (all but the base item) before the next filling.
std::vector<res::MenuItem> ClearScanMenu(std::vector<res::MenuItem> items, unsigned base);

// The scan items are enabled exactly when there is at least one device.
inline bool ScanItemsEnabled(std::size_t deviceCount) {
    return deviceCount > 0;
}

struct ScanCommand {
    bool toSource;
    std::size_t device;
};
// The slot and device a scan command selects; nullopt for other ids.
std::optional<ScanCommand> DecodeScanCommand(unsigned id);

} // namespace vx
