// The multiple-document main frame with the Project and Preview windows.
#pragma once

#include "document/CmdTarget.h"

#include <QMainWindow>
#include <memory>
#include <string>

class QMdiArea;
class QLabel;
class QSize;

namespace vx {
class CKeltDoc;
}

namespace vx::ui {

class CCommandActions;
class CMyFrameWnd;
class CMyFramePreview;
class CProjectFrame;
class CQtPlatform;

class CMainFrame : public QMainWindow, public CCmdTarget {
    Q_OBJECT
public:
    // `app` is the last target of the routing; `onHelp` opens the help window.
    CMainFrame(CKeltDoc& doc, CCmdTarget& app, CQtPlatform& ui, std::string profilePath,
               std::function<void()> onHelp);
    ~CMainFrame() override;

    CKeltDoc& Doc() { return m_doc; }
    CCmdTarget& App() { return m_app; }
    CQtPlatform& Platform() { return m_ui; }
    QMdiArea* MdiArea() const { return m_pMdiArea; }
    CCommandActions& Actions() { return *m_pActions; }
    CMyFramePreview* PreviewFrame() const { return m_pPreviewFrame; }
    CProjectFrame* ProjectFrame() const { return m_pProjectFrame; }
    QWidget* PreviewView() const;
    const std::string& ProfilePath() const { return m_strProfile; }

    // The routing of menu items and accelerators.
    std::vector<CCmdTarget*> Chain();
    void UpdateCommandUI();
    void UpdateAllViews();
    void NewChild();
    void SavePreviewPlacement();
    // Once the frame is shown: the stored placement of the Preview window.
    void ApplyPreviewPlacement();

    int m_nSliderPos = 50;

    // The Caps, Num and Scroll Lock panes, lit while their lock is on.
    QLabel* LockPane(int index) const { return m_pLockPanes[index]; }
    void UpdateLockPanes();

private:
    void BuildMenus();
    void ToggleFrame(CMyFrameWnd* frame);

    CKeltDoc& m_doc;
    CCmdTarget& m_app;
    CQtPlatform& m_ui;
    std::string m_strProfile;
    std::function<void()> m_onHelp;
    std::unique_ptr<CCommandActions> m_pActions;
    QMdiArea* m_pMdiArea;
    CMyFramePreview* m_pPreviewFrame = nullptr;
    CProjectFrame* m_pProjectFrame = nullptr;
    bool m_bPlacementSaved = false;
    QLabel* m_pLockPanes[3] = {};
};

} // namespace vx::ui
