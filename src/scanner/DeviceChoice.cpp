#include "scanner/DeviceChoice.h"

#include <algorithm>

namespace vx {

CDeviceChoice::CDeviceChoice(std::vector<std::string> available,
                             const std::vector<std::string>& selected)
    : m_available(std::move(available)) {
    for (const std::string& name : m_available) {
        m_chosen.push_back(std::find(selected.begin(), selected.end(), name) != selected.end());
    }
}

std::vector<std::string> CDeviceChoice::List(bool chosen) const {
    std::vector<std::string> list;
    for (std::size_t i = 0; i < m_available.size(); ++i) {
        if ((m_chosen[i] != 0) == chosen) {
            list.push_back(m_available[i]);
        }
    }
    return list;
}

bool CDeviceChoice::Mark(const std::string* row, bool chosen) {
    if (!row) {
        return false;
    }
    auto it = std::find(m_available.begin(), m_available.end(), *row);
    if (it == m_available.end()) {
        return false;
    }
    m_chosen[static_cast<std::size_t>(it - m_available.begin())] = chosen ? 1 : 0;
    return true;
}

} // namespace vx
