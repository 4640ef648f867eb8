#include "support/ScriptedPlatform.h"

#include <filesystem>
#include <tuple>

namespace vx::test {

namespace {

class ScriptedProgress : public IProgressDialog {
public:
    ScriptedProgress(ScriptedPlatform::Progress& record, const int& cancelAfter)
        : m_record(record), m_cancelAfter(cancelAfter) {}
    ~ScriptedProgress() override { m_record.open = false; }
    void SetProgress(int done, int total) override {
        ++m_record.updates;
        m_record.done = done;
        m_record.total = total;
    }
    bool Cancelled() override {
        return m_record.cancelAllowed && m_cancelAfter >= 0 && m_record.updates >= m_cancelAfter;
    }

private:
    ScriptedPlatform::Progress& m_record;
    const int& m_cancelAfter;
};

} // namespace

MsgResult ScriptedPlatform::MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                                       const std::string& details) {
    messages.push_back({text, buttons, icon, details});
    if (messageAnswers.empty()) {
        return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
    }
    MsgResult answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

std::optional<FileDialogResult> ScriptedPlatform::FileDialog(const FileDialogOptions& options) {
    fileDialogs.push_back(options);
    if (whileFileDialog) {
        whileFileDialog();
    }
    if (fileAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    // As the real dialog does: a saved name typed without an extension takes the filter's.
    if (answer && options.save && !answer->path.empty() &&
        std::filesystem::path(answer->path).filename().string().find('.') == std::string::npos) {
        const std::string suffix = options.SuffixFor(answer->filterIndex);
        if (!suffix.empty()) {
            answer->path += "." + suffix;
        }
    }
    return answer;
}

bool ScriptedPlatform::RunAspectDialog(int& width, int& height) {
    aspectDialogs.push_back({width, height});
    if (aspectAnswers.empty() || !aspectAnswers.front()) {
        if (!aspectAnswers.empty()) {
            aspectAnswers.pop_front();
        }
        return false;
    }
    std::tie(width, height) = *aspectAnswers.front();
    aspectAnswers.pop_front();
    return true;
}

std::optional<ChosenFrame> ScriptedPlatform::RunChooseFrameDialog(const std::string& moviePath) {
    chooseFrameDialogs.push_back(moviePath);
    if (frameAnswers.empty()) {
        return std::nullopt;
    }
    const std::optional<int64_t> answer = frameAnswers.front();
    frameAnswers.pop_front();
    if (!answer) {
        return std::nullopt;
    }
    return ChosenFrame{*answer, nullptr};
}

void ScriptedPlatform::SetTimer(unsigned id, unsigned ms, std::function<void()> onTick) {
    ++timerSets;
    timers[id] = Timer{ms, std::move(onTick)};
}

std::unique_ptr<IProgressDialog> ScriptedPlatform::OpenProgressDialog(const std::string& text,
                                                                      bool cancelAllowed) {
    Progress& record = progressDialogs.emplace_back();
    record.text = text;
    record.cancelAllowed = cancelAllowed;
    return std::make_unique<ScriptedProgress>(record, cancelProgressAfter);
}

bool ScriptedPlatform::FireTimer(unsigned id) {
    auto it = timers.find(id);
    if (it == timers.end()) {
        return false;
    }
    auto tick = it->second.onTick; // the callback may kill or replace the timer
    tick();
    return true;
}

int ScriptedPlatform::RunTimerOut(unsigned id, int limit) {
    int ticks = 0;
    while (ticks < limit && FireTimer(id)) {
        ++ticks;
    }
    return ticks;
}

} // namespace vx::test
