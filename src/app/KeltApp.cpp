#include "app/KeltApp.h"

#include "app/CommandLine.h"

#include "movie/DecodingProbe.h"
#include "profile/PrivateProfile.h"
#include "profile/SettingsPath.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "res/UiTables.h"
#include "scanner/TwainDevices.h"
#include "ui/AboutDialog.h"
#include "ui/CommandActions.h"
#include "ui/InstalledFiles.h"
#include "ui/MainFrame.h"
#include "ui/ScreenFit.h"

#include <QApplication>
#include <QTextBrowser>

#include <cstdlib>
#include <filesystem>
#include <iostream>

// The resources live in a static library: register them before the first icon is loaded.
static void InitResources() {
    Q_INIT_RESOURCE(vexel);
}

namespace vx {

namespace {

// Every event goes to the acquisition's message filter before its receiver sees it.
class CScannerFilter : public QObject {
public:
    explicit CScannerFilter(CAcquisition& library) : m_library(library) {}
    bool eventFilter(QObject*, QEvent*) override { return m_library.MessageFilter(); }

private:
    CAcquisition& m_library;
};

} // namespace

CKeltApp::CKeltApp(std::string profilePath)
    : m_videoProbe([] { return MovieDecodingAvailable(); }),
      m_strConfigBase(ConfigBaseFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"))),
      m_strProfileName(std::move(profilePath)), m_doc(m_platform, m_platform) {
    InitResources();
    OnCommand(res::ID_FILE_NEW, [this] { m_pMainFrame->NewChild(); });
    OnCommand(res::ID_APP_ABOUT, [this] {
        ui::CAboutDialog about(m_pMainFrame.get());
        about.exec();
    });
    OnCommand(res::ID_APP_EXIT, [this] { m_pMainFrame->close(); });
}

CKeltApp::~CKeltApp() {
    ExitInstance();
}

bool CKeltApp::InitInstance() {
    if (m_strProfileName.empty()) {
        m_strProfileName = SettingsFilePath(ProgramPath());
    }
    // Chosen afresh at each start from the same facts, so a run reads what the last one wrote.
    std::string note;
    m_strProfileName = UsableSettingsFile(m_strProfileName, m_strConfigBase, note);
    if (!note.empty()) {
        std::cerr << "vexel-helper: " << note << '\n';
    }
    m_pMainFrame = std::make_unique<ui::CMainFrame>(m_doc, *this, m_platform, m_strProfileName,
                                                    [this] { WinHelp(); });
    m_platform.SetMainFrame(m_pMainFrame.get());
    m_pMainFrame->showMaximized();
    m_pMainFrame->ApplyPreviewPlacement();
    m_pMainFrame->repaint();
    if (m_videoProbe && !m_videoProbe()) {
        if (m_platform.MessageBox(res::LoadString(res::IDS_BAD_DIRECTSHOW), MsgButtons::YesNo,
                                  MsgIcon::Exclamation) == MsgResult::No) {
            return false;
        }
    }
    m_pTwain = std::make_unique<CTwainDevices>(
        std::make_unique<CAcquisition>(m_platform),
        [this](const std::string& path) {
            if (m_pMainFrame) {
                m_pMainFrame->OnTwainMessage(path);
            }
        },
        m_strProfileName);
    m_pMainFrame->SetTwainDevices(m_pTwain.get());
    if (qApp) {
        m_pScannerFilter = std::make_unique<CScannerFilter>(m_pTwain->Library());
        qApp->installEventFilter(m_pScannerFilter.get());
    }
    return true;
}

void CKeltApp::ExitInstance() {
    // The main frame writes the Preview placement as it goes; then the device list is saved and
    // SANE closed, while the frame that parents a running scan's dialog still exists.
    m_pHelp.reset();
    TakePrivateProfileError();
    if (m_pMainFrame) {
        m_pMainFrame->SavePreviewPlacement();
    }
    m_pScannerFilter.reset(); // a destroyed filter object is taken off the application
    if (m_pTwain) {
        if (m_pMainFrame) {
            m_pMainFrame->SetTwainDevices(nullptr);
        }
        m_pTwain.reset();
    }
    const std::string error = TakePrivateProfileError();
    if (!error.empty()) {
        std::cerr << "vexel-helper: the settings were not saved: " << error << '\n';
    }
    if (m_pMainFrame) {
        m_platform.SetMainFrame(nullptr);
        m_pMainFrame.reset();
    }
}

void CKeltApp::OpenFiles(const std::vector<std::string>& files) {
    if (files.empty() || !m_pMainFrame) {
        return;
    }
    // Absolute, so that what the recent lists and a project keep still holds elsewhere.
    m_doc.m_filesToOpen.clear();
    for (const std::string& file : files) {
        m_doc.m_filesToOpen.push_back(AbsolutePath(file));
    }
    m_doc.m_slotToOpen = ESlot::Source;
    m_pMainFrame->Actions().Execute(res::ID_OPEN_FILES);
}

void CKeltApp::WinHelp() {
    const auto make = [](QWidget* owner) {
        auto* help = new QTextBrowser(owner);
        help->setWindowFlag(Qt::Window);
        help->setWindowTitle(QString::fromStdString(res::LoadString(res::IDS_APP_TITLE)));
        help->setSource(ui::HelpPageUrl(QCoreApplication::applicationDirPath()));
        help->resize(640, 560);
        return help;
    };
    // A modal dialog blocks every window but its own: from one, the guide is the dialog's window.
    QTextBrowser* help = nullptr;
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (!m_pDialogHelp || m_pDialogHelp->parentWidget() != modal) {
            m_pDialogHelp = make(modal);
        }
        help = m_pDialogHelp.get();
    } else {
        if (!m_pHelp) {
            m_pHelp.reset(make(nullptr));
        }
        help = m_pHelp.get();
        m_pDialogHelp = nullptr;
    }
    ui::KeepOnScreen(*help);
    // Above whatever asked for it, with the keyboard.
    help->show();
    help->raise();
    help->activateWindow();
}

} // namespace vx
