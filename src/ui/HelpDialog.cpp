#include "ui/HelpDialog.h"

#include "res/Resource.h"
#include "ui/CommandActions.h"
#include "ui/MainFrame.h"
#include "ui/ScreenFit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>

namespace vx::ui {

CHelpDialog::CHelpDialog(QWidget* parent) : QDialog(parent) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, true);
}

void CHelpDialog::Help() {
    // The request goes the main window's way: its help command opens the help page.
    CMainFrame* main = nullptr;
    for (QWidget* w = parentWidget(); w && !main; w = w->parentWidget()) {
        main = dynamic_cast<CMainFrame*>(w);
    }
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!main) {
            main = dynamic_cast<CMainFrame*>(w);
        }
    }
    if (main) {
        main->Actions().Execute(res::ID_HELP_FINDER);
    }
}

bool CHelpDialog::event(QEvent* event) {
    if (event->type() == QEvent::EnterWhatsThisMode) {
        Help();
        return true;
    }
    return QDialog::event(event);
}

void CHelpDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        Help();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CHelpDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A dialog larger than a small or scaled screen would open with its buttons out of reach.
    KeepOnScreen(*this);
}

void CHelpDialog::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

} // namespace vx::ui
