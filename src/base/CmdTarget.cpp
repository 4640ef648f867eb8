#include "base/CmdTarget.h"

#include "base/MyException.h"
#include "base/Platform.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <exception>
#include <new>

namespace vx {

bool CCmdTarget::OnCmdMsg(unsigned id) {
    if (auto it = m_commands.find(id); it != m_commands.end()) {
        it->second();
        return true;
    }
    for (auto& range : m_commandRanges) {
        if (id >= range.first && id <= range.last) {
            range.handler(id);
            return true;
        }
    }
    return false;
}

bool CCmdTarget::OnUpdateCmdUI(unsigned id, CCmdUI& ui) {
    if (auto it = m_updates.find(id); it != m_updates.end()) {
        it->second(ui);
        return true;
    }
    for (auto& range : m_updateRanges) {
        if (id >= range.first && id <= range.last) {
            range.handler(ui);
            return true;
        }
    }
    return false;
}

bool CCmdTarget::HasCommand(unsigned id) const {
    if (m_commands.count(id)) {
        return true;
    }
    for (auto& range : m_commandRanges) {
        if (id >= range.first && id <= range.last) {
            return true;
        }
    }
    return false;
}

void CCmdTarget::OnCommand(unsigned id, std::function<void()> handler) {
    m_commands[id] = std::move(handler);
}

void CCmdTarget::OnCommandRange(unsigned first, unsigned last,
                                std::function<void(unsigned)> handler) {
    m_commandRanges.push_back({first, last, std::move(handler)});
}

void CCmdTarget::OnUpdate(unsigned id, std::function<void(CCmdUI&)> handler) {
    m_updates[id] = std::move(handler);
}

void CCmdTarget::OnUpdateRange(unsigned first, unsigned last,
                               std::function<void(CCmdUI&)> handler) {
    m_updateRanges.push_back({first, last, std::move(handler)});
}

const std::string& CCommandRouter::GenericFailureText() {
    return res::LoadString(res::IDS_COMMAND_FAILED);
}

bool CCommandRouter::Execute(unsigned id) {
    try {
        for (CCmdTarget* target : m_chain()) {
            if (target && target->OnCmdMsg(id)) {
                return true;
            }
        }
    } catch (const std::bad_alloc&) {
        m_ui.MessageBox(res::LoadString(res::IDS_COMMAND_NO_MEMORY), MsgButtons::Ok,
                        MsgIcon::Exclamation);
        return true;
    } catch (const CMyException& e) {
        // Not one of the coded reports, but what is known about the failure is still shown.
        m_ui.MessageBox(GenericFailureText(), MsgButtons::Ok, MsgIcon::Exclamation, e.Details());
        return true;
    } catch (const std::exception&) {
        m_ui.MessageBox(GenericFailureText(), MsgButtons::Ok, MsgIcon::Exclamation);
        return true;
    }
    return false;
}

CCmdUI CCommandRouter::Update(unsigned id) {
    CCmdUI ui(id);
    auto chain = m_chain();
    for (CCmdTarget* target : chain) {
        if (target && target->OnUpdateCmdUI(id, ui)) {
            return ui;
        }
    }
    for (CCmdTarget* target : chain) {
        if (target && target->HasCommand(id)) {
            return ui;
        }
    }
    ui.Enable(false);
    return ui;
}

} // namespace vx
