#include "ui/MyFramePreview.h"

#include "res/Resource.h"
#include "res/StringTable.h"
#include "res/UiTables.h"
#include "ui/CommandActions.h"
#include "ui/MainFrame.h"
#include "ui/SliderToolBar.h"
#include "ui/ViewPreview.h"

#include <QShortcut>
#include <QSlider>

namespace vx::ui {

CMyFramePreview::CMyFramePreview(CMainFrame& main) : CMyFrameWnd(main, true) {
    setWindowTitle(QString::fromStdString(res::LoadString(res::IDS_PREVIEW)));
    setWindowIcon(QIcon(QString::fromStdString(res::IconImage(res::IDI_PREVIEW))));
    CreateToolBar(res::IDR_MAINFRAME)->SetUpSlider([&main](int value) {
        main.m_nSliderPos = value;
        main.Actions().Execute(res::ID_BLEND); // the document re-blends without re-rendering
    });
    // The blend stays reachable by the keyboard when the toolbar is hidden.
    for (const auto& [keys, step] : {std::pair{"[", -5}, std::pair{"]", 5}}) {
        auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(keys)), this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, step] {
            if (QSlider* slider = Slider()) {
                slider->setValue(slider->value() + step);
            }
        });
    }
    m_pView = new CViewPreview(main.Doc(), nullptr);
    SetClient(m_pView);
    SetActiveView(m_pView);
    m_pView->OnInitialUpdate();
}

} // namespace vx::ui
