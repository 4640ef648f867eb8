#include "imageio/ImExp.h"

#include "base/AtomicFile.h"
#include "base/Platform.h"
#include "imageio/Codecs.h"
#include "imageio/DibAdapters.h"
#include "picture/DibImage.h"
#include "picture/RowPool.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <unistd.h>

namespace vx {

namespace {

thread_local ImExpError t_lastError = ImExpError::None;
thread_local std::string t_lastErrorText;
std::atomic<int64_t> g_pixelLimit{kDefaultPixelLimit};

// The size a codec last refused during this read, so that the failure can name it.
struct RefusedSize {
    bool set = false;
    int64_t width = 0, height = 0, fileBytes = -1;
};
thread_local RefusedSize t_refused;

int Fail(ImExpError error, std::string text = {}) {
    t_lastError = error;
    t_lastErrorText = std::move(text);
    return 0;
}

// The extension a bare name takes from each entry of the write filter, in the filter's order.
const char* const kWriteExtensions[] = {"png", "jpg", "bmp", "tif", "webp"};

void CopyPath(const std::string& from, char* to) {
    const size_t n = std::min(from.size(), size_t(kPathBufferSize - 1));
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

// Progress of a whole call: Begin now, End on every way out.
class ProgressScope {
public:
    explicit ProgressScope(CProgress* progress) : m_progress(progress) {
        if (m_progress) {
            m_progress->Begin();
        }
    }
    ~ProgressScope() {
        if (m_progress) {
            m_progress->End();
        }
    }
    bool Step(int done, int total) { return !m_progress || m_progress->Step(done, total) != 0; }

private:
    CProgress* m_progress;
};

// The whole file; on failure, why it could not be had.
bool ReadWholeFile(const char* path, std::string& bytes, std::string& why) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = res::FormatString(res::IDS_REASON_CANT_OPEN, {std::strerror(errno)});
        return false;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        why = res::LoadString(res::IDS_REASON_NOT_A_FILE);
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0) {
        why = res::LoadString(size == 0 ? res::IDS_REASON_EMPTY : res::IDS_REASON_NOT_A_FILE);
        return false;
    }
    bytes.reserve(size_t(size));
    AdviseWholeWrite(reinterpret_cast<uint8_t*>(bytes.data()), size_t(size));
    bytes.resize(size_t(size));
    in.seekg(0);
    if (!in.read(bytes.data(), size)) {
        why = res::FormatString(res::IDS_REASON_CANT_READ, {std::strerror(errno)});
        return false;
    }
    return true;
}

// A count as people read it: "268 million", "4.3 million", "65536".
std::string Count(int64_t n) {
    constexpr int64_t kMillion = 1000000;
    if (n < kMillion) {
        return std::to_string(n);
    }
    if (n >= 10 * kMillion) {
        return res::FormatString(res::IDS_MILLION, {std::to_string(n / kMillion)});
    }
    const int64_t tenths = n / (kMillion / 10);
    return res::FormatString(res::IDS_MILLION,
                             {std::to_string(tenths / 10) + "." + std::to_string(tenths % 10)});
}

const char* FormatName(codec::Format format) {
    switch (format) {
    case codec::Format::Png:
        return "PNG";
    case codec::Format::Jpeg:
        return "JPEG";
    case codec::Format::Tiff:
        return "TIFF";
    case codec::Format::WebP:
        return "WebP";
    case codec::Format::Bmp:
        return "BMP";
    case codec::Format::Heif:
        return "HEIF";
    case codec::Format::Jxl:
        return "JPEG XL";
    case codec::Format::Raw:
        return "camera raw";
    case codec::Format::Unknown:
        break;
    }
    return "";
}

// A stream of its own over the file, so that closing it leaves the file open for the commit.
FILE* OpenStream(int fd) {
    const int copy = dup(fd);
    FILE* file = copy >= 0 ? fdopen(copy, "wb") : nullptr;
    if (!file && copy >= 0) {
        close(copy);
    }
    return file;
}

} // namespace

