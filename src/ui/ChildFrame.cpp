#include "ui/ChildFrame.h"

#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/PlainView.h"

namespace vx::ui {

CChildFrame::CChildFrame(CMainFrame& main) : CMyFrameWnd(main, false) {
    auto* blank = new CPlainView(nullptr);
    m_pView = blank;
    SetClient(blank);
    SetActiveView(blank);
    setWindowTitle(QString::fromStdString(res::LoadString(res::IDS_APP_TITLE)));
}

} // namespace vx::ui
