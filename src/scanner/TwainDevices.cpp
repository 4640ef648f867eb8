#include "scanner/TwainDevices.h"

#include "profile/PrivateProfile.h"

#include <algorithm>

namespace vx {

namespace {

const char kSection[] = "TWAIN";

std::string DeviceKey(std::size_t index) {
    return "DEVICE" + std::to_string(index);
}

} // namespace

CTwainDevices::CTwainDevices(std::unique_ptr<CAcquisition> library,
                             CAcquisition::Completion onScanned, std::string iniPath)
    : m_library(std::move(library)), m_strIniPath(std::move(iniPath)) {
    m_library->Startup(std::move(onScanned), [this] {
        Load();
        m_bLoaded = true;
        if (m_onLoaded) {
            m_onLoaded();
        }
    });
}

CTwainDevices::~CTwainDevices() {
    SaveAndClose();
}

std::vector<std::string> CTwainDevices::AvailableSources() {
    std::vector<std::string> available;
    std::string name;
    for (bool more = m_library->FirstSource(name); more; more = m_library->NextSource(name)) {
        available.push_back(name);
    }
    return available;
}

void CTwainDevices::Load() {
    m_names.clear();
    const std::vector<std::string> available = AvailableSources();
    if (available.empty()) {
        return;
    }
    bool anyStored = false;
    for (std::size_t i = 0; i < kMaxDevices; ++i) {
        std::string stored = GetPrivateProfileString(kSection, DeviceKey(i), "", m_strIniPath);
        if (stored.empty()) {
            continue;
        }
        anyStored = true;
        if (std::find(available.begin(), available.end(), stored) != available.end()) {
            m_names.push_back(stored);
        }
    }
    std::string name;
    if (!anyStored && m_library->DefaultSource(name)) {
        m_names.push_back(name);
    }
}

void CTwainDevices::SaveAndClose() {
    if (m_bClosed) {
        return;
    }
    m_bClosed = true;
    // A list never loaded (the program quit while the devices were being listed) would wipe the
    // stored one.
    for (std::size_t i = 0; m_bLoaded && i < kMaxDevices; ++i) {
        WritePrivateProfileString(kSection, DeviceKey(i), i < m_names.size() ? m_names[i] : "",
                                  m_strIniPath);
    }
    m_library->Shutdown();
}

bool CTwainDevices::Acquire(std::size_t index) {
    if (index >= m_names.size()) {
        return false;
    }
    return m_library->Acquire(m_names[index]);
}

void CTwainDevices::SetNames(const std::vector<std::string>& names) {
    m_names.assign(names.begin(), names.begin() + std::min(names.size(), kMaxDevices));
}

} // namespace vx
