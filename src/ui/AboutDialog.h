// The About dialog.
#pragma once

#include <QDialog>

namespace vx::ui {

class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent);
};

} // namespace vx::ui
