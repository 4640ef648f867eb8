// Menus, accelerators, toolbars and dialog texts as plain tables; the Qt side builds its
// actions, menu bar and toolbars from them.
#pragma once

#include <string>
#include <vector>

namespace res {

// A menu entry: a popup when it has children, a separator when its text is empty, otherwise a
// command item. The text keeps the mnemonic '&' and the shortcut text after a tab.
struct MenuItem {
    std::string text;
    unsigned id = 0;
    std::vector<MenuItem> children;

    bool IsPopup() const { return !children.empty(); }
    bool IsSeparator() const { return text.empty() && children.empty(); }
};

// The main menu (resource 128): the top-level popups in order.
const std::vector<MenuItem>& MainMenu();

struct Accelerator {
    const char* keys; // portable key text, e.g. "Ctrl+Z"
    unsigned id;
};

// The accelerator table (resource 128).
const std::vector<Accelerator>& Accelerators();

// Toolbar `id` (128 Preview, 140 Project): command ids in order, 0 for a separator.
const std::vector<unsigned>& ToolBar(unsigned id);

// The Qt resource path of a command's 16 x 16 button image; empty when it has none.
std::string ButtonImage(unsigned id);
// The Qt resource path of icon `id` (128 application, 131 Preview, 144 Project).
std::string IconImage(unsigned id);

// The string-table entry that holds the prompt of command `id` (the scan ranges share one).
unsigned PromptStringId(unsigned id);
// The status-bar prompt and the tooltip of a command: the two halves of its string entry.
std::string CommandPrompt(unsigned id);
std::string CommandTooltip(unsigned id);

// The About dialog (resource 100).
extern const char* const kAboutTitle;
extern const char* const kAboutVersion;
extern const char* const kAboutLine;

// The help page shipped in the Qt resources.
extern const char* const kHelpPage;

} // namespace res
