// What the Add/remove device dialog shows and returns, without the dialog: every available
// device is either chosen (the selected list) or not (the available list), in the order the
// library enumerates them.
#pragma once

#include <string>
#include <vector>

namespace vx {

class CDeviceChoice {
public:
    // A device is chosen when its name equals one of the selected names.
    CDeviceChoice(std::vector<std::string> available, const std::vector<std::string>& selected);

    std::vector<std::string> AvailableList() const { return List(false); }
    std::vector<std::string> SelectedList() const { return List(true); }

    // "&Add >" and "< &Remove" with the text of the row selected in their list, if any. False
    // when no row is selected or no device has that name: the dialog beeps.
    bool Add(const std::string* row) { return Mark(row, true); }
    bool Remove(const std::string* row) { return Mark(row, false); }

    // OK: the chosen names, in enumeration order.
    std::vector<std::string> Result() const { return SelectedList(); }

private:
    std::vector<std::string> List(bool chosen) const;
    bool Mark(const std::string* row, bool chosen);

    std::vector<std::string> m_available;
    std::vector<unsigned> m_chosen; // 1 chosen, 0 not, one per available name
};

} // namespace vx
