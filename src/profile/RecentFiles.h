// A list of the files used last, newest first, kept in a section of the settings file. Each call
// reads the file as it is now, so that programs running side by side keep each other's entries.
#pragma once

#include <string>
#include <vector>

namespace vx {

class CRecentFiles {
public:
    static constexpr size_t kMaxEntries = 8;

    // Entries are the keys <keyPrefix>1 ... <keyPrefix>8 of section "Recent files".
    CRecentFiles(std::string profilePath, std::string keyPrefix);

    std::vector<std::string> Paths() const;
    // To the front, once; the oldest beyond kMaxEntries drops out. False when it could not be
    // stored (a name with a line break, a settings file that cannot be written).
    bool Add(const std::string& path);
    bool Remove(const std::string& path);

private:
    bool Store(const std::vector<std::string>& paths);

    std::string m_strProfile;
    std::string m_strPrefix;
};

} // namespace vx
