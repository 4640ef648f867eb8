#include "res/UiTables.h"

#include "res/Resource.h"
#include "res/StringTable.h"

#include <map>

namespace res {

namespace {

MenuItem Item(const char* text, unsigned id) {
    return MenuItem{text, id, {}};
}
MenuItem Separator() {
    return MenuItem{};
}
MenuItem Popup(const char* text, std::vector<MenuItem> children) {
    return MenuItem{text, 0, std::move(children)};
}

} // namespace

const std::vector<MenuItem>& MainMenu() {
    static const std::vector<MenuItem> menu = {
        Popup(
            "&File",
            {
                Popup("&Source",
                      {Item("&Image...\tCtrl+I", ID_SOURCE_IMAGE),
                       Item("&Video...", ID_SOURCE_VIDEO),
                       Popup("&Scan", {Item("No TWAIN devices", ID_SCAN_SOURCE_FIRST), Separator(),
                                       Item("&Add device...", ID_SCAN_ADD_DEVICE)})}),
                Popup("&Target",
                      {Item("&Image...\tCtrl+Shift+I", ID_TARGET_IMAGE),
                       Item("&Video...", ID_TARGET_VIDEO),
                       Popup("&Scan", {Item("No TWAIN devices", ID_SCAN_TARGET_FIRST), Separator(),
                                       Item("&Add device...", ID_SCAN_ADD_DEVICE)})}),
                Separator(),
                Item("&Open project...", ID_FILE_OPEN_PROJECT),
                Popup("Recent &pictures",
                      {Item(LoadString(IDS_NO_RECENT_PICTURES).c_str(), ID_RECENT_PICTURES_NONE)}),
                Popup("Recent pro&jects",
                      {Item(LoadString(IDS_NO_RECENT_PROJECTS).c_str(), ID_RECENT_PROJECTS_NONE)}),
                Separator(),
                Item("Save So&urce As...", ID_FILE_SAVE_SOURCE),
                Item("Save Tar&get As...", ID_FILE_SAVE_TARGET),
                Item("&Export project...", ID_FILE_EXPORT),
                Separator(),
                Item("E&xit\tAlt+F4", ID_APP_EXIT),
            }),
        Popup("&Edit",
              {
                  Item("&Undo\tAlt+Backspace", ID_EDIT_UNDO),
                  Item("Re&do\tCtrl+Y", ID_EDIT_REDO),
                  Separator(),
                  Item("&Zoom\tCtrl+Z", ID_EDIT_ZOOM),
                  Item("&Move\tCtrl+M", ID_EDIT_MOVE),
                  Item("&Rotate\tCtrl+R", ID_EDIT_ROTATE),
                  Separator(),
                  Item("&Source\tCtrl+S", ID_EDIT_SOURCE),
                  Item("&Target\tCtrl+T", ID_EDIT_TARGET),
                  Separator(),
                  Item("&Quick\tCtrl+Q", ID_EDIT_QUICK),
                  Separator(),
                  Item("S&et aspect ratio...", ID_EDIT_ASPECT),
                  Item("&Placement\u2026", ID_EDIT_PLACEMENT),
                  Item("S&wap Source and Target", ID_EDIT_SWAP),
                  Separator(),
                  Item("Align &by points", ID_ALIGN_POINTS),
                  Item("Al&ign target to source", ID_ALIGN_SCENE),
                  Item("Align e&yes", ID_ALIGN_EYES),
                  Item("C&lear alignment points", ID_ALIGN_CLEAR_POINTS),
                  Separator(),
                  Item("Restore &all\tF5", ID_EDIT_RESTORE_ALL),
                  Item("Restore sour&ce", ID_EDIT_RESTORE_SOURCE),
                  Item("Restore tar&get", ID_EDIT_RESTORE_TARGET),
              }),
        Popup("&View",
              {
                  Item("&Toolbar", ID_VIEW_TOOLBAR),
                  Item("&Status bar", ID_VIEW_STATUS_BAR),
                  Item("Show &Preview window", ID_VIEW_PREVIEW),
                  Item("Show Project &window", ID_VIEW_PROJECT),
                  Separator(),
                  Item("&Difference\tCtrl+D", ID_VIEW_DIFFERENCE),
                  Item("&Guides\tCtrl+G", ID_VIEW_GUIDES),
              }),
        Popup("&Help",
              {
                  Item("&Help topics\tF1", ID_HELP_FINDER),
                  Separator(),
                  Item("&About Vexel Helper...", ID_APP_ABOUT),
              }),
    };
    return menu;
}

const std::vector<Accelerator>& Accelerators() {
    // Ctrl+I and Ctrl+Shift+I appear in the menu only; they have no entry here.
    static const std::vector<Accelerator> table = {
        {"Ctrl+Z", ID_EDIT_ZOOM},
        {"Ctrl+M", ID_EDIT_MOVE},
        {"Ctrl+R", ID_EDIT_ROTATE},
        {"Ctrl+S", ID_EDIT_SOURCE},
        {"Ctrl+T", ID_EDIT_TARGET},
        {"Ctrl+Q", ID_EDIT_QUICK},
        {"Ctrl+N", ID_FILE_NEW},
        {"F5", ID_EDIT_RESTORE_ALL},
        {"F1", ID_HELP_FINDER},
        {"Ctrl+D", ID_VIEW_DIFFERENCE},
        {"Ctrl+G", ID_VIEW_GUIDES},
        // Ctrl+Z is the Zoom mode: undo and redo take keys that collide with nothing.
        {"Alt+Backspace", ID_EDIT_UNDO},
        {"Ctrl+Y", ID_EDIT_REDO},
        {"Ctrl+Shift+Z", ID_EDIT_REDO},
    };
    return table;
}

const std::vector<unsigned>& ToolBar(unsigned id) {
    static const std::vector<unsigned> preview = {ID_EDIT_ZOOM,
                                                  ID_EDIT_MOVE,
                                                  ID_EDIT_ROTATE,
                                                  0,
                                                  ID_EDIT_SOURCE,
                                                  ID_EDIT_TARGET,
                                                  0,
                                                  ID_BLEND_SLIDER,
                                                  ID_EDIT_QUICK,
                                                  0,
                                                  ID_VIEW_DIFFERENCE,
                                                  ID_VIEW_GUIDES,
                                                  0,
                                                  ID_ALIGN_POINTS};
    static const std::vector<unsigned> project = {ID_SOURCE_IMAGE, ID_TARGET_IMAGE, 0,
                                                  ID_FILE_SAVE_SOURCE, ID_FILE_SAVE_TARGET};
    static const std::vector<unsigned> none;
    if (id == IDR_MAINFRAME) {
        return preview;
    }
    if (id == IDR_PROJECT_TOOLBAR) {
        return project;
    }
    return none;
}

std::string ButtonImage(unsigned id) {
    static const std::map<unsigned, const char*> images = {
        {ID_EDIT_ZOOM, "zoom"},
        {ID_EDIT_MOVE, "move"},
        {ID_EDIT_ROTATE, "rotate"},
        {ID_EDIT_SOURCE, "edit-source"},
        {ID_EDIT_TARGET, "edit-target"},
        {ID_BLEND_SLIDER, "blend"},
        {ID_EDIT_QUICK, "quick"},
        {ID_VIEW_DIFFERENCE, "difference"},
        {ID_VIEW_GUIDES, "guides"},
        {ID_ALIGN_POINTS, "align-points"},
        {ID_SOURCE_IMAGE, "load-source"},
        {ID_TARGET_IMAGE, "load-target"},
        {ID_FILE_SAVE_SOURCE, "save-source"},
        {ID_FILE_SAVE_TARGET, "save-target"},
    };
    auto it = images.find(id);
    return it == images.end() ? std::string() : std::string(":/icons/") + it->second + ".png";
}

std::string IconImage(unsigned id) {
    switch (id) {
    case IDR_MAINFRAME:
        return ":/icons/app.png";
    case IDI_PREVIEW:
        return ":/icons/preview.png";
    case IDI_PROJECT:
        return ":/icons/project.png";
    default:
        return {};
    }
}

unsigned PromptStringId(unsigned id) {
    if (id >= ID_SCAN_SOURCE_FIRST && id <= ID_SCAN_SOURCE_LAST) {
        return ID_SCAN_SOURCE_FIRST;
    }
    if (id >= ID_SCAN_TARGET_FIRST && id <= ID_SCAN_TARGET_LAST) {
        return ID_SCAN_TARGET_FIRST;
    }
    for (unsigned first :
         {ID_RECENT_PROJECT_FIRST, ID_RECENT_SOURCE_FIRST, ID_RECENT_TARGET_FIRST}) {
        if (id >= first && id < first + RECENT_FILE_COUNT) {
            return first;
        }
    }
    return id;
}

std::string CommandPrompt(unsigned id) {
    const std::string& entry = LoadString(PromptStringId(id));
    return entry.substr(0, entry.find('\n'));
}

std::string CommandTooltip(unsigned id) {
    const std::string& entry = LoadString(PromptStringId(id));
    auto nl = entry.find('\n');
    return nl == std::string::npos ? std::string() : entry.substr(nl + 1);
}

const char* const kAboutTitle = "About Vexel Helper";
// The project's major and minor version, from the build.
const char* const kAboutVersion = "Vexel Helper Version " VEXEL_VERSION_SHORT;
const char* const kAboutLine = "Prepares source and target pictures for Vexel morphing projects";

const char* const kOkButton = "OK";
const char* const kCancelButton = "Cancel";

const char* const kAspectTitle = "Aspect ratio";
const char* const kAspectPrompt = "&Set cropping rectangle proportions\n(width to height ratio):";
const char* const kAspectColon = "&:";
const char* const kAspectPresets[5] = {"&1 : 1", "&3 : 2", "&4 : 3", "16 : &9", "&25 : 16"};

const char* const kChooseFrameTitle = "Choose Frame";
const char* const kChooseFrameFirst = "<<";
const char* const kChooseFramePrevious = "<";
const char* const kChooseFrameNext = ">";
const char* const kChooseFrameLast = ">>";
const char* const kChooseFrameLabel = "Static";

const char* const kTwainDeviceTitle = "Add/remove TWAIN device";
const char* const kTwainAvailable = "A&vailable devices:";
const char* const kTwainSelected = "&Selected devices:";
const char* const kTwainAdd = "&Add >";
const char* const kTwainRemove = "< &Remove";

const char* const kProgressCancel = "&Cancel";

const char* const kHelpPage = "qrc:/help/index.html";

} // namespace res