ImExpError ImExp_LastError() {
    return t_lastError;
}

const std::string& ImExp_LastErrorText() {
    return t_lastErrorText;
}

std::string ImExp_SizeRefusal(int64_t width, int64_t height, int64_t fileBytes) {
    const std::string w = std::to_string(width), h = std::to_string(height);
    if (width <= 0 || height <= 0) {
        return res::FormatString(res::IDS_REASON_NO_PIXELS, {w, h});
    }
    if (width > CDibImage::kMaxSide || height > CDibImage::kMaxSide) {
        return res::FormatString(res::IDS_REASON_SIDE_TOO_LONG,
                                 {w, h, std::to_string(CDibImage::kMaxSide)});
    }
    const int64_t limit = g_pixelLimit.load(std::memory_order_relaxed);
    if (width * height > limit) {
        return res::FormatString(res::IDS_REASON_TOO_MANY_PIXELS, {w, h, Count(limit)});
    }
    const int64_t budget = ImExp_PixelBudget(fileBytes);
    if (width * height > budget) {
        return res::FormatString(res::IDS_REASON_TOO_MANY_FOR_FILE,
                                 {w, h, std::to_string(fileBytes), Count(budget)});
    }
    if (uint64_t(CDibImage::StrideFor(int(width))) * uint64_t(height) >
        CDibImage::kMaxRasterBytes) {
        return res::FormatString(res::IDS_REASON_RASTER_TOO_LARGE,
                                 {w, h, std::to_string(CDibImage::kMaxRasterBytes >> 30)});
    }
    return {};
}

int64_t ImExp_PixelBudget(int64_t fileBytes) {
    const int64_t limit = g_pixelLimit.load(std::memory_order_relaxed);
    if (fileBytes < 0) {
        return limit;
    }
    return std::min(limit, kFreePixels + std::min(fileBytes, limit) * kPixelsPerFileByte);
}

bool ImExp_SizeAllowed(int64_t width, int64_t height, int64_t fileBytes) {
    return width > 0 && height > 0 && width <= CDibImage::kMaxSide &&
           height <= CDibImage::kMaxSide && width * height <= ImExp_PixelBudget(fileBytes) &&
           uint64_t(CDibImage::StrideFor(int(width))) * uint64_t(height) <=
               CDibImage::kMaxRasterBytes;
}

int64_t ImExp_SetPixelLimit(int64_t pixels) {
    return g_pixelLimit.exchange(pixels);
}

int ImExp_SelectFileToRead(IPlatform& owner, char* path) {
    FileDialogOptions options;
    options.filter = res::LoadString(res::IDS_IMAGE_READ_FILTER);
    options.initialName = path ? path : "";
    auto chosen = owner.FileDialog(options);
    if (!chosen || chosen->path.empty()) {
        return 0;
    }
    CopyPath(chosen->path, path);
    return 1;
}

int ImExp_SelectFileToWrite(IPlatform& owner, int, char* path) {
    FileDialogOptions options;
    options.save = true;
    options.promptOverwrite = true;
    options.defaultExt = "png";
    options.initialName = path ? path : "";
    options.filter = res::LoadString(res::IDS_IMAGE_WRITE_FILTER);
    auto chosen = owner.FileDialog(options);
    if (!chosen || chosen->path.empty()) {
        return 0;
    }
    std::string chosenPath = chosen->path;
    // A name without a known extension takes the one of the chosen filter entry.
    if (codec::FromExtension(chosenPath) == codec::Format::Unknown) {
        const int index = std::clamp(chosen->filterIndex, 0, int(std::size(kWriteExtensions)) - 1);
        chosenPath += std::string(".") + kWriteExtensions[index];
    }
    CopyPath(chosenPath, path);
    return 1;
}

