#include "app/BatchRun.h"
#include "app/CommandLine.h"
#include "app/KeltApp.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/Application.h"

#include <algorithm>
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
        std::fprintf(stderr, "vexel-helper: %s\n%s\n", line.error.c_str(),
                     res::LoadString(res::IDS_CMD_HELP_HINT).c_str());
        return 1;
    case vx::CommandLine::Action::Batch:
        // No window system at all: the job runs where there is no display.
        return vx::RunBatch(line.batch);
    case vx::CommandLine::Action::Run:
        break;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    // --version, --help and --batch are answered before any window system is needed, as
    // packaging tools and scripts expect. Anything else waits until Qt has taken its own options
    // (-platform, -style, ...) out of the arguments; a batch line has none of them.
    const std::vector<std::string> args = Arguments(argc, argv);
    vx::CommandLine line = vx::ParseCommandLine(args);
    if (line.action != vx::CommandLine::Action::Fail ||
        std::find(args.begin(), args.end(), "--batch") != args.end()) {
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
