// Where the program keeps its settings: an INI file named after the program, beside it, or in
// the user's configuration folder when the program's folder cannot be written or the file there
// cannot be used.
#pragma once

#include <string>

namespace vx {

// The program's full path with everything from the last "." of the file name on replaced by
// ".INI" (".INI" appended when the file name has no dot).
std::string SettingsPathBesideProgram(const std::string& programPath);

// $XDG_CONFIG_HOME when set, non-empty and absolute, else $HOME/.config; empty when neither.
std::string ConfigBaseFolder(const char* xdgConfigHome, const char* home);

// The settings file: beside the program when its folder is writable, else
// <configBase>/vexel-helper/<name>.INI, creating the sub-folder when missing.
std::string SettingsFilePath(const std::string& programPath, bool programFolderWritable,
                             const std::string& configBase);
// The same with the real folder check and environment.
std::string SettingsFilePath(const std::string& programPath);

// `wanted` when the profile calls can use it; else the file of the same name in
// <configBase>/vexel-helper (folder created), so that a folder, an unreadable file or a file too
// big to be ours is never written and the settings still persist. `note` then tells the user
// where the settings go, and is empty otherwise.
std::string UsableSettingsFile(const std::string& wanted, const std::string& configBase,
                               std::string& note);

// The running program's own file, from /proc/self/exe; empty when it cannot be read.
std::string ProgramPath();

} // namespace vx