int ImExp_ReadFile(CAbstractReadWA* reader, IPlatform*, const char* path, int, CProgress* progress,
                   const char*, int) {
    Fail(ImExpError::None);
    t_refused = {};
    if (!reader || !path) {
        return Fail(ImExpError::CantRead);
    }
    ProgressScope scope(progress);
    std::string bytes;
    std::string why;
    if (!ReadWholeFile(path, bytes, why)) {
        return Fail(ImExpError::CantRead, why);
    }
    codec::Decoded image;
    // Decoding is the first half of the progress, handing the rows over the second; rows decoded
    // in the reader's own memory need no handing over, and their decoding takes the whole.
    int64_t lastDone = 0, lastOf = 1;
    bool placed = false;
    auto report = [&] {
        return scope.Step(int(placed ? 2 * lastDone : lastDone), int(2 * lastOf));
    };
    auto step = [&](int done, int total) {
        lastOf = std::max(total, 1);
        lastDone = std::min<int64_t>(done, lastOf);
        return report();
    };
    codec::Result result = codec::Result::Fail;
    codec::Format format = codec::Sniff(bytes, path);
    const bool inPlace = format == codec::Format::Jpeg || format == codec::Format::Png ||
                         format == codec::Format::Tiff;
    if (inPlace && reader->HoldsRows()) {
        image.place = [&](int w, int h, std::ptrdiff_t& pitch) -> uint8_t* {
            reader->SetSize(0, 0, w, h);
            reader->SetColorMode(0, 0, kColorModeTrueColor);
            int stride = 0;
            uint8_t* rows = reader->Rows(stride);
            if (!rows) {
                return nullptr;
            }
            placed = true;
            pitch = -std::ptrdiff_t(stride);
            return rows + std::ptrdiff_t(h - 1) * stride;
        };
    }
    try {
        switch (format) {
        case codec::Format::Png:
            result = codec::DecodePng(bytes, image, step);
            break;
        case codec::Format::Jpeg:
            result = codec::DecodeJpeg(bytes, image, step);
            break;
        case codec::Format::Tiff:
            result = codec::DecodeTiff(path, int64_t(bytes.size()), image, step);
            break;
        case codec::Format::WebP:
            result = codec::DecodeWebP(bytes, image, step);
            break;
        case codec::Format::Bmp:
            result = codec::DecodeBmp(bytes, image, step);
            break;
        case codec::Format::Heif:
            result = codec::DecodeHeif(bytes, image, step);
            break;
        case codec::Format::Jxl:
            result = codec::DecodeJxl(bytes, image, step);
            break;
        case codec::Format::Raw:
            result = codec::DecodeRaw(bytes, image, step);
            break;
        case codec::Format::Unknown:
            // Raw formats without a mark of their own: LibRaw knows them by their layout. Only
            // files that no other codec claimed pay for the attempt.
            result = codec::DecodeRaw(bytes, image, step);
            if (result != codec::Result::Fail) {
                format = codec::Format::Raw;
            }
            break;
        }
        if (result == codec::Result::Ok) {
            // The colours are converted at the end of decoding: progress holds, Cancel still works.
            result = codec::ConvertToSrgb(image, [&](int, int) { return report(); });
        }
    } catch (const std::bad_alloc&) {
        result = codec::Result::TooLarge;
    }
    if (result == codec::Result::Ok && !image.Complete()) {
        result = codec::Result::Fail;
    }
    switch (result) {
    case codec::Result::Ok:
        break;
    case codec::Result::Fail:
        return Fail(ImExpError::CantRead,
                    format == codec::Format::Unknown
                        ? res::LoadString(res::IDS_REASON_UNKNOWN_FORMAT)
                        : res::FormatString(res::IDS_REASON_DAMAGED, {FormatName(format)}));
    case codec::Result::TooLarge:
        // Refused for its size, or the memory ran out once the size was accepted.
        if (t_refused.set) {
            return Fail(ImExpError::TooLarge,
                        ImExp_SizeRefusal(t_refused.width, t_refused.height, t_refused.fileBytes));
        }
        return Fail(ImExpError::TooLarge, image.width > 0
                                              ? res::FormatString(res::IDS_REASON_NO_MEMORY_SIZE,
                                                                  {std::to_string(image.width),
                                                                   std::to_string(image.height)})
                                              : res::LoadString(res::IDS_REASON_NO_MEMORY));
    case codec::Result::Cancelled:
        return Fail(ImExpError::Cancelled, res::LoadString(res::IDS_REASON_CANCELLED));
    }
    if (image.Placed()) {
        scope.Step(int(2 * lastOf), int(2 * lastOf));
        return 1;
    }
    bytes.clear();
    bytes.shrink_to_fit();
    const int w = image.width, h = image.height;
    reader->SetSize(0, 0, w, h);
    reader->SetColorMode(0, 0, kColorModeTrueColor);
    // Rows are handed over padded to 4 bytes, as the picture stores them.
    std::vector<uint8_t> row(size_t(CDibImage::StrideFor(w)), 0);
    const int64_t total = 2 * int64_t(h);
    for (int r = 0; r < h; ++r) {
        // Stored row r is file row h - 1 - r: row 0 is the bottom row.
        std::memcpy(row.data(), image.At(h - 1 - r), size_t(w) * 3);
        reader->PutRow(0, 0, r, row.data());
        if ((r + 1) % codec::kStepRows == 0 && !scope.Step(int(h + int64_t(r) + 1), int(total))) {
            return Fail(ImExpError::Cancelled, res::LoadString(res::IDS_REASON_CANCELLED));
        }
    }
    scope.Step(int(total), int(total));
    return 1;
}

