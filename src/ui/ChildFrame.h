// A blank child window opened by File New; closing it destroys it.
#pragma once

#include "ui/MyFrameWnd.h"

namespace vx::ui {

class CChildFrame : public CMyFrameWnd {
    Q_OBJECT
public:
    explicit CChildFrame(CMainFrame& main);
    QWidget* View() const { return m_pView; }

private:
    QWidget* m_pView;
};

} // namespace vx::ui
