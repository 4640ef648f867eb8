// One QAction per command id, run and updated through a command router.
#pragma once

#include "base/CmdTarget.h"

#include <QAction>
#include <QObject>
#include <map>

namespace vx::ui {

class CCommandActions : public QObject {
    Q_OBJECT
public:
    CCommandActions(CCommandRouter::Chain chain, IPlatform& ui, QObject* parent);

    // The action of `id`, created on first use with the command's prompt, tooltip and image.
    QAction* Get(unsigned id);
    bool Execute(unsigned id);
    // Asks the update handlers for every action and applies enabling and check marks.
    void UpdateAll();
    void Update(QAction* action);
    const std::map<unsigned, QAction*>& Actions() const { return m_actions; }

private:
    CCommandRouter m_router;
    std::map<unsigned, QAction*> m_actions;
};

} // namespace vx::ui
