#include "base/MyException.h"
#include "base/Platform.h"
#include "imageio/DibAdapters.h"
#include "imageio/FileProgress.h"
#include "picture/DibImage.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <cstring>

namespace vx {

CDibImage::CDibImage(IPlatform& ui, const std::string& filePath, bool showProgress)
    : CDibImage(NoRaster{}) {
    std::string path = filePath;
    CFileProgress progress(ui, path, true);
    CDibReadWA reader;
    for (;;) {
        const int ok = ImExp_ReadFile(&reader, nullptr, path.c_str(), kColorModeTrueColor,
                                      showProgress ? &progress : nullptr, nullptr, 1);
        if (ok && reader.HasBuffer()) {
            break;
        }
        reader.FreeBuffer();
        const std::string details = CMyException::FileDetails(
            path, reader.OutOfMemory() ? res::LoadString(res::IDS_REASON_NO_MEMORY)
                                       : ImExp_LastErrorText());
        // A picture too large to hold is a memory problem, not a file to look for elsewhere.
        if (reader.OutOfMemory() || ImExp_LastError() == ImExpError::TooLarge) {
            throw CMyException(3, details);
        }
        if (ui.MessageBox(res::LoadString(res::IDS_LOCATE_FILE), MsgButtons::YesNo,
                          MsgIcon::Exclamation, details) != MsgResult::Yes) {
            throw CMyException(4, details);
        }
        char chosen[kPathBufferSize] = "";
        if (!ImExp_SelectFileToRead(ui, chosen)) {
            throw CMyException(4, details);
        }
        path = chosen;
    }
    const BitmapInfoHeader* h = reader.Header();
    try {
        AllocateRaster(h->biWidth, h->biHeight, false);
    } catch (CMyException& e) {
        e.SetDetails(CMyException::FileDetails(
            path, res::FormatString(res::IDS_REASON_NO_MEMORY_SIZE,
                                    {std::to_string(h->biWidth), std::to_string(h->biHeight)})));
        throw;
    }
    std::memcpy(Bits(), reader.Pixels(), RasterBytes());
    reader.FreeBuffer();
    SetPath(path);
}

} // namespace vx
