// What the document asks of the window that hosts it: its views, the Preview, the blend slider,
// the title and the two modal dialogs of its commands. Only the document calls these.
#pragma once

#include "picture/DibImage.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vx {

struct ViewSize {
    int width = 0;
    int height = 0;
};

// What the Choose Frame dialog answers on OK: the 0-based frame and, when the dialog kept it,
// the frame's picture as it was shown (null: the document reads the frame itself).
struct ChosenFrame {
    int64_t frame = 0;
    std::unique_ptr<CDibImage> picture;
};

class IDocumentHost {
public:
    virtual ~IDocumentHost() = default;

    virtual void SetMainTitle(const std::string& title) = 0;

    // Views of the one document.
    virtual void UpdateAllViews() = 0;
    // Client size of the first Preview view; nullopt when there is none.
    virtual std::optional<ViewSize> PreviewViewSize() = 0;
    // Invalidates the whole Preview view without erasing and repaints it at once.
    virtual void RepaintPreviewView() = 0;
    // The main frame's blend slider position, 0 ... 100.
    virtual int SliderPosition() = 0;

    // The aspect-ratio dialog opened on width : height; false unless closed with OK, which
    // leaves the chosen terms (each 1 ... 10000) in width and height.
    virtual bool RunAspectDialog(int& width, int& height) = 0;

    // The Choose Frame dialog on a movie: the frame chosen with OK, nullopt otherwise.
    // A movie that cannot be opened is reported by the dialog, once, and the dialog closes.
    virtual std::optional<ChosenFrame> RunChooseFrameDialog(const std::string& moviePath) = 0;
};

} // namespace vx