int ImExp_WriteFile(CAbstractWriteWA* writer, IPlatform*, const char* path, int*,
                    CProgress* progress, const char*, int) {
    Fail(ImExpError::None);
    if (!writer || !path || !*path) {
        return Fail(ImExpError::CantWrite);
    }
    int count = 0, sub = 0, w = 0, h = 0, mode = 0, dpiX = 0, dpiY = 0;
    uint8_t palette[256 * 4] = {};
    if (writer->GetCount(count) || writer->GetSubCount(0, sub) || writer->GetSize(0, 0, w, h) ||
        writer->GetColorMode(0, 0, mode) || writer->GetPalette(0, 0, palette) ||
        writer->GetResolution(0, 0, dpiX, dpiY)) {
        return Fail(ImExpError::CantWrite);
    }
    if (!ImExp_SizeAllowed(w, h) || (mode != kColorModeTrueColor && mode != kColorModeIndexed)) {
        return Fail(ImExpError::CantWrite);
    }
    ProgressScope scope(progress);
    // Rows are asked top row first; stored row 0 is the bottom one. Encoders may ask for
    // several at once from the row pool's threads.
    codec::RowFn rows = [&](int fileRow, uint8_t* bgr) {
        if (mode == kColorModeTrueColor) {
            writer->GetRow(0, 0, h - 1 - fileRow, bgr);
            return;
        }
        thread_local std::vector<uint8_t> indexed;
        indexed.resize(size_t(w));
        writer->GetRow(0, 0, h - 1 - fileRow, indexed.data());
        for (int x = 0; x < w; ++x) {
            const uint8_t* e = palette + 4 * indexed[x]; // red, green, blue
            bgr[3 * x] = e[2];
            bgr[3 * x + 1] = e[1];
            bgr[3 * x + 2] = e[0];
        }
    };
    bool cancelled = false;
    codec::StepFn step = [&](int done, int total) {
        if (!scope.Step(done, total)) {
            cancelled = true;
        }
        return !cancelled;
    };

    // The picture goes into a file that takes the target's name only once it is complete.
    CAtomicFile out;
    if (!out.Open(path)) {
        return Fail(ImExpError::CantWrite);
    }
    bool ok = false;
    const codec::Format format = codec::FromExtension(path);
    try {
        if (format == codec::Format::Tiff) {
            ok = codec::EncodeTiff(out.Fd(), w, h, rows, step);
        } else if (FILE* file = OpenStream(out.Fd())) {
            switch (format) {
            case codec::Format::Jpeg:
                ok = codec::EncodeJpeg(file, w, h, rows, step);
                break;
            case codec::Format::Bmp:
                ok = codec::EncodeBmp(file, w, h, rows, step);
                break;
            case codec::Format::WebP:
                ok = codec::EncodeWebP(file, w, h, rows, step);
                break;
            default:
                ok = codec::EncodePng(file, w, h, rows, step);
                break;
            }
            ok = std::fflush(file) == 0 && ok;
            ok = std::fclose(file) == 0 && ok;
        }
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok || !out.Commit()) {
        return Fail(cancelled ? ImExpError::Cancelled : ImExpError::CantWrite);
    }
    return 1;
}

