#include "ui/InstalledFiles.h"

#include "res/Resource.h"
#include "res/UiTables.h"

#include <QDir>
#include <QFileInfo>

namespace vx::ui {

namespace {

// <prefix>/share seen from <prefix>/bin, as the build configured the install.
QString DataRoot(const QString& appDir) {
    return QDir::cleanPath(QDir(appDir).filePath(QStringLiteral(VEXEL_BIN_TO_DATA)));
}

} // namespace

QString InstalledDataDir(const QString& appDir) {
    const QString dir = DataRoot(appDir) + QStringLiteral("/vexel-helper");
    return QFileInfo(dir).isDir() ? dir : QString();
}

QUrl HelpPageUrl(const QString& appDir) {
    const QString data = InstalledDataDir(appDir);
    const QString page = data + QStringLiteral("/help/index.html");
    if (!data.isEmpty() && QFileInfo(page).isFile()) {
        return QUrl::fromLocalFile(page);
    }
    return QUrl(QString::fromLatin1(res::kHelpPage));
}

QIcon ApplicationIcon(const QString& appDir) {
    const QString hicolor = DataRoot(appDir) + QStringLiteral("/icons/hicolor");
    const QString name = QStringLiteral(VEXEL_APP_ID);
    QIcon icon;
    const QString svg = hicolor + QStringLiteral("/scalable/apps/") + name + QStringLiteral(".svg");
    if (QFileInfo(svg).isFile()) {
        icon.addFile(svg);
    }
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString png =
            hicolor + QStringLiteral("/%1x%1/apps/").arg(size) + name + QStringLiteral(".png");
        if (QFileInfo(png).isFile()) {
            icon.addFile(png, QSize(size, size));
        }
    }
    if (icon.isNull()) {
        icon = QIcon::fromTheme(name,
                                QIcon(QString::fromStdString(res::IconImage(res::IDR_MAINFRAME))));
    }
    return icon;
}

} // namespace vx::ui
