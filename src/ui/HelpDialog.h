// Dialog base with the help behaviour: F1 and the context-help request open the help page;
// a right-click brings no menu; the dialog opens inside the screen.
#pragma once

#include <QDialog>

namespace vx::ui {

class CHelpDialog : public QDialog {
    Q_OBJECT
public:
    explicit CHelpDialog(QWidget* parent);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Help();
};

} // namespace vx::ui
