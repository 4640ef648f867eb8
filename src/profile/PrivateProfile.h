// The private-profile calls. Each reads the named file as it is now and each write saves it
// whole; a burst of calls on a file not changed lately shares one parse.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vx {

// Settings files are small: a larger file is left alone, read as empty and never written.
constexpr size_t kMaxPrivateProfileBytes = 1 << 20;

// A file that is missing or cannot be read answers with the default.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path);
int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::string& path);

// Creates the file when it is missing; false when it cannot be read or written, or the value
// cannot be stored (see CProfileFile::SetString).
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path);
// Several keys of one section in one reading of the file, and for the write one save: the
// values, and the file, are those of one call per key in the given order, except that a value
// that cannot be stored fails the whole write and nothing is written.
std::vector<int> GetPrivateProfileInts(std::string_view section,
                                       std::initializer_list<std::string_view> keys,
                                       int defaultValue, const std::string& path);
bool WritePrivateProfileStrings(
    std::string_view section,
    std::initializer_list<std::pair<std::string_view, std::string_view>> entries,
    const std::string& path);
bool WritePrivateProfileStrings(std::string_view section,
                                const std::vector<std::pair<std::string, std::string>>& entries,
                                const std::string& path);
bool DeletePrivateProfileKey(std::string_view section, std::string_view key,
                             const std::string& path);
bool DeletePrivateProfileSection(std::string_view section, const std::string& path);

// Why these calls cannot use `path` (a folder, unreadable, too big); empty when they can, which
// includes a missing file.
std::string PrivateProfileProblem(const std::string& path);
// The reason of the last failure of these calls on this thread, then forgotten.
std::string TakePrivateProfileError();

} // namespace vx
