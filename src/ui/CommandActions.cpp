#include "ui/CommandActions.h"

#include "res/UiTables.h"

#include <QIcon>

namespace vx::ui {

CCommandActions::CCommandActions(CCommandRouter::Chain chain, IPlatform& ui, QObject* parent)
    : QObject(parent), m_router(std::move(chain), ui) {}

QAction* CCommandActions::Get(unsigned id) {
    if (auto it = m_actions.find(id); it != m_actions.end()) {
        return it->second;
    }
    auto* action = new QAction(QString::fromStdString(res::CommandTooltip(id)), this);
    action->setData(id);
    action->setStatusTip(QString::fromStdString(res::CommandPrompt(id)));
    action->setToolTip(QString::fromStdString(res::CommandTooltip(id)));
    std::string image = res::ButtonImage(id);
    if (!image.empty()) {
        action->setIcon(QIcon(QString::fromStdString(image)));
    }
    connect(action, &QAction::triggered, this, [this, id] { Execute(id); });
    m_actions[id] = action;
    return action;
}

bool CCommandActions::Execute(unsigned id) {
    bool handled = m_router.Execute(id);
    UpdateAll();
    return handled;
}

void CCommandActions::Update(QAction* action) {
    CCmdUI ui = m_router.Update(action->data().toUInt());
    action->setEnabled(ui.m_bEnabled);
    // Only a checked item shows the check indicator, as in the menus of the first design.
    action->setCheckable(ui.m_bChecked);
    action->setChecked(ui.m_bChecked);
    if (ui.m_strText) {
        const QString text = action->text();
        const qsizetype tab = text.indexOf('\t');
        action->setText(QString::fromStdString(*ui.m_strText) +
                        (tab < 0 ? QString() : text.mid(tab)));
    }
}

void CCommandActions::UpdateAll() {
    for (auto& [id, action] : m_actions) {
        Update(action);
    }
}

} // namespace vx::ui
