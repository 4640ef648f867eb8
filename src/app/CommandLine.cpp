#include "app/CommandLine.h"

namespace vx {

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    if (args.size() == 1 && (args[0] == "--version" || args[0] == "--help")) {
        line.action =
            args[0] == "--version" ? CommandLine::Action::Version : CommandLine::Action::Help;
        return line;
    }
    bool options = true;
    for (const std::string& arg : args) {
        if (options && arg == "--") {
            options = false;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            line.action = CommandLine::Action::Fail;
            line.error = "unknown option " + arg;
            return line;
        } else {
            line.files.push_back(arg);
        }
    }
    return line;
}

const char* CommandLineUsage() {
    return "Usage: vexel-helper [SOURCE [TARGET] | PROJECT.vpj]\n"
           "       vexel-helper --version | --help\n"
           "Frames a source and a target picture for morphing and exports a Vexel project.\n"
           "SOURCE and TARGET are image or movie files (a movie asks for its frame); a project\n"
           "opens with its pictures and their framing.\n";
}

} // namespace vx
