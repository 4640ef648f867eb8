#include "app/CommandLine.h"
#include "app/KeltApp.h"
#include "ui/Application.h"

#include <cstdio>

namespace {

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

} // namespace

int main(int argc, char** argv) {
    // --version and --help are answered before any window system is needed, as packaging tools
    // and scripts expect.
    vx::CommandLine line = vx::ParseCommandLine(Arguments(argc, argv));
    if (line.action == vx::CommandLine::Action::Version) {
        std::printf("vexel-helper %s\n", VEXEL_VERSION);
        return 0;
    }
    if (line.action == vx::CommandLine::Action::Help) {
        std::printf("%s", vx::CommandLineUsage());
        return 0;
    }
    vx::ui::CApplication qapp(argc, argv);
    // Qt has taken its own options (-platform, -style, ...) out of the arguments by now.
    line = vx::ParseCommandLine(Arguments(argc, argv));
    if (line.action != vx::CommandLine::Action::Run) {
        std::fprintf(stderr, "vexel-helper: %s\n%s", line.error.c_str(), vx::CommandLineUsage());
        return 2;
    }
    vx::CKeltApp app;
    if (!app.InitInstance()) {
        return 0;
    }
    app.OpenFiles(line.files);
    int rc = qapp.exec();
    app.ExitInstance();
    return rc;
}
