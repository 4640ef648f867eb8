// Files installed beside the program: the help page and the icons. They are found relative to
// the executable, so an install tree works wherever it was put; a program run from its build
// tree uses the copies built into it.
#pragma once

#include <QIcon>
#include <QString>
#include <QUrl>

namespace vx::ui {

// The installed data folder (<prefix>/share/vexel-helper) for a program in `appDir`; empty when
// there is none.
QString InstalledDataDir(const QString& appDir);
// The installed help page, else the built-in one.
QUrl HelpPageUrl(const QString& appDir);
// The program's icon from the installed hicolor theme, else the built-in one.
QIcon ApplicationIcon(const QString& appDir);

} // namespace vx::ui
