// The platform seam for work done without a window: messages go to standard error, and the
// dialogs a command opens are answered from what the command line said.
#pragma once

#include "base/Platform.h"
#include "document/DocumentHost.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

namespace vx {

class CBatchPlatform : public IPlatform, public IDocumentHost {
public:
    explicit CBatchPlatform(std::FILE* out = stderr) : m_out(out) {}

    // The answers of the next dialogs: the file the next file dialog chooses, the terms of the
    // aspect-ratio dialog, the frame the next Choose Frame dialog picks. Each is taken once.
    void AnswerFile(std::string path) { m_nextFile = std::move(path); }
    void AnswerAspect(int width, int height) { m_aspect = {width, height}; }
    void AnswerFrame(int64_t frame) { m_nextFrame = frame; }

    // How many messages were written.
    int Messages() const { return m_nMessages; }
    // Writes a message as a message box would show it: the text, then the details beneath.
    void Print(const std::string& text, const std::string& details = {});

    using IPlatform::MessageBox;
    // A question is answered No (or Cancel) without being shown: nobody is there to answer it,
    // and what follows from the refusal is reported.
    MsgResult MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                         const std::string& details) override;
    std::optional<FileDialogResult> FileDialog(const FileDialogOptions& options) override;
    void Beep() override {}
    // Nothing is drawn: there is no Preview, so no render needs a tick.
    void SetTimer(unsigned, unsigned, std::function<void()>) override {}
    void KillTimer(unsigned) override {}
    std::unique_ptr<IProgressDialog> OpenProgressDialog(const std::string& text,
                                                        bool cancelAllowed) override;

    void SetMainTitle(const std::string&) override {}
    void UpdateAllViews() override {}
    std::optional<ViewSize> PreviewViewSize() override { return std::nullopt; }
    void RepaintPreviewView() override {}
    int SliderPosition() override { return 50; }
    bool RunAspectDialog(int& width, int& height) override;
    // The answered frame, once the movie opened and was found to have it; otherwise the reason
    // is written and nothing is chosen.
    std::optional<ChosenFrame> RunChooseFrameDialog(const std::string& moviePath) override;

private:
    std::FILE* m_out;
    int m_nMessages = 0;
    std::optional<std::string> m_nextFile;
    std::optional<std::pair<int, int>> m_aspect;
    int64_t m_nextFrame = 0;
};

} // namespace vx
