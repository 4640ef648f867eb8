#include "app/KeltApp.h"
#include "ui/Application.h"

int main(int argc, char** argv) {
    vx::ui::CApplication qapp(argc, argv);
    vx::CKeltApp app;
    if (!app.InitInstance()) {
        return 0;
    }
    int rc = qapp.exec();
    app.ExitInstance();
    return rc;
}
