#include "profile/RecentFiles.h"

#include "profile/PrivateProfile.h"

#include <algorithm>

namespace vx {

namespace {
const char kSection[] = "Recent files";
} // namespace

CRecentFiles::CRecentFiles(std::string profilePath, std::string keyPrefix)
    : m_strProfile(std::move(profilePath)), m_strPrefix(std::move(keyPrefix)) {}

std::vector<std::string> CRecentFiles::Paths() const {
    std::vector<std::string> paths;
    for (size_t i = 1; i <= kMaxEntries; ++i) {
        std::string path =
            GetPrivateProfileString(kSection, m_strPrefix + std::to_string(i), "", m_strProfile);
        // A hand-edited file may repeat an entry or leave gaps.
        if (!path.empty() && std::find(paths.begin(), paths.end(), path) == paths.end()) {
            paths.push_back(std::move(path));
        }
    }
    return paths;
}

bool CRecentFiles::Add(const std::string& path) {
    if (path.empty() || path.find_first_of("\r\n") != std::string::npos) {
        return false;
    }
    std::vector<std::string> paths = Paths();
    std::erase(paths, path);
    paths.insert(paths.begin(), path);
    return Store(paths);
}

bool CRecentFiles::Remove(const std::string& path) {
    std::vector<std::string> paths = Paths();
    std::erase(paths, path);
    return Store(paths);
}

bool CRecentFiles::Store(const std::vector<std::string>& paths) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (size_t i = 0; i < kMaxEntries; ++i) {
        entries.emplace_back(m_strPrefix + std::to_string(i + 1),
                             i < paths.size() ? paths[i] : std::string());
    }
    return WritePrivateProfileStrings(kSection, entries, m_strProfile);
}

} // namespace vx
