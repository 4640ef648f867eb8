// The application object: the one document, start-up and exit.
#pragma once

#include "base/CmdTarget.h"
#include "document/KeltDoc.h"
#include "ui/QtPlatform.h"

#include <QPointer>
#include <QTextBrowser>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;

namespace vx::ui {
class CMainFrame;
}

namespace vx {

class CTwainDevices;

class CKeltApp : public CCmdTarget {
public:
    // `profilePath` empty: the settings file beside the program (or the user's config folder).
    explicit CKeltApp(std::string profilePath = {});
    ~CKeltApp() override;

    // False ends the program.
    bool InitInstance();
    void ExitInstance();
    // Files named on the command line, once the main frame is up: a project, or the source
    // and the target picture.
    void OpenFiles(const std::vector<std::string>& files);
    // Every help request opens the help page.
    void WinHelp();

    CKeltDoc& Doc() { return m_doc; }
    ui::CQtPlatform& Platform() { return m_platform; }
    ui::CMainFrame* MainFrame() { return m_pMainFrame.get(); }
    // The help window opened last.
    QTextBrowser* HelpWindow() { return m_pDialogHelp ? m_pDialogHelp.get() : m_pHelp.get(); }
    // The scanner device manager; null before start-up and after exit.
    CTwainDevices* TwainDevices() { return m_pTwain.get(); }
    const std::string& ProfilePath() const { return m_strProfileName; }

    // Whether movie frames can be read; replaceable for tests.
    std::function<bool()> m_videoProbe;
    // Where the settings go when the settings file cannot be used; replaceable for tests.
    std::string m_strConfigBase;

private:
    std::string m_strProfileName;
    ui::CQtPlatform m_platform; // outlives the document, which stops its timer through it
    CKeltDoc m_doc;
    std::unique_ptr<ui::CMainFrame> m_pMainFrame;
    std::unique_ptr<QTextBrowser> m_pHelp;
    // Asked for from a modal dialog: that dialog's own window, which goes with it.
    QPointer<QTextBrowser> m_pDialogHelp;
    std::unique_ptr<CTwainDevices> m_pTwain; // goes before the main frame, its scan dialog's parent
    std::unique_ptr<QObject> m_pScannerFilter; // offers every event to the acquisition first
};

} // namespace vx
