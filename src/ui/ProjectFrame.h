// The Project window: the Source and Target panes side by side under toolbar 140.
#pragma once

#include "ui/MyFrameWnd.h"

namespace vx::ui {

class CViewPict;

class CProjectFrame : public CMyFrameWnd {
    Q_OBJECT
public:
    explicit CProjectFrame(CMainFrame& main);

    CViewPict* SourceView() const { return m_pSource; }
    CViewPict* TargetView() const { return m_pTarget; }

private:
    CViewPict* m_pSource;
    CViewPict* m_pTarget;
};

} // namespace vx::ui
