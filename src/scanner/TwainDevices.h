// The short list of chosen scanners and cameras, kept in the settings file.
#pragma once

#include "scanner/Acquisition.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vx {

class CTwainDevices {
public:
    static constexpr std::size_t kMaxDevices = 10;

    // Starts the library with the main window's scanner message as its completion. The list is
    // loaded from the settings file at iniPath once the library has listed the devices (on its
    // worker); until then it is empty.
    CTwainDevices(std::unique_ptr<CAcquisition> library, CAcquisition::Completion onScanned,
                  std::string iniPath);
    ~CTwainDevices(); // SaveAndClose
    CTwainDevices(const CTwainDevices&) = delete;
    CTwainDevices& operator=(const CTwainDevices&) = delete;

    // The stored names that are available now; the default source when none is stored.
    void Load();
    // Runs on the user-interface thread each time the list has been loaded.
    void SetOnLoaded(std::function<void()> onLoaded) { m_onLoaded = std::move(onLoaded); }
    bool Loaded() const { return m_bLoaded; }
    // Writes DEVICE0 ... DEVICE9 (empty past the list's end) and shuts the library down. Once.
    void SaveAndClose();

    // Starts a scan from device `index`; false when there is no such device or a scan runs.
    bool Acquire(std::size_t index);

    const std::vector<std::string>& Names() const { return m_names; }
    // The device dialog's result: the first ten are kept.
    void SetNames(const std::vector<std::string>& names);
    // The sources of the latest listing, in the library's order (the device dialog's own list).
    std::vector<std::string> AvailableSources();
    // Lists the sources again; onListed runs on the user-interface thread when they are in.
    void Relist(std::function<void()> onListed) { m_library->List(std::move(onListed)); }

    CAcquisition& Library() { return *m_library; }

private:
    std::unique_ptr<CAcquisition> m_library;
    std::string m_strIniPath;
    std::vector<std::string> m_names;
    bool m_bClosed = false;
    bool m_bLoaded = false;
    std::function<void()> m_onLoaded;
};

} // namespace vx
