// The platform seam implemented with Qt.
#pragma once

#include "base/Platform.h"
#include "document/DocumentHost.h"

#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <map>
#include <memory>

namespace vx::ui {

class CMainFrame;

// Both halves of the seam: the services every subsystem may ask for and the document's host.
class CQtPlatform : public IPlatform, public IDocumentHost {
public:
    using MessageHook = std::function<MsgResult(const std::string&, MsgButtons, MsgIcon)>;

    void SetMainFrame(CMainFrame* frame) { m_pMainFrame = frame; }
    using FileDialogHook = std::function<std::optional<FileDialogResult>(const FileDialogOptions&)>;

    // Tests answer message boxes and file dialogs through these instead of modal dialogs.
    void SetMessageHook(MessageHook hook) { m_messageHook = std::move(hook); }
    void SetFileDialogHook(FileDialogHook hook) { m_fileDialogHook = std::move(hook); }

    using IPlatform::MessageBox;
    MsgResult MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                         const std::string& details) override;
    // The details of the last message box, for tests that answer through the hook.
    const std::string& LastMessageDetails() const { return m_strLastDetails; }
    std::optional<FileDialogResult> FileDialog(const FileDialogOptions& options) override;
    void Beep() override;
    void SetMainTitle(const std::string& title) override;
    void SetTimer(unsigned id, unsigned ms, std::function<void()> onTick) override;
    void KillTimer(unsigned id) override;
    void UpdateAllViews() override;
    std::optional<ViewSize> PreviewViewSize() override;
    void RepaintPreviewView() override;
    int SliderPosition() override;
    bool RunAspectDialog(int& width, int& height) override;
    std::optional<ChosenFrame> RunChooseFrameDialog(const std::string& moviePath) override;
    std::unique_ptr<IProgressDialog> OpenProgressDialog(const std::string& text,
                                                        bool cancelAllowed) override;

    bool TimerRunning(unsigned id) const { return m_timers.count(id) != 0; }

    static QMessageBox::StandardButtons ToQtButtons(MsgButtons buttons);
    static QMessageBox::Icon ToQtIcon(MsgIcon icon);
    static MsgResult FromQt(int button, MsgButtons buttons);
    // "Label (*.a; *.b)|*.a; *.b||" into Qt's "Label (*.a *.b)" entries.
    static QStringList ToQtFilters(const std::string& filter);

private:
    CMainFrame* m_pMainFrame = nullptr;
    MessageHook m_messageHook;
    std::string m_strLastDetails;
    FileDialogHook m_fileDialogHook;
    std::map<unsigned, std::unique_ptr<QTimer>> m_timers;
};

} // namespace vx::ui
