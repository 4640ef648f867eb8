#include "support/ScriptedPlatform.h"

namespace vx::test {

MsgResult ScriptedPlatform::MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon) {
    messages.push_back({text, buttons, icon});
    if (messageAnswers.empty()) {
        return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
    }
    MsgResult answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

std::optional<FileDialogResult> ScriptedPlatform::FileDialog(const FileDialogOptions& options) {
    fileDialogs.push_back(options);
    if (fileAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

void ScriptedPlatform::SetTimer(unsigned id, unsigned ms, std::function<void()> onTick) {
    ++timerSets;
    timers[id] = Timer{ms, std::move(onTick)};
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
