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

// The buttons that close a dialog.
extern const char* const kOkButton;
extern const char* const kCancelButton;

// The Aspect ratio dialog (resource 139); the presets in the order of their buttons 1011 ... 1015.
extern const char* const kAspectTitle;
extern const char* const kAspectPrompt;
extern const char* const kAspectColon;
extern const char* const kAspectPresets[5];

// The Choose Frame dialog (resource 143); the label's text until the first frame is shown.
extern const char* const kChooseFrameTitle;
extern const char* const kChooseFrameFirst;
extern const char* const kChooseFramePrevious;
extern const char* const kChooseFrameNext;
extern const char* const kChooseFrameLast;
extern const char* const kChooseFrameLabel;

// The Add/remove TWAIN device dialog (resource 164).
extern const char* const kTwainDeviceTitle;
extern const char* const kTwainAvailable;
extern const char* const kTwainSelected;
extern const char* const kTwainAdd;
extern const char* const kTwainRemove;

// The progress dialog (resource 159).
extern const char* const kProgressCancel;

// The help page shipped in the Qt resources.
extern const char* const kHelpPage;

} // namespace res
