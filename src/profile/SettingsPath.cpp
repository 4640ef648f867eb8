#include "profile/SettingsPath.h"

#include "profile/PrivateProfile.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace vx {

namespace fs = std::filesystem;

namespace {

// <configBase>/vexel-helper/<the file name of path>, the folder made when missing.
std::string InConfigFolder(const std::string& configBase, const std::string& path) {
    const fs::path folder = fs::path(configBase) / "vexel-helper";
    std::error_code ec;
    // A folder that cannot be made shows up as a failed write later, with its own message.
    fs::create_directories(folder, ec);
    return (folder / fs::path(path).filename()).string();
}

} // namespace

std::string SettingsPathBesideProgram(const std::string& programPath) {
    size_t slash = programPath.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = programPath.rfind('.');
    if (dot == std::string::npos || dot < nameStart) {
        return programPath + ".INI";
    }
    return programPath.substr(0, dot) + ".INI";
}

std::string ConfigBaseFolder(const char* xdgConfigHome, const char* home) {
    if (xdgConfigHome && *xdgConfigHome && *xdgConfigHome == '/') {
        return xdgConfigHome;
    }
    if (home && *home) {
        return (fs::path(home) / ".config").string();
    }
    return {};
}

std::string SettingsFilePath(const std::string& programPath, bool programFolderWritable,
                             const std::string& configBase) {
    std::string beside = SettingsPathBesideProgram(programPath);
    if (programFolderWritable || configBase.empty()) {
        return beside;
    }
    return InConfigFolder(configBase, beside);
}

std::string SettingsFilePath(const std::string& programPath) {
    fs::path folder = fs::path(programPath).parent_path();
    bool writable = ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
    return SettingsFilePath(programPath, writable,
                            ConfigBaseFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")));
}

std::string UsableSettingsFile(const std::string& wanted, const std::string& configBase,
                               std::string& note) {
    note.clear();
    const std::string problem = PrivateProfileProblem(wanted);
    if (problem.empty()) {
        return wanted;
    }
    if (configBase.empty()) {
        note = problem + "; the settings will not be saved";
        return wanted;
    }
    const std::string fallback = InConfigFolder(configBase, wanted);
    const std::string second = fallback == wanted ? problem : PrivateProfileProblem(fallback);
    if (!second.empty()) {
        note = (fallback == wanted ? problem : problem + "; " + second) +
               "; the settings will not be saved";
        return fallback;
    }
    note = problem + "; the settings are kept in \"" + fallback + "\" instead";
    return fallback;
}

std::string ProgramPath() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.string();
}

} // namespace vx
