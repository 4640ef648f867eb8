// Where the program keeps its settings: an INI file named after the program, beside it, or in
// the user's configuration folder when the program's folder cannot be written.
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

// The running program's own file, from /proc/self/exe; empty when it cannot be read.
std::string ProgramPath();

} // namespace vx
