#include "app/KeltApp.h"
#include "ui/Application.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    // Answered before any window system is needed, as packaging tools and scripts expect.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("vexel-helper %s\n", VEXEL_VERSION);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::printf("Usage: vexel-helper [--version | --help]\n"
                    "Frames a source and a target picture for morphing and exports a Vexel "
                    "project.\n");
        return 0;
    }
    vx::ui::CApplication qapp(argc, argv);
    vx::CKeltApp app;
    if (!app.InitInstance()) {
        return 0;
    }
    int rc = qapp.exec();
    app.ExitInstance();
    return rc;
}
