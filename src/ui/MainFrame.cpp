#include "ui/MainFrame.h"

#include "document/KeltDoc.h"
#include "profile/RecentFiles.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "res/UiTables.h"
#include "scanner/ScanMenu.h"
#include "scanner/TwainDevices.h"
#include "ui/CameraDlg.h"
#include "ui/ChildFrame.h"
#include "ui/CommandActions.h"
#include "ui/FocusReturn.h"
#include "ui/LockIndicators.h"
#include "ui/MyFramePreview.h"
#include "ui/MyFrameWnd.h"
#include "ui/PlacementDlg.h"
#include "ui/ProjectFrame.h"
#include "ui/QtPlatform.h"
#include "ui/TwainDeviceDlg.h"
#include "ui/ViewPreview.h"

#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLayout>
#include <QMdiArea>
#include <QMenuBar>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <filesystem>
#include <map>
#include <memory>

namespace vx::ui {

namespace {
// The first scan command of the Source (0) and Target (1) Scan submenus.
constexpr unsigned kScanBases[2] = {res::ID_SCAN_SOURCE_FIRST, res::ID_SCAN_TARGET_FIRST};
constexpr unsigned kCameraIds[2] = {res::ID_CAMERA_SOURCE, res::ID_CAMERA_TARGET};
} // namespace

namespace {
QString Text(unsigned id) {
    return QString::fromStdString(res::LoadString(id));
}

// A minimised child shows only its title: the View items count it as not shown.
bool Showing(const QWidget* frame) {
    return frame && frame->isVisible() && !frame->isMinimized();
}
} // namespace

CMainFrame::CMainFrame(CKeltDoc& doc, CCmdTarget& app, CQtPlatform& ui, std::string profilePath,
                       std::function<void()> onHelp)
    : m_doc(doc), m_app(app), m_ui(ui), m_strProfile(std::move(profilePath)),
      m_onHelp(std::move(onHelp)) {
    setWindowTitle(Text(res::IDS_APP_TITLE));
    setWindowIcon(QIcon(QString::fromStdString(res::IconImage(res::IDR_MAINFRAME))));
    m_pActions = std::make_unique<CCommandActions>([this] { return Chain(); }, m_ui, nullptr);
    m_pMdiArea = new QMdiArea(this);
    setCentralWidget(m_pMdiArea);

    // Status bar: message pane and the three lock indicators.
    statusBar()->addWidget(new QLabel(Text(res::IDS_IDLE_MESSAGE)), 1);
    const unsigned indicators[3] = {res::ID_INDICATOR_CAPS, res::ID_INDICATOR_NUM,
                                    res::ID_INDICATOR_SCRL};
    for (int i = 0; i < 3; ++i) {
        m_pLockPanes[i] = new QLabel(Text(indicators[i]));
        m_pLockPanes[i]->setFrameShape(QFrame::StyledPanel);
        statusBar()->addPermanentWidget(m_pLockPanes[i]);
    }
    UpdateLockPanes();
    // A lock can change while another program has the keyboard: look now and then.
    auto* lockTimer = new QTimer(this);
    connect(lockTimer, &QTimer::timeout, this, &CMainFrame::UpdateLockPanes);
    lockTimer->start(250);

    OnCommand(res::ID_VIEW_PREVIEW, [this] { ToggleFrame(m_pPreviewFrame); });
    OnCommand(res::ID_VIEW_PROJECT, [this] { ToggleFrame(m_pProjectFrame); });
    OnUpdate(res::ID_VIEW_PREVIEW, [this](CCmdUI& ui) { ui.SetCheck(Showing(m_pPreviewFrame)); });
    OnUpdate(res::ID_VIEW_PROJECT, [this](CCmdUI& ui) { ui.SetCheck(Showing(m_pProjectFrame)); });
    // The main frame has no toolbar of its own: the item toggles the child windows' toolbars.
    OnCommand(res::ID_VIEW_TOOLBAR, [this] {
        bool show = !m_pPreviewFrame->ToolBar()->isVisible();
        m_pPreviewFrame->ToolBar()->setVisible(show);
        m_pProjectFrame->ToolBar()->setVisible(show);
    });
    OnUpdate(res::ID_VIEW_TOOLBAR,
             [this](CCmdUI& ui) { ui.SetCheck(!m_pPreviewFrame->ToolBar()->isHidden()); });
    OnCommand(res::ID_VIEW_STATUS_BAR,
              [this] { statusBar()->setVisible(statusBar()->isHidden()); });
    OnUpdate(res::ID_VIEW_STATUS_BAR,
             [this](CCmdUI& ui) { ui.SetCheck(!statusBar()->isHidden()); });
    OnCommand(res::ID_HELP_FINDER, [this] {
        if (m_onHelp) {
            m_onHelp();
        }
    });

    OnCommand(res::ID_EDIT_PLACEMENT, [this] { OpenPlacementDialog(std::nullopt); });
    OnUpdate(res::ID_EDIT_PLACEMENT,
             [this](CCmdUI& ui) { ui.Enable(m_doc.GetSourceFrame() || m_doc.GetTargetFrame()); });

    RegisterScanCommands();
    m_pRecentPictures = std::make_unique<CRecentFiles>(m_strProfile, "Picture");
    m_pRecentProjects = std::make_unique<CRecentFiles>(m_strProfile, "Project");
    m_doc.SetRecentFiles(m_pRecentPictures.get(), m_pRecentProjects.get());
    BuildMenus();

    // Project window: Source and Target panes side by side.
    m_pProjectFrame = new CProjectFrame(*this);
    m_pMdiArea->addSubWindow(m_pProjectFrame);
    m_pProjectFrame->show();
    m_pProjectFrame->PlaceInArea(QRect(0, 0, 640, 320));

    // Preview window, created last and therefore the active one.
    m_pPreviewFrame = new CMyFramePreview(*this);
    m_pMdiArea->addSubWindow(m_pPreviewFrame);
    m_pPreviewFrame->show();
    m_pMdiArea->setActiveSubWindow(m_pPreviewFrame);

    // Toolbars follow the document after every batch of events.
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &CMainFrame::UpdateCommandUI);
    }
    UpdateCommandUI();
}

