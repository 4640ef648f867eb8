#include "scanner/ScanMenu.h"

#include "res/Resource.h"
#include "res/StringTable.h"

#include <algorithm>

namespace vx {

namespace {

std::vector<res::MenuItem>::iterator FindId(std::vector<res::MenuItem>& items, unsigned id) {
    return std::find_if(items.begin(), items.end(), [id](const res::MenuItem& item) {
        return item.id == id && !item.IsPopup();
    });
}

} // namespace

std::vector<res::MenuItem> FillScanMenu(std::vector<res::MenuItem> items,
                                        const std::vector<std::string>& names, unsigned base) {
    auto first = FindId(items, base);
    if (first == items.end()) {
        return items;
    }
    if (names.empty()) {
        first->text = res::LoadString(res::IDS_NO_TWAIN_DEVICES);
        return items;
    }
    first->text = names[0] + "...";
    for (std::size_t i = 1; i < names.size(); ++i) {
        auto before = FindId(items, base + static_cast<unsigned>(i) - 1);
        items.insert(before, res::MenuItem{names[i] + "...", base + static_cast<unsigned>(i), {}});
    }
    return items;
}

std::vector<res::MenuItem> ClearScanMenu(std::vector<res::MenuItem> items, unsigned base) {
    std::erase_if(items, [base](const res::MenuItem& item) {
        return !item.IsPopup() && item.id > base && item.id <= base + 9;
    });
    return items;
}

std::optional<ScanCommand> DecodeScanCommand(unsigned id) {
    if (id >= res::ID_SCAN_SOURCE_FIRST && id <= res::ID_SCAN_SOURCE_LAST) {
        return ScanCommand{true, id - res::ID_SCAN_SOURCE_FIRST};
    }
    if (id >= res::ID_SCAN_TARGET_FIRST && id <= res::ID_SCAN_TARGET_LAST) {
        return ScanCommand{false, id - res::ID_SCAN_TARGET_FIRST};
    }
    return std::nullopt;
}

} // namespace vx
