// The view of a blank child window (File New): it shows nothing and handles no command.
#pragma once

#include "base/CmdTarget.h"

#include <QWidget>

namespace vx::ui {

class CPlainView : public QWidget, public CCmdTarget {
    Q_OBJECT
public:
    explicit CPlainView(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
};

} // namespace vx::ui
