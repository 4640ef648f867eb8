#include "app/KeltApp.h"

#include "profile/SettingsPath.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "res/UiTables.h"
#include "ui/AboutDialog.h"
#include "ui/MainFrame.h"

#include <QTextBrowser>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

// The resources live in a static library: register them before the first icon is loaded.
static void InitResources() {
    Q_INIT_RESOURCE(vexel);
}

namespace vx {

CKeltApp::CKeltApp(std::string profilePath)
    : m_videoProbe(&CKeltApp::MovieDecodingAvailable), m_strProfileName(std::move(profilePath)),
      m_doc(m_platform) {
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

bool CKeltApp::MovieDecodingAvailable() {
    // The demuxers and decoders the movie files of this tool need.
    return av_find_input_format("avi") && av_find_input_format("mpeg") &&
           avcodec_find_decoder(AV_CODEC_ID_MPEG2VIDEO) && avcodec_find_decoder(AV_CODEC_ID_H264);
}

bool CKeltApp::InitInstance() {
    if (m_strProfileName.empty()) {
        m_strProfileName = SettingsFilePath(ProgramPath());
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
    // The scanner device manager is created here once scanning exists.
    return true;
}

void CKeltApp::ExitInstance() {
    // The main frame writes the Preview placement as it goes.
    m_pHelp.reset();
    if (m_pMainFrame) {
        m_pMainFrame->SavePreviewPlacement();
        m_platform.SetMainFrame(nullptr);
        m_pMainFrame.reset();
    }
}

void CKeltApp::WinHelp() {
    if (!m_pHelp) {
        m_pHelp = std::make_unique<QTextBrowser>();
        m_pHelp->setWindowTitle(QString::fromStdString(res::LoadString(res::IDS_APP_TITLE)));
        m_pHelp->setSource(QUrl(QString::fromLatin1(res::kHelpPage)));
        m_pHelp->resize(640, 560);
    }
    m_pHelp->show();
    m_pHelp->raise();
}

} // namespace vx
