#include "ui/Application.h"

#include "base/CmdTarget.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/InstalledFiles.h"

#include <QMessageBox>
#include <exception>

namespace vx::ui {

CApplication::CApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationVersion(QStringLiteral(VEXEL_VERSION));
    setDesktopFileName(QStringLiteral(VEXEL_APP_ID));
    setWindowIcon(ApplicationIcon(applicationDirPath()));
}

bool CApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception&) {
        QMessageBox::warning(activeWindow(),
                             QString::fromStdString(res::LoadString(res::IDS_APP_TITLE)),
                             QString::fromStdString(CCommandRouter::GenericFailureText()));
    }
    return true;
}

} // namespace vx::ui
