#include "profile/PrivateProfile.h"

#include "profile/ProfileFile.h"

namespace vx {

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path) {
    CProfileFile file;
    if (!file.Load(path)) {
        return std::string(defaultValue);
    }
    return file.GetString(section, key, defaultValue);
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::string& path) {
    CProfileFile file;
    if (!file.Load(path)) {
        return defaultValue;
    }
    return file.GetInt(section, key, defaultValue);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path) {
    CProfileFile file;
    if (!file.Load(path)) {
        return false;
    }
    file.SetString(section, key, value);
    return file.Save(path);
}

bool DeletePrivateProfileKey(std::string_view section, std::string_view key,
                             const std::string& path) {
    CProfileFile file;
    if (!file.Load(path)) {
        return false;
    }
    file.DeleteKey(section, key);
    return file.Save(path);
}

bool DeletePrivateProfileSection(std::string_view section, const std::string& path) {
    CProfileFile file;
    if (!file.Load(path)) {
        return false;
    }
    file.DeleteSection(section);
    return file.Save(path);
}

} // namespace vx
