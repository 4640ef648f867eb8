// The private-profile calls, each a whole load (and save) of the named file.
#pragma once

#include <string>
#include <string_view>

namespace vx {

// A file that is missing or cannot be read answers with the default.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path);
int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::string& path);

// Creates the file when it is missing; false when it cannot be read or written.
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path);
bool DeletePrivateProfileKey(std::string_view section, std::string_view key,
                             const std::string& path);
bool DeletePrivateProfileSection(std::string_view section, const std::string& path);

} // namespace vx
