// The multiple-document main frame with the Project and Preview windows.
#pragma once

#include "base/CmdTarget.h"

#include <QMainWindow>
#include <QString>
#include <memory>
#include <optional>
#include <string>

class QMdiArea;
class QMenu;
class QLabel;
class QSize;

namespace vx {
class CKeltDoc;
enum class ESlot;
class CRecentFiles;
class CTwainDevices;
} // namespace vx

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
    // The Placement dialog, its focus on the zoom of `slot` when given.
    void OpenPlacementDialog(std::optional<ESlot> slot);
    void SavePreviewPlacement();
    // Once the frame is shown: the stored placement of the Preview window.
    void ApplyPreviewPlacement();

    // Scanners: the device list the Scan submenus show, set once it exists.
    void SetTwainDevices(CTwainDevices* devices);
    CTwainDevices* TwainDevices() const { return m_pTwainDevices; }
    // The scanner message: the scanned file goes into the slot of the latest scan command.
    void OnTwainMessage(const std::string& path);
    // The Scan submenus of File > Source (0) and File > Target (1).
    QMenu* ScanMenu(int index) const { return m_pScanMenus[index]; }

    int m_nSliderPos = 50;
    std::string m_strTwainFile;
    bool m_bScanToSource = true;
    bool m_bTwainMenuBuilt = false;

    // File > Recent pictures (0) and Recent projects (1), filled from their lists as the File
    // menu opens.
    QMenu* RecentMenu(int index) const { return m_pRecentMenus[index]; }
    void FillRecentMenus();

    // The Caps, Num and Scroll Lock panes, lit while their lock is on.
    QLabel* LockPane(int index) const { return m_pLockPanes[index]; }
    void UpdateLockPanes();

protected:
    // Quitting asks first when framed pictures have edits not saved.
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void RegisterScanCommands();
    // On opening the menu bar: fills both Scan submenus once.
    void OnInitMenu();
    void FillTwainMenus();
    void ClearTwainMenus();
    void OnAddDevice();
    // The "Camera…" item sits above the separator while a camera is connected.
    void UpdateCameraItem(int index);
    void OnCamera(ESlot slot);
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
    CTwainDevices* m_pTwainDevices = nullptr;
    QMenu* m_pScanMenus[2] = {nullptr, nullptr};
    std::unique_ptr<CRecentFiles> m_pRecentPictures;
    std::unique_ptr<CRecentFiles> m_pRecentProjects;
    QMenu* m_pRecentMenus[2] = {nullptr, nullptr};
    QString m_strMarkingPrompt; // the marking prompt the status bar shows
};

} // namespace vx::ui
