#include "app/CommandLine.h"
#include "app/KeltApp.h"
#include "ui/Application.h"

#include <cstdio>

namespace {

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

// The exit code of a command line that asks for no window; -1 when the program is to run.
int AnswerWithoutWindow(const vx::CommandLine& line) {
    switch (line.action) {
    case vx::CommandLine::Action::Version:
        std::printf("vexel-helper %s\n", VEXEL_VERSION);
        return 0;
    case vx::CommandLine::Action::Help:
        std::printf("%s", vx::CommandLineUsage());
        return 0;
    case vx::CommandLine::Action::Fail:
        std::fprintf(stderr, "vexel-helper: %s\n%s", line.error.c_str(), vx::CommandLineUsage());
        return 2;
    case vx::CommandLine::Action::Run:
        break;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    // --version and --help are answered before any window system is needed, as packaging tools
    // and scripts expect. Anything else waits until Qt has taken its own options (-platform,
    // -style, ...) out of the arguments.
    vx::CommandLine line = vx::ParseCommandLine(Arguments(argc, argv));
    if (line.action != vx::CommandLine::Action::Fail) {
        if (const int rc = AnswerWithoutWindow(line); rc >= 0) {
            return rc;
        }
    }
    vx::ui::CApplication qapp(argc, argv);
    line = vx::ParseCommandLine(Arguments(argc, argv));
    if (const int rc = AnswerWithoutWindow(line); rc >= 0) {
        return rc;
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
