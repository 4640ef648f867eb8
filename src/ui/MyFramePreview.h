// The Preview window: toolbar 128 with the blend slider over the Preview view.
#pragma once

#include "ui/MyFrameWnd.h"

namespace vx::ui {

class CViewPreview;

class CMyFramePreview : public CMyFrameWnd {
    Q_OBJECT
public:
    explicit CMyFramePreview(CMainFrame& main);

    CViewPreview* View() const { return m_pView; }

private:
    CViewPreview* m_pView;
};

} // namespace vx::ui
