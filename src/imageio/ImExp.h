// The image-file component: reads and writes PNG, JPEG, TIFF, WebP and BMP files through three
// callback classes. Every call answers non-zero for success and 0 for failure or nothing chosen.
// Pixels always travel as 24-bit BGR rows (colour mode 16), row 0 the bottom row as displayed;
// rows handed to a reader are padded to a multiple of 4 bytes.
#pragma once

#include <cstdint>
#include <string>

namespace vx {

class IPlatform;

constexpr int kColorModeTrueColor = 16; // 3 bytes a pixel
constexpr int kColorModeIndexed = 4;    // 1 byte a pixel and a 256-entry palette
constexpr int kPathBufferSize = 260;

// Pixel sink of a read. The two leading selector arguments are the component's own.
class CAbstractReadWA {
public:
    virtual ~CAbstractReadWA() = default;
    virtual int Notify(int, int, int) { return 0; }
    virtual int Notify(int, int, int, int) { return 0; }
    virtual int SetSize(int sel1, int sel2, int width, int height) = 0;
    virtual int SetColorMode(int sel1, int sel2, int mode) = 0;
    virtual int NotifyA(int, int, int, int, int, int) { return 0; }
    virtual int NotifyB(int, int, int, int, int, int) { return 0; }
    virtual int PutRow(int sel1, int sel2, int row, const uint8_t* data) = 0;
    // A reader that keeps the rows itself in the layout PutRow hands them in answers true and,
    // once SetSize and SetColorMode are done, gives them through Rows(): the codec then decodes
    // into them and PutRow is not called. Rows() is stored row 0, null when there is no room.
    virtual bool HoldsRows() const { return false; }
    virtual uint8_t* Rows(int& stride) {
        stride = 0;
        return nullptr;
    }
};

// Pixel source of a write. Each operation answers 0 for success. GetRow may be called from
// several threads at once, each for a different row.
class CAbstractWriteWA {
public:
    virtual ~CAbstractWriteWA() = default;
    virtual int GetCount(int& count) = 0;
    virtual int GetSubCount(int sel, int& count) = 0;
    virtual int GetSize(int sel1, int sel2, int& width, int& height) = 0;
    virtual int GetColorMode(int sel1, int sel2, int& mode) = 0;
    virtual int GetPalette(int sel1, int sel2, uint8_t* table) = 0; // 256 entries of 4 bytes
    virtual int GetResolution(int sel1, int sel2, int& x, int& y) = 0;
    virtual int GetRow(int sel1, int sel2, int row, uint8_t* buffer) = 0;
};

class CProgress {
public:
    virtual ~CProgress() = default;
    virtual void Begin() = 0;
    virtual void End() = 0;
    // 0 asks the component to stop.
    virtual int Step(int done, int total) = 0;
};

// Why the last call on this thread failed.
enum class ImExpError {
    None,
    CantRead,  // missing, unreadable, corrupt, truncated or unsupported file
    TooLarge,  // declared size beyond the limits below, or memory exhausted
    Cancelled, // the progress object answered 0
    CantWrite, // the file could not be created or completed
};
ImExpError ImExp_LastError();
// The same in plain words for the user, e.g. "the PNG data is damaged or incomplete"; empty when
// the last call succeeded or nothing more is known.
const std::string& ImExp_LastErrorText();

// The component's one resource budget, checked before anything is allocated: a picture may have
// at most the pixel limit (2^28 by default, far beyond any camera), 2^20 pixels a side and 2 GiB
// of 24-bit raster. When the file's size is known the limit shrinks to what so few bytes can
// plausibly hold, kFreePixels and kPixelsPerFileByte for each byte, since run lengths, lossless
// WebP and arithmetic-coded JPEG let a few bytes stand for any number of pixels.
constexpr int64_t kDefaultPixelLimit = int64_t(1) << 28;
constexpr int64_t kFreePixels = int64_t(1) << 22;
constexpr int64_t kPixelsPerFileByte = 2048;
// The most pixels a file of this size may declare (fileBytes < 0: size unknown).
int64_t ImExp_PixelBudget(int64_t fileBytes = -1);
bool ImExp_SizeAllowed(int64_t width, int64_t height, int64_t fileBytes = -1);
// Why a picture of this size is refused, in words; empty when ImExp_SizeAllowed allows it.
std::string ImExp_SizeRefusal(int64_t width, int64_t height, int64_t fileBytes = -1);
// Changes the pixel limit (tests, the fuzz target); answers the previous one.
int64_t ImExp_SetPixelLimit(int64_t pixels);

// File dialogs; the chosen path is copied into `path` (at most kPathBufferSize - 1 bytes).
int ImExp_SelectFileToRead(IPlatform& owner, char* path);
int ImExp_SelectFileToWrite(IPlatform& owner, int colorMode, char* path);

// The format is found from the file's content, not its name.
int ImExp_ReadFile(CAbstractReadWA* reader, IPlatform* owner, const char* path, int colorMode,
                   CProgress* progress, const char* extraText, int flags);
// The format follows the name's extension (PNG when there is none or it is unknown). The file
// takes the target's name only once complete, so a failed or cancelled write keeps what was
// there; a read-only target is refused.
int ImExp_WriteFile(CAbstractWriteWA* writer, IPlatform* owner, const char* path, int* options,
                    CProgress* progress, const char* extraText, int flags);
int ImExp_SelectFileAndWrite(CAbstractWriteWA* writer, IPlatform& owner, char* path, int* options,
                             CProgress* progress, const char* extraText, int flags);

} // namespace vx