CMainFrame::~CMainFrame() {
    SavePreviewPlacement();
    m_doc.SetRecentFiles(nullptr, nullptr);
}

void CMainFrame::ApplyPreviewPlacement() {
    // The frame area must have its size before the placement is centred in it.
    if (layout()) {
        layout()->activate();
    }
    m_pPreviewFrame->ApplyPlacement(m_strProfile);
    // Active and on top, also once the window manager activates the frame: activation gives
    // the keyboard to the frame's focus widget, else to the first pane of the Project window.
    m_pPreviewFrame->raise();
    m_pMdiArea->setActiveSubWindow(m_pPreviewFrame);
    m_pPreviewFrame->View()->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::SavePreviewPlacement() {
    if (!m_bPlacementSaved && m_pPreviewFrame) {
        m_pPreviewFrame->SavePlacement(m_strProfile);
        m_bPlacementSaved = true;
    }
}

void CMainFrame::BuildMenus() {
    std::function<void(QMenu*, const std::vector<res::MenuItem>&)> fill =
        [&](QMenu* menu, const std::vector<res::MenuItem>& items) {
            for (const auto& item : items) {
                if (item.IsPopup()) {
                    fill(menu->addMenu(QString::fromStdString(item.text)), item.children);
                } else if (item.IsSeparator()) {
                    menu->addSeparator();
                } else {
                    QAction* action = m_pActions->Get(item.id);
                    action->setText(QString::fromStdString(item.text));
                    menu->addAction(action);
                }
            }
            connect(menu, &QMenu::aboutToShow, this, [this, menu] {
                for (QAction* action : menu->actions()) {
                    if (!action->isSeparator() && !action->menu()) {
                        m_pActions->Update(action);
                    }
                }
            });
        };
    for (const auto& top : res::MainMenu()) {
        QMenu* menu = menuBar()->addMenu(QString::fromStdString(top.text));
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::OnInitMenu);
        fill(menu, top.children);
    }
    for (int i = 0; i < 2; ++i) {
        for (QMenu* menu : menuBar()->findChildren<QMenu*>()) {
            if (menu->actions().contains(m_pActions->Get(kScanBases[i]))) {
                m_pScanMenus[i] = menu;
                // Cameras come and go: looked for each time the submenu opens.
                connect(menu, &QMenu::aboutToShow, this, [this, i] { UpdateCameraItem(i); });
            }
        }
    }
    const unsigned recentNone[2] = {res::ID_RECENT_PICTURES_NONE, res::ID_RECENT_PROJECTS_NONE};
    for (int i = 0; i < 2; ++i) {
        for (QMenu* menu : menuBar()->findChildren<QMenu*>()) {
            if (menu->actions().contains(m_pActions->Get(recentNone[i]))) {
                m_pRecentMenus[i] = menu;
                connect(qobject_cast<QMenu*>(menu->parent()), &QMenu::aboutToShow, this,
                        &CMainFrame::FillRecentMenus, Qt::UniqueConnection);
            }
        }
    }
    // A command may have several keys (Redo: Ctrl+Y and Ctrl+Shift+Z); the first is shown.
    std::map<unsigned, QList<QKeySequence>> keys;
    for (const auto& accel : res::Accelerators()) {
        keys[accel.id].append(QKeySequence(QString::fromLatin1(accel.keys)));
    }
    for (const auto& [id, sequences] : keys) {
        QAction* action = m_pActions->Get(id);
        action->setShortcuts(sequences);
        addAction(action);
    }
}