int ImExp_SelectFileAndWrite(CAbstractWriteWA* writer, IPlatform& owner, char* path, int* options,
                             CProgress* progress, const char* extraText, int flags) {
    if (!ImExp_SelectFileToWrite(owner, kColorModeTrueColor, path)) {
        Fail(ImExpError::None);
        return 0;
    }
    return ImExp_WriteFile(writer, &owner, path, options, progress, extraText, flags);
}

namespace codec {

namespace {

std::string LowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

// Raw formats that are plain TIFF to look at: their first directory is a small preview that would
// otherwise pass for the picture.
bool IsRawExtension(const std::string& path) {
    static const char* const kRaw[] = {".dng", ".nef", ".nrw", ".arw", ".srf", ".sr2", ".pef",
                                       ".srw", ".3fr", ".erf", ".kdc", ".dcr", ".mef", ".mos",
                                       ".iiq", ".rwl", ".cr2", ".orf", ".rw2", ".raf", ".cr3"};
    const std::string ext = LowerExtension(path);
    return std::any_of(std::begin(kRaw), std::end(kRaw), [&](const char* e) { return ext == e; });
}

// A DNGVersion tag in the first directory.
bool HasDngVersion(const std::string& b) {
    if (b.size() < 8) {
        return false;
    }
    const bool le = b[0] == 'I';
    auto u = [&](size_t at, int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            const uint32_t byte = uint8_t(b[at + i]);
            v |= le ? byte << (8 * i) : byte << (8 * (n - 1 - i));
        }
        return v;
    };
    const size_t ifd = u(4, 4);
    if (ifd > b.size() - 2) {
        return false;
    }
    const size_t count = u(ifd, 2);
    for (size_t i = 0; i < count && ifd + 2 + 12 * (i + 1) <= b.size(); ++i) {
        if (u(ifd + 2 + 12 * i, 2) == 50706) {
            return true;
        }
    }
    return false;
}

} // namespace

Format Sniff(const std::string& b, const std::string& path) {
    auto starts = [&](const char* magic, size_t n) {
        return b.size() >= n && std::memcmp(b.data(), magic, n) == 0;
    };
    // TIFF-like raw files with a signature of their own (ORF, RW2, CR2).
    if (starts("IIRO", 4) || starts("IIRS", 4) || starts("MMOR", 4) || starts("IIU\0", 4) ||
        (starts("II*\0", 4) && b.size() >= 11 && b.compare(8, 3, "CR\x02") == 0)) {
        return Format::Raw;
    }
    if (b.size() >= 12 && b.compare(4, 4, "ftyp") == 0) {
        // ISO media files: HEIF and AVIF by brand, CR3 raw files by theirs.
        const std::string brand = b.substr(8, 4);
        if (brand == "crx ") {
            return Format::Raw;
        }
        static const char* const kHeifBrands[] = {"heic", "heix", "hevc", "hevx", "heim", "heis",
                                                  "mif1", "msf1", "avif", "avis", "mif2"};
        for (const char* heif : kHeifBrands) {
            if (brand == heif) {
                return Format::Heif;
            }
        }
    }
    if (starts("\xff\x0a", 2) || starts("\0\0\0\x0cJXL \r\n\x87\n", 12)) {
        return Format::Jxl;
    }
    if (starts("\x89PNG\r\n\x1a\n", 8)) {
        return Format::Png;
    }
    if (starts("\xff\xd8\xff", 3)) {
        return Format::Jpeg;
    }
    if (starts("II*\0", 4) || starts("MM\0*", 4)) {
        return IsRawExtension(path) || HasDngVersion(b) ? Format::Raw : Format::Tiff;
    }
    if (b.size() >= 12 && starts("RIFF", 4) && std::memcmp(b.data() + 8, "WEBP", 4) == 0) {
        return Format::WebP;
    }
    if (starts("BM", 2)) {
        return Format::Bmp;
    }
    return Format::Unknown;
}

