// What this program keeps in a project file beside the four keys the morphing product reads:
// where each slot's picture came from and how it was placed, so that a reopened project goes on
// framing the originals instead of the saved crops.
#pragma once

#include "picture/PictFrame.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vx {

class CProfileFile;

struct SlotFraming {
    std::string original;    // the file the picture was loaded from; empty: none to go back to
    int64_t frameIndex = -1; // the movie frame, 0-based; -1 for an image file
    // The original's size when it was framed: a file since replaced by another picture is no
    // longer the original.
    int width = 0;
    int height = 0;
    // Half the frame's width and height in crop units. A fresh fit can differ from a frame whose
    // aspect changed after loading by the truncations of those changes.
    CPoint extent;
    FramePlacement placement;
};

struct ProjectFraming {
    int aspectX = 1;
    int aspectY = 1;
    SlotFraming source;
    SlotFraming target;
};

// Into a section of our own, leaving every other section as it is. An original whose name the
// file could not keep (a line break) is written as none.
void WriteProjectFraming(CProfileFile& file, const ProjectFraming& framing);
// nullopt when the file has no such section or its aspect is unusable; a slot whose values do
// not read back as numbers comes back without an original.
std::optional<ProjectFraming> ReadProjectFraming(const CProfileFile& file);

// Whether the file's name marks a project (".vpj", any case).
bool IsProjectFileName(const std::string& path);

} // namespace vx