QWidget* CMainFrame::PreviewView() const {
    return m_pPreviewFrame ? m_pPreviewFrame->View() : nullptr;
}

std::vector<CCmdTarget*> CMainFrame::Chain() {
    auto* frame = dynamic_cast<CMyFrameWnd*>(m_pMdiArea->currentSubWindow());
    std::vector<CCmdTarget*> chain{&m_doc};
    if (frame) {
        chain.push_back(frame->ActiveView());
        chain.push_back(frame);
    }
    chain.push_back(this);
    chain.push_back(&m_app);
    return chain;
}

void CMainFrame::UpdateCommandUI() {
    m_pActions->UpdateAll();
    for (QMdiSubWindow* sub : m_pMdiArea->subWindowList()) {
        if (auto* frame = dynamic_cast<CMyFrameWnd*>(sub); frame && frame->ToolBarActions()) {
            frame->ToolBarActions()->UpdateAll();
        }
    }
    if (m_pPreviewFrame && m_pPreviewFrame->Slider()) {
        m_pPreviewFrame->Slider()->setEnabled(m_doc.BothLoaded());
    }
    // While marking the status bar says which point to click next, over any passing caption.
    const QString prompt = QString::fromStdString(m_doc.MarkingPrompt());
    if (!prompt.isEmpty() && statusBar()->currentMessage() != prompt) {
        statusBar()->showMessage(prompt);
    } else if (prompt.isEmpty() && !m_strMarkingPrompt.isEmpty() &&
               statusBar()->currentMessage() == m_strMarkingPrompt) {
        statusBar()->clearMessage();
    }
    m_strMarkingPrompt = prompt;
}

void CMainFrame::UpdateAllViews() {
    for (QMdiSubWindow* sub : m_pMdiArea->subWindowList()) {
        sub->widget()->update();
        for (QWidget* w : sub->widget()->findChildren<QWidget*>()) {
            w->update();
        }
    }
}

void CMainFrame::OpenPlacementDialog(std::optional<ESlot> slot) {
    if (!m_doc.GetSourceFrame() && !m_doc.GetTargetFrame()) {
        return;
    }
    CFocusReturn focus;
    CPlacementDlg dialog(m_doc, this);
    if (slot && m_doc.GetFrame(*slot)) {
        dialog.ZoomEdit(*slot)->setFocus();
        dialog.ZoomEdit(*slot)->selectAll();
    }
    dialog.exec();
    m_pActions->UpdateAll();
}

void CMainFrame::NewChild() {
    auto* child = new CChildFrame(*this);
    m_pMdiArea->addSubWindow(child);
    child->show();
    child->View()->setFocus();
}

void CMainFrame::UpdateLockPanes() {
    // Greyed where the window system cannot tell.
    const LockStates states = ReadLockStates().value_or(LockStates{});
    const bool on[3] = {states.caps, states.num, states.scroll};
    for (int i = 0; i < 3; ++i) {
        m_pLockPanes[i]->setEnabled(on[i]);
    }
}

void CMainFrame::ToggleFrame(CMyFrameWnd* frame) {
    if (!frame) {
        return;
    }
    if (Showing(frame)) {
        frame->hide();
        return;
    }
    if (frame->isMinimized()) {
        frame->showNormal();
    } else {
        frame->show();
    }
    frame->raise();
    m_pMdiArea->setActiveSubWindow(frame);
}