Format FromExtension(const std::string& path) {
    const std::string ext = LowerExtension(path);
    if (ext == ".png") {
        return Format::Png;
    }
    if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe") {
        return Format::Jpeg;
    }
    if (ext == ".tif" || ext == ".tiff") {
        return Format::Tiff;
    }
    if (ext == ".webp") {
        return Format::WebP;
    }
    if (ext == ".bmp" || ext == ".dib") {
        return Format::Bmp;
    }
    return Format::Unknown;
}

Result Refuse(int64_t width, int64_t height, int64_t fileBytes) {
    t_refused = {true, width, height, fileBytes};
    return Result::TooLarge;
}

Result Admit(Decoded& out, int64_t width, int64_t height, int64_t fileBytes) {
    if (!ImExp_SizeAllowed(width, height, fileBytes)) {
        return Refuse(width, height, fileBytes);
    }
    out.width = int(width);
    out.height = int(height);
    out.bgr.clear();
    return Result::Ok;
}

bool InRowBands(int rows, const std::function<void(int, int)>& body,
                const std::function<bool(int)>& step) {
    const int band = kStepRows * CRowPool::Shared().Threads();
    for (int y = 0; y < rows; y += band) {
        const int n = std::min(band, rows - y);
        CRowPool::Shared().Run(n, [&](int begin, int end) { body(y + begin, y + end); });
        if (!step(y + n)) {
            return false;
        }
    }
    return true;
}

uint8_t* Decoded::Row(int y) noexcept {
    if (place && !m_base) {
        // The rows before an eighth go to a buffer of just that size, then all move to `place`.
        const size_t headRows = (size_t(height) + 7) / 8;
        if (size_t(y) >= headRows) {
            if (!MoveToPlace()) {
                return nullptr;
            }
        } else {
            if (!m_head) {
                m_head.reset(new (std::nothrow) uint8_t[headRows * size_t(width) * 3]);
                if (!m_head) {
                    return nullptr;
                }
            }
            m_rows = std::max(m_rows, size_t(y) + 1);
            return At(y);
        }
    }
    if (m_base) {
        m_rows = std::max(m_rows, size_t(y) + 1);
        return m_base + y * m_pitch;
    }
    const size_t rowBytes = size_t(width) * 3;
    const size_t have = bgr.size() / rowBytes;
    if (size_t(y) >= have) {
        // Doubling keeps the copies few; exact reservations keep it from passing the whole raster.
        // Once an eighth of the rows has come the data is real: room for all of them at once,
        // so that a large picture is neither copied again nor faulted in twice.
        const size_t rows = std::min(size_t(height), std::max(size_t(y) + 1, 2 * have));
        const size_t room = 8 * size_t(y) >= size_t(height) ? size_t(height) : rows;
        try {
            bgr.reserve(room * rowBytes);
            bgr.resize(rows * rowBytes);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    return bgr.data() + size_t(y) * rowBytes;
}

bool Decoded::MoveToPlace() noexcept {
    std::ptrdiff_t pitch = 0;
    uint8_t* base = nullptr;
    try {
        base = place(width, height, pitch);
    } catch (...) {
        base = nullptr;
    }
    if (!base) {
        return false;
    }
    const size_t rowBytes = size_t(width) * 3;
    for (size_t y = 0; y < m_rows; ++y) {
        std::memcpy(base + std::ptrdiff_t(y) * pitch, m_head.get() + y * rowBytes, rowBytes);
    }
    m_head.reset();
    m_base = base;
    m_pitch = pitch;
    return true;
}

} // namespace codec

} // namespace vx
