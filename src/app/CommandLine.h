// What the program was asked for on its command line.
#pragma once

#include <string>
#include <vector>

namespace vx {

struct CommandLine {
    enum class Action { Run, Version, Help, Fail };
    Action action = Action::Run;
    // Run: the pictures (source, then target) or the project to open, as given.
    std::vector<std::string> files;
    // Fail: what was wrong, for the user.
    std::string error;
};

// The arguments after the program's name. "--" ends the options, so that a file whose name
// starts with "-" can be named.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text of --help.
const char* CommandLineUsage();

} // namespace vx