// ---- Recent files ----

namespace {

// "&1 name.png": the full path goes to the status bar.
QString RecentText(size_t index, const std::string& path) {
    const QString name = QString::fromStdString(std::filesystem::path(path).filename().string());
    return QStringLiteral("&%1 %2").arg(index + 1).arg(QString(name).replace('&', "&&"));
}

} // namespace

void CMainFrame::FillRecentMenus() {
    const CRecentFiles* lists[2] = {m_pRecentPictures.get(), m_pRecentProjects.get()};
    const unsigned none[2] = {res::ID_RECENT_PICTURES_NONE, res::ID_RECENT_PROJECTS_NONE};
    const unsigned noneText[2] = {res::IDS_NO_RECENT_PICTURES, res::IDS_NO_RECENT_PROJECTS};
    for (int i = 0; i < 2; ++i) {
        QMenu* menu = m_pRecentMenus[i];
        if (!menu) {
            continue;
        }
        // The commands' actions stay with the command table; the entry submenus go.
        for (QMenu* entry : menu->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) {
            delete entry;
        }
        menu->clear();
        const std::vector<std::string> paths = lists[i]->Paths();
        if (paths.empty()) {
            QAction* action = m_pActions->Get(none[i]);
            action->setText(Text(noneText[i]));
            menu->addAction(action);
        }
        for (size_t n = 0; n < paths.size() && n < res::RECENT_FILE_COUNT; ++n) {
            const QString path = QString::fromStdString(paths[n]);
            if (i == 1) {
                QAction* action = m_pActions->Get(res::ID_RECENT_PROJECT_FIRST + n);
                action->setText(RecentText(n, paths[n]));
                action->setStatusTip(path);
                menu->addAction(action);
                continue;
            }
            // A picture goes into the slot the user picks from the entry.
            QMenu* entry = menu->addMenu(RecentText(n, paths[n]));
            entry->menuAction()->setStatusTip(path);
            for (const auto& [first, text] :
                 {std::pair{res::ID_RECENT_SOURCE_FIRST, res::IDS_RECENT_INTO_SOURCE},
                  std::pair{res::ID_RECENT_TARGET_FIRST, res::IDS_RECENT_INTO_TARGET}}) {
                QAction* action = m_pActions->Get(first + n);
                action->setText(Text(text));
                entry->addAction(action);
            }
        }
        for (QAction* action : menu->actions()) {
            if (!action->menu()) {
                m_pActions->Update(action);
            }
        }
    }
}

// ---- Scanners ----

namespace {

// A Scan submenu as menu items, and back: both hold only command items and separators.
std::vector<res::MenuItem> MenuItems(const QMenu& menu) {
    std::vector<res::MenuItem> items;
    for (QAction* action : menu.actions()) {
        items.push_back(
            action->isSeparator()
                ? res::MenuItem{}
                : res::MenuItem{action->text().toStdString(), action->data().toUInt(), {}});
    }
    return items;
}

void SetMenuItems(QMenu& menu, const std::vector<res::MenuItem>& items, CCommandActions& actions) {
    for (QAction* action : menu.actions()) {
        menu.removeAction(action);
        if (action->isSeparator()) {
            delete action; // the menu's own
        }
    }
    for (const res::MenuItem& item : items) {
        if (item.IsSeparator()) {
            menu.addSeparator();
        } else {
            QAction* action = actions.Get(item.id);
            action->setText(QString::fromStdString(item.text));
            menu.addAction(action);
        }
    }
}

} // namespace

