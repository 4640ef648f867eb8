// The services any part of the core may ask of the user interface: messages, file dialogs,
// progress, timers and the beep. The calls only the document makes to its host are in
// document/DocumentHost.h. The Qt application implements both; the tests implement both with a
// scripted double.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vx {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Exclamation, Question, Information, Stop };
enum class MsgResult { Ok, Cancel, Yes, No };

struct FileDialogOptions {
    bool save = false;
    std::string title;       // empty: the platform's default
    std::string defaultExt;  // without the dot; appended to a typed name without extension
    std::string initialName; // initial file name or path
    std::string filter;      // bar-separated pairs: "Text (*.x)|*.x|Other (*.y;*.z)|*.y;*.z"
    int filterIndex = 0;     // 0-based entry chosen at first
    bool promptOverwrite = false;
    bool hideReadOnly = false;

    // The suffix a name typed without one takes while filter entry `index` is chosen: the
    // entry's first extension ("*.jpg;*.jpeg" gives "jpg"), else defaultExt.
    std::string SuffixFor(int index) const;
};

struct FileDialogResult {
    std::string path;    // full path, default extension applied
    int filterIndex = 0; // 0-based entry the user left chosen
};

// A modeless progress dialog: a centred text, a bar and a Cancel button. It closes when the
// object is destroyed; a press on Cancel only sets the flag that Cancelled() reports.
class IProgressDialog {
public:
    virtual ~IProgressDialog() = default;
    // The bar at done / total; a total of 0 shows a busy bar.
    virtual void SetProgress(int done, int total) = 0;
    // True once Cancel was pressed; always false when cancelling is not allowed.
    virtual bool Cancelled() = 0;
};

class IPlatform {
public:
    virtual ~IPlatform() = default;

    // `details` goes beneath the text in smaller print, e.g. the file and what was wrong with
    // it; empty: none.
    virtual MsgResult MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                                 const std::string& details) = 0;
    MsgResult MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon) {
        return MessageBox(text, buttons, icon, std::string());
    }
    // nullopt when the user cancels.
    virtual std::optional<FileDialogResult> FileDialog(const FileDialogOptions& options) = 0;
    virtual void Beep() = 0;

    // A window timer of the main window: calls onTick every `ms` milliseconds from the event loop
    // until killed. Setting an id that is already running replaces it.
    virtual void SetTimer(unsigned id, unsigned ms, std::function<void()> onTick) = 0;
    virtual void KillTimer(unsigned id) = 0;

    // Shows a progress dialog; the Cancel button is enabled only when cancelAllowed.
    virtual std::unique_ptr<IProgressDialog> OpenProgressDialog(const std::string& text,
                                                                bool cancelAllowed) = 0;
};

} // namespace vx
