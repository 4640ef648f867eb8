#include "document/ProjectFraming.h"

#include "profile/ProfileFile.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>

namespace vx {

namespace {

const char kSection[] = "Vexel Helper";

// Shortest text that reads back as the same double, whatever the locale: a reopened project
// must give the same pixels.
std::string Text(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

template <typename T> bool Parse(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

void WriteSlot(CProfileFile& file, const std::string& slot, const SlotFraming& framing) {
    const bool storable = framing.original.find_first_of("\r\n") == std::string::npos;
    const FramePlacement& p = framing.placement;
    file.SetString(kSection, slot + "Picture", storable ? framing.original : std::string());
    file.SetString(kSection, slot + "FrameIndex", std::to_string(framing.frameIndex));
    file.SetString(kSection, slot + "Width", std::to_string(framing.width));
    file.SetString(kSection, slot + "Height", std::to_string(framing.height));
    file.SetString(kSection, slot + "ExtentX", std::to_string(framing.extent.x));
    file.SetString(kSection, slot + "ExtentY", std::to_string(framing.extent.y));
    file.SetString(kSection, slot + "OffsetX", std::to_string(p.offset.x));
    file.SetString(kSection, slot + "OffsetY", std::to_string(p.offset.y));
    file.SetString(kSection, slot + "Zoom", Text(p.zoom));
    file.SetString(kSection, slot + "Angle", Text(p.angle));
}

SlotFraming ReadSlot(const CProfileFile& file, const std::string& slot) {
    SlotFraming framing;
    const auto get = [&](const char* key) { return file.GetString(kSection, slot + key, ""); };
    FramePlacement& p = framing.placement;
    const bool ok = Parse(get("FrameIndex"), framing.frameIndex) &&
                    Parse(get("Width"), framing.width) && Parse(get("Height"), framing.height) &&
                    Parse(get("ExtentX"), framing.extent.x) &&
                    Parse(get("ExtentY"), framing.extent.y) && Parse(get("OffsetX"), p.offset.x) &&
                    Parse(get("OffsetY"), p.offset.y) && Parse(get("Zoom"), p.zoom) &&
                    Parse(get("Angle"), p.angle);
    // A zoom of 0 or below would leave nothing to frame.
    if (ok && std::isfinite(p.zoom) && p.zoom > 0 && std::isfinite(p.angle)) {
        framing.original = get("Picture");
    }
    return framing;
}

} // namespace

void WriteProjectFraming(CProfileFile& file, const ProjectFraming& framing) {
    file.SetString(kSection, "AspectWidth", std::to_string(framing.aspectX));
    file.SetString(kSection, "AspectHeight", std::to_string(framing.aspectY));
    WriteSlot(file, "Source", framing.source);
    WriteSlot(file, "Target", framing.target);
}

std::optional<ProjectFraming> ReadProjectFraming(const CProfileFile& file) {
    ProjectFraming framing;
    if (!Parse(file.GetString(kSection, "AspectWidth", ""), framing.aspectX) ||
        !Parse(file.GetString(kSection, "AspectHeight", ""), framing.aspectY) ||
        framing.aspectX < 1 || framing.aspectY < 1) {
        return std::nullopt;
    }
    framing.source = ReadSlot(file, "Source");
    framing.target = ReadSlot(file, "Target");
    return framing;
}

bool IsProjectFileName(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return ext == ".vpj";
}

} // namespace vx
