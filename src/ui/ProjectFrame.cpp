#include "ui/ProjectFrame.h"

#include "res/Resource.h"
#include "res/StringTable.h"
#include "res/UiTables.h"
#include "ui/FixedSplitter.h"
#include "ui/MainFrame.h"
#include "ui/ViewPict.h"

namespace vx::ui {

CProjectFrame::CProjectFrame(CMainFrame& main) : CMyFrameWnd(main, true) {
    setWindowTitle(QString::fromStdString(res::LoadString(res::IDS_PROJECT)));
    setWindowIcon(QIcon(QString::fromStdString(res::IconImage(res::IDI_PROJECT))));
    CreateToolBar(res::IDR_PROJECT_TOOLBAR);
    auto* splitter = new CFixedSplitter(nullptr);
    m_pSource = new CViewPict(main.Doc(), true, splitter);
    m_pTarget = new CViewPict(main.Doc(), false, splitter);
    splitter->addWidget(m_pSource);
    splitter->addWidget(m_pTarget);
    SetClient(splitter);
    SetActiveView(m_pSource);
}

} // namespace vx::ui
