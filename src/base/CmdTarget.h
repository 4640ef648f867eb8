// A small command layer: targets with handler tables, and a router that offers each command and
// each update request along a chain of targets, the first target first.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vx {

class IPlatform;

// The answer to an update request.
class CCmdUI {
public:
    explicit CCmdUI(unsigned id) : m_nID(id) {}
    void Enable(bool enable = true) { m_bEnabled = enable; }
    void SetCheck(bool check = true) { m_bChecked = check; }
    // A menu item's text of the moment ("Undo Rotate Target"); its shortcut stays.
    void SetText(std::string text) { m_strText = std::move(text); }

    unsigned m_nID;
    bool m_bEnabled = true;
    bool m_bChecked = false;
    std::optional<std::string> m_strText;
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // Runs the command's handler; false when this target has none.
    virtual bool OnCmdMsg(unsigned id);
    // Runs the update handler; false when this target has none.
    virtual bool OnUpdateCmdUI(unsigned id, CCmdUI& ui);
    virtual bool HasCommand(unsigned id) const;

protected:
    void OnCommand(unsigned id, std::function<void()> handler);
    void OnCommandRange(unsigned first, unsigned last, std::function<void(unsigned)> handler);
    void OnUpdate(unsigned id, std::function<void(CCmdUI&)> handler);
    void OnUpdateRange(unsigned first, unsigned last, std::function<void(CCmdUI&)> handler);

private:
    template <class F> struct Range {
        unsigned first;
        unsigned last;
        F handler;
    };
    std::map<unsigned, std::function<void()>> m_commands;
    std::vector<Range<std::function<void(unsigned)>>> m_commandRanges;
    std::map<unsigned, std::function<void(CCmdUI&)>> m_updates;
    std::vector<Range<std::function<void(CCmdUI&)>>> m_updateRanges;
};

class CCommandRouter {
public:
    using Chain = std::function<std::vector<CCmdTarget*>()>;

    // `ui` receives the generic report of an error that leaves a command.
    CCommandRouter(Chain chain, IPlatform& ui) : m_chain(std::move(chain)), m_ui(ui) {}

    // Offers the command along the chain; false when nobody handled it. An exception that
    // leaves the handler is caught here and reported without its code.
    bool Execute(unsigned id);
    // The first update handler on the chain answers; without one, the command is enabled exactly
    // when some target handles it.
    CCmdUI Update(unsigned id);

    static const std::string& GenericFailureText();

private:
    Chain m_chain;
    IPlatform& m_ui;
};

} // namespace vx