void CMainFrame::RegisterScanCommands() {
    OnCommandRange(res::ID_SCAN_SOURCE_FIRST, res::ID_SCAN_TARGET_LAST, [this](unsigned id) {
        const std::optional<ScanCommand> scan = DecodeScanCommand(id);
        if (!scan || !m_pTwainDevices) {
            return;
        }
        // A refused scan (another one is running) leaves the slot of the running one.
        const bool previous = m_bScanToSource;
        m_bScanToSource = scan->toSource;
        if (!m_pTwainDevices->Acquire(scan->device)) {
            m_bScanToSource = previous;
        }
    });
    OnUpdateRange(res::ID_SCAN_SOURCE_FIRST, res::ID_SCAN_TARGET_LAST, [this](CCmdUI& ui) {
        ui.Enable(m_pTwainDevices && ScanItemsEnabled(m_pTwainDevices->Names().size()));
    });
    OnCommand(res::ID_CAMERA_SOURCE, [this] { OnCamera(ESlot::Source); });
    OnCommand(res::ID_CAMERA_TARGET, [this] { OnCamera(ESlot::Target); });
    OnCommand(res::ID_SCAN_ADD_DEVICE, [this] { OnAddDevice(); });
    OnUpdate(res::ID_SCAN_ADD_DEVICE,
             [this](CCmdUI& ui) { ui.Enable(m_pTwainDevices != nullptr); });
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_doc.CanClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void CMainFrame::SetTwainDevices(CTwainDevices* devices) {
    m_pTwainDevices = devices;
    if (devices) {
        // The Scan submenus show no device until the list is in; then they are filled again.
        devices->SetOnLoaded([this] {
            if (m_bTwainMenuBuilt) {
                ClearTwainMenus();
                FillTwainMenus();
            }
        });
    }
}

void CMainFrame::OnInitMenu() {
    // The menu bar holds both Scan submenus whenever they were found at its creation.
    if (!m_bTwainMenuBuilt && m_pScanMenus[0] && m_pScanMenus[1]) {
        FillTwainMenus();
    }
}

void CMainFrame::FillTwainMenus() {
    static const std::vector<std::string> none;
    const std::vector<std::string>& names = m_pTwainDevices ? m_pTwainDevices->Names() : none;
    for (int i = 0; i < 2; ++i) {
        SetMenuItems(*m_pScanMenus[i],
                     FillScanMenu(MenuItems(*m_pScanMenus[i]), names, kScanBases[i]), *m_pActions);
    }
    m_bTwainMenuBuilt = true;
    for (QMenu* menu : m_pScanMenus) {
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) {
                m_pActions->Update(action);
            }
        }
    }
}

void CMainFrame::ClearTwainMenus() {
    for (int i = 0; i < 2; ++i) {
        if (m_pScanMenus[i]) {
            SetMenuItems(*m_pScanMenus[i],
                         ClearScanMenu(MenuItems(*m_pScanMenus[i]), kScanBases[i]), *m_pActions);
        }
    }
    m_bTwainMenuBuilt = false;
}

void CMainFrame::OnAddDevice() {
    if (!m_pTwainDevices) {
        return;
    }
    CFocusReturn focus;
    CTwainDeviceDlg dialog(m_ui, m_pTwainDevices->AvailableSources(), m_pTwainDevices->Names(),
                           this);
    dialog.SetLibrary(&m_pTwainDevices->Library());
    // The dialog opens on the last listing and shows a fresh one when it is in.
    auto open = std::make_shared<bool>(true);
    m_pTwainDevices->Relist([this, open, &dialog] {
        if (*open) {
            dialog.SetAvailable(m_pTwainDevices->AvailableSources());
        }
    });
    const int result = dialog.exec();
    *open = false;
    if (result == QDialog::Accepted) {
        m_pTwainDevices->SetNames(dialog.m_selected);
    }
    ClearTwainMenus();
}

void CMainFrame::UpdateCameraItem(int index) {
    QMenu* menu = m_pScanMenus[index];
    QAction* item = m_pActions->Get(kCameraIds[index]);
    const bool present = !CCameraDlg::Cameras().isEmpty();
    if (present == menu->actions().contains(item)) {
        return;
    }
    if (!present) {
        menu->removeAction(item);
        return;
    }
    item->setText(Text(res::IDS_CAMERA_ITEM));
    QAction* separator = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            separator = action;
            break;
        }
    }
    menu->insertAction(separator, item);
    m_pActions->Update(item);
}

void CMainFrame::OnCamera(ESlot slot) {
    CFocusReturn focus;
    CCameraDlg dialog(m_ui, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (std::unique_ptr<CDibImage> picture = dialog.TakePicture()) {
        m_doc.AddAcquiredPicture(slot, std::move(picture), {}, dialog.CameraName());
    }
}

void CMainFrame::OnTwainMessage(const std::string& path) {
    m_strTwainFile = path;
    m_doc.AddTwainFile(m_strTwainFile, m_bScanToSource);
}

} // namespace vx::ui
