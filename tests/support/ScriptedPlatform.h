// The test double of the platform seam: records every call and answers from a script.
#pragma once

#include "base/Platform.h"
#include "document/DocumentHost.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vx::test {

class ScriptedPlatform : public IPlatform, public IDocumentHost {
public:
    struct Message {
        std::string text;
        MsgButtons buttons;
        MsgIcon icon;
        std::string details;
    };
    struct Timer {
        unsigned ms;
        std::function<void()> onTick;
    };
    struct Progress {
        std::string text;
        bool cancelAllowed = false;
        int updates = 0; // SetProgress calls
        int done = 0;
        int total = 0;
        bool open = true;
    };

    // Script: answers are taken in order; an empty script answers Ok / Cancel (no file).
    std::deque<MsgResult> messageAnswers;
    std::deque<std::optional<FileDialogResult>> fileAnswers;
    std::optional<ViewSize> previewSize;
    int sliderPos = 50;
    // Each answer of the aspect dialog: the terms chosen with OK, or nullopt for Cancel.
    std::deque<std::optional<std::pair<int, int>>> aspectAnswers;
    // Each answer of the Choose Frame dialog: the frame chosen with OK, or nullopt for Cancel.
    std::deque<std::optional<int64_t>> frameAnswers;
    // Runs while each file dialog is open, as its event loop would run a timer or a delivery.
    std::function<void()> whileFileDialog;
    // Cancel is pressed in a progress dialog once it has had this many updates (-1: never).
    int cancelProgressAfter = -1;

    // Record.
    std::vector<Message> messages;
    std::vector<FileDialogOptions> fileDialogs;
    std::vector<std::string> titles;
    std::map<unsigned, Timer> timers; // the running ones
    int timerSets = 0;
    int beeps = 0;
    int allViewUpdates = 0;
    int previewRepaints = 0;
    std::vector<std::pair<int, int>> aspectDialogs; // the terms each dialog opened with
    std::vector<std::string> chooseFrameDialogs;    // the movie each dialog opened on
    std::deque<Progress> progressDialogs;           // every one opened, in order

    using IPlatform::MessageBox;
    MsgResult MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                         const std::string& details) override;
    std::optional<FileDialogResult> FileDialog(const FileDialogOptions& options) override;
    void Beep() override { ++beeps; }
    void SetMainTitle(const std::string& title) override { titles.push_back(title); }
    void SetTimer(unsigned id, unsigned ms, std::function<void()> onTick) override;
    void KillTimer(unsigned id) override { timers.erase(id); }
    void UpdateAllViews() override { ++allViewUpdates; }
    std::optional<ViewSize> PreviewViewSize() override { return previewSize; }
    void RepaintPreviewView() override { ++previewRepaints; }
    int SliderPosition() override { return sliderPos; }
    bool RunAspectDialog(int& width, int& height) override;
    std::optional<ChosenFrame> RunChooseFrameDialog(const std::string& moviePath) override;
    std::unique_ptr<IProgressDialog> OpenProgressDialog(const std::string& text,
                                                        bool cancelAllowed) override;

    bool TimerRunning(unsigned id) const { return timers.count(id) != 0; }
    // Fires timer `id` once, as the event loop would; false when it is not running.
    bool FireTimer(unsigned id);
    // Fires timer `id` until it stops itself (at most `limit` ticks); the number of ticks.
    int RunTimerOut(unsigned id, int limit = 100);
    // Convenience for scripting a chosen file.
    void AnswerFile(const std::string& path, int filterIndex = 0) {
        fileAnswers.push_back(FileDialogResult{path, filterIndex});
    }
    void AnswerNoFile() { fileAnswers.push_back(std::nullopt); }
};

} // namespace vx::test
