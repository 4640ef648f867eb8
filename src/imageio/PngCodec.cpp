// PNG: read through libpng, with the common 8-bit RGB files inflated whole by libdeflate;
// written by our own writer, whose bands of rows are filtered and compressed in parallel.
// libpng reports errors by longjmp: everything with a destructor lives outside the frames it
// jumps over.
#include "imageio/Codecs.h"
#include "imageio/DibAdapters.h"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <libdeflate.h>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <png.h>
#include <zlib.h>

namespace vx::codec {

namespace {

struct MemoryInput {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t n) {
    auto* in = static_cast<MemoryInput*>(png_get_io_ptr(png));
    if (n > in->size - in->pos) {
        png_error(png, "truncated");
    }
    std::memcpy(out, in->data + in->pos, n);
    in->pos += n;
}

void Quiet(png_structp, png_const_charp) {}
[[noreturn]] void Throw(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

uint32_t BigEndian(const std::string& b, size_t at) {
    return (uint32_t(uint8_t(b[at])) << 24) | (uint8_t(b[at + 1]) << 16) |
           (uint8_t(b[at + 2]) << 8) | uint8_t(b[at + 3]);
}

uint32_t BigEndian(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// The IDAT chunks from `at` on joined, their CRCs checked; false when they do not add up.
bool JoinIdat(const uint8_t* data, size_t size, size_t at, std::string& joined) {
    size_t total = 0;
    for (size_t p = at; p + 8 <= size && std::memcmp(data + p + 4, "IDAT", 4) == 0;) {
        const size_t n = BigEndian(data + p);
        if (n > size - p - 12) {
            return false;
        }
        total += n;
        p += 12 + n;
    }
    try {
        joined.reserve(total);
    } catch (const std::bad_alloc&) {
        return false;
    }
    AdviseWholeWrite(reinterpret_cast<uint8_t*>(joined.data()), total);
    for (size_t p = at; p + 8 <= size && std::memcmp(data + p + 4, "IDAT", 4) == 0;) {
        const size_t n = BigEndian(data + p);
        if (crc32(0, data + p + 4, uInt(n + 4)) != BigEndian(data + p + 8 + n)) {
            return false;
        }
        joined.append(reinterpret_cast<const char*>(data + p + 8), n);
        p += 12 + n;
    }
    return true;
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Undoes one row's filter in place; `prev` is the row above, unfiltered (zeros for the first).
bool Unfilter(int type, uint8_t* row, const uint8_t* prev, size_t n) {
    switch (type) {
    case 0:
        return true;
    case 1:
        for (size_t i = 3; i < n; ++i) {
            row[i] = uint8_t(row[i] + row[i - 3]);
        }
        return true;
    case 2:
        for (size_t i = 0; i < n; ++i) {
            row[i] = uint8_t(row[i] + prev[i]);
        }
        return true;
    case 3:
        for (size_t i = 0; i < std::min<size_t>(3, n); ++i) {
            row[i] = uint8_t(row[i] + (prev[i] >> 1));
        }
        for (size_t i = 3; i < n; ++i) {
            row[i] = uint8_t(row[i] + ((row[i - 3] + prev[i]) >> 1));
        }
        return true;
    case 4:
        for (size_t i = 0; i < n; ++i) {
            row[i] = uint8_t(
                row[i] + (i >= 3 ? Paeth(row[i - 3], prev[i], prev[i - 3]) : Paeth(0, prev[i], 0)));
        }
        return true;
    default:
        return false;
    }
}

// 8-bit RGB without interlace or transparency, the data starting at `at`: inflated whole, which
// is several times faster than row by row. Fail leaves `out` untouched for libpng to try.
Result FastRgb(const std::string& bytes, size_t at, int w, int h, Decoded& out,
               const StepFn& step) {
    const size_t rowBytes = size_t(w) * 3;
    const size_t filteredBytes = (rowBytes + 1) * size_t(h);
    std::string idat;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    // Deflate packs at most 1032 bytes into one: a shorter stream cannot hold every row, and a
    // file whose data ends early costs no more than its rows.
    if (!JoinIdat(data, bytes.size(), at, idat) || idat.size() * 1032 < filteredBytes) {
        return Result::Fail;
    }
    std::unique_ptr<uint8_t[]> filtered(new (std::nothrow) uint8_t[filteredBytes]);
    std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> inflater(
        libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    if (!filtered || !inflater) {
        return Result::Fail;
    }
    AdviseWholeWrite(filtered.get(), filteredBytes);
    if (libdeflate_zlib_decompress(inflater.get(), idat.data(), idat.size(), filtered.get(),
                                   filteredBytes, nullptr) != LIBDEFLATE_SUCCESS) {
        return Result::Fail;
    }
    idat = std::string();
    std::vector<uint8_t> zeros(rowBytes, 0);
    for (int y = 0; y < h; ++y) {
        uint8_t* f = filtered.get() + size_t(y) * (rowBytes + 1);
        const uint8_t* prev = y > 0 ? f - rowBytes : zeros.data();
        if (!Unfilter(f[0], f + 1, prev, rowBytes)) {
            return Result::Fail;
        }
        uint8_t* dst = out.Row(y);
        if (!dst) {
            return Result::TooLarge;
        }
        for (size_t x = 0; x < rowBytes; x += 3) {
            dst[x] = f[1 + x + 2];
            dst[x + 1] = f[1 + x + 1];
            dst[x + 2] = f[1 + x];
        }
        if ((y + 1) % kStepRows == 0 && !step(y + 1, h)) {
            return Result::Cancelled;
        }
    }
    return Result::Ok;
}

} // namespace

Result DecodePng(const std::string& bytes, Decoded& out, const StepFn& step) {
    // The header comes first: refuse a huge declared size before libpng reads any further.
    const int64_t fileBytes = int64_t(bytes.size());
    if (bytes.size() >= 24 && bytes.compare(12, 4, "IHDR") == 0 &&
        Admit(out, BigEndian(bytes, 16), BigEndian(bytes, 20), fileBytes) == Result::TooLarge) {
        return Result::TooLarge;
    }
    MemoryInput in{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 0};
    std::vector<uint8_t> withAlpha; // BGRA: one row, or every row of an interlaced picture
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Throw, Quiet);
    if (!png) {
        return Result::TooLarge;
    }
    png_infop info = png_create_info_struct(png);
    volatile Result result = Result::Fail;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return result;
    }
    png_set_read_fn(png, &in, ReadFromMemory);
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff); // our own limit is checked below
    // Reads up to the first image data: libpng has checked depth, colour type and palette.
    png_read_info(png, info);
    const png_uint_32 w = png_get_image_width(png, info);
    const png_uint_32 h = png_get_image_height(png, info);
    const int colorType = png_get_color_type(png, info);
    png_charp iccName = nullptr;
    int iccCompression = 0;
    png_bytep icc = nullptr;
    png_uint_32 iccLength = 0;
    // An sRGB chunk wins over a profile beside it. A grey profile does not fit the RGB rows.
    if (!png_get_valid(png, info, PNG_INFO_sRGB) && (colorType & PNG_COLOR_MASK_COLOR) &&
        png_get_iCCP(png, info, &iccName, &iccCompression, &icc, &iccLength)) {
        out.icc.assign(reinterpret_cast<const char*>(icc), iccLength);
    }
    if (Admit(out, w, h, fileBytes) != Result::Ok) {
        result = Result::TooLarge;
        png_error(png, "too large");
    }
    const bool alpha =
        (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    // libpng has just read the first IDAT's length and type.
    if (colorType == PNG_COLOR_TYPE_RGB && png_get_bit_depth(png, info) == 8 && !alpha &&
        png_get_interlace_type(png, info) == PNG_INTERLACE_NONE && in.pos >= 8 &&
        std::memcmp(in.data + in.pos - 4, "IDAT", 4) == 0) {
        const Result fast = FastRgb(bytes, in.pos - 8, int(w), int(h), out, step);
        if (fast != Result::Fail) {
            png_destroy_read_struct(&png, &info, nullptr);
            return fast;
        }
    }
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t channels = alpha ? 4 : 3;
    if (png_get_rowbytes(png, info) != size_t(w) * channels) {
        png_error(png, "unexpected layout");
    }
    // Later passes of an interlaced picture add to rows the earlier ones left: those need every
    // row at once. Otherwise rows are kept only as they arrive.
    const bool whole = passes > 1;
    if (whole && !out.All()) {
        result = Result::TooLarge;
        png_error(png, "too large");
    }
    withAlpha.resize(alpha ? size_t(w) * 4 * (whole ? h : 1) : 0);
    const int64_t total = int64_t(passes) * h;
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < h; ++y) {
            uint8_t* row = out.Row(int(y));
            if (!row) {
                result = Result::TooLarge;
                png_error(png, "too large");
            }
            uint8_t* bgra = alpha ? withAlpha.data() + (whole ? size_t(y) * w * 4 : 0) : nullptr;
            png_read_row(png, alpha ? bgra : row, nullptr);
            if (alpha && pass == passes - 1) {
                // Transparent parts show on white, the way a viewer shows them on a page.
                for (size_t x = 0; x < w; ++x) {
                    const int a = bgra[4 * x + 3];
                    for (int c = 0; c < 3; ++c) {
                        row[3 * x + c] =
                            uint8_t((bgra[4 * x + c] * a + 255 * (255 - a) + 127) / 255);
                    }
                }
            }
            const int64_t done = int64_t(pass) * h + y + 1;
            if (done % kStepRows == 0 && !step(Scaled(done, total, int(h)), int(h))) {
                result = Result::Cancelled;
                png_error(png, "cancelled");
            }
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return Result::Ok;
}

namespace {

void PutBigEndian(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

bool WriteChunk(FILE* file, const char* type, const uint8_t* data, size_t n) {
    uint8_t head[8], tail[4];
    PutBigEndian(head, uint32_t(n));
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0, head + 4, 4);
    crc = crc32(crc, data, uInt(n));
    PutBigEndian(tail, uint32_t(crc));
    return std::fwrite(head, 1, 8, file) == 8 && (n == 0 || std::fwrite(data, 1, n, file) == n) &&
           std::fwrite(tail, 1, 4, file) == 4;
}

// One band of rows, compressed on its own: a deflate stream that ends on a byte boundary, so
// that the bands joined in order make one, as PNG asks.
struct Band {
    std::vector<uint8_t> deflated;
    uLong adler = 0;
    size_t filteredBytes = 0;
    bool ok = false;
};

// Each row takes whichever of the None, Sub, Up and Average filters leaves the smallest bytes
// (as signed values), then run-length matches: on photographs the Average filter wins most rows
// and the whole is several times faster than zlib's match search; on drawings and flat colour
// the other filters leave long runs of zeros, which run-length matches store in a few bytes.
void CompressBand(const RowFn& rows, int width, int begin, int end, bool last, Band& band) {
    const size_t rowBytes = size_t(width) * 3;
    std::vector<uint8_t> above(rowBytes, 0), rgb(rowBytes), bgr(rowBytes);
    std::vector<uint8_t> filtered((rowBytes + 1) * size_t(end - begin));
    std::vector<uint8_t> candidates(3 * rowBytes);
    auto toFileOrder = [&](int y, std::vector<uint8_t>& out) {
        rows(y, bgr.data());
        for (size_t x = 0; x < rowBytes; x += 3) {
            out[x] = bgr[x + 2];
            out[x + 1] = bgr[x + 1];
            out[x + 2] = bgr[x];
        }
    };
    auto cost = [](const uint8_t* f, size_t n) {
        uint64_t sum = 0;
        for (size_t i = 0; i < n; ++i) {
            sum += uint8_t(f[i] < 128 ? f[i] : 256 - f[i]);
        }
        return sum;
    };
    if (begin > 0) {
        toFileOrder(begin - 1, above);
    }
    uint8_t* f = filtered.data();
    for (int y = begin; y < end; ++y) {
        toFileOrder(y, rgb);
        uint8_t* const sub = candidates.data();
        uint8_t* const up = sub + rowBytes;
        uint8_t* const average = up + rowBytes;
        for (size_t i = 0; i < rowBytes; ++i) {
            const int left = i >= 3 ? rgb[i - 3] : 0;
            sub[i] = uint8_t(rgb[i] - left);
            up[i] = uint8_t(rgb[i] - above[i]);
            average[i] = uint8_t(rgb[i] - ((left + above[i]) >> 1));
        }
        const uint8_t* const choice[4] = {rgb.data(), sub, up, average};
        int best = 3;
        uint64_t least = cost(average, rowBytes);
        for (int k = 0; k < 3; ++k) {
            const uint64_t c = cost(choice[k], rowBytes);
            if (c < least) {
                least = c;
                best = k;
            }
        }
        *f++ = uint8_t(best);
        std::memcpy(f, choice[best], rowBytes);
        f += rowBytes;
        rgb.swap(above);
    }
    z_stream z{};
    if (deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_RLE) != Z_OK) {
        return;
    }
    band.deflated.resize(deflateBound(&z, uLong(filtered.size())) + 64);
    z.next_in = filtered.data();
    z.avail_in = uInt(filtered.size());
    z.next_out = band.deflated.data();
    z.avail_out = uInt(band.deflated.size());
    const int status = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
    band.ok = (last ? status == Z_STREAM_END : status == Z_OK) && z.avail_in == 0;
    band.deflated.resize(z.total_out);
    deflateEnd(&z);
    band.adler = adler32(1, filtered.data(), uInt(filtered.size()));
    band.filteredBytes = filtered.size();
}

} // namespace

bool EncodePng(FILE* file, int width, int height, const RowFn& rows, const StepFn& step) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    uint8_t ihdr[13] = {};
    PutBigEndian(ihdr, uint32_t(width));
    PutBigEndian(ihdr + 4, uint32_t(height));
    ihdr[8] = 8; // bits a sample
    ihdr[9] = 2; // RGB
    // What we write is sRGB; saying so keeps other programs from guessing. The gamma and
    // chromaticities are sRGB's own, for readers that know no sRGB chunk.
    uint8_t gama[4];
    PutBigEndian(gama, 45455);
    const uint8_t srgb[1] = {0}; // perceptual
    const uint32_t chromaticities[8] = {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000};
    uint8_t chrm[32];
    for (int i = 0; i < 8; ++i) {
        PutBigEndian(chrm + 4 * i, chromaticities[i]);
    }
    if (std::fwrite(kSignature, 1, 8, file) != 8 || !WriteChunk(file, "IHDR", ihdr, 13) ||
        !WriteChunk(file, "gAMA", gama, 4) || !WriteChunk(file, "sRGB", srgb, 1) ||
        !WriteChunk(file, "cHRM", chrm, 32)) {
        return false;
    }
    // The zlib header (deflate, 32 KiB window, fastest), then the bands as they complete, in
    // order, each in an IDAT of its own.
    std::vector<uint8_t> pending = {0x78, 0x01};
    uLong adler = adler32(0, nullptr, 0);
    std::mutex lock;
    std::map<int, Band> done;
    bool ok = true;
    const bool finished = InRowBands(
        height,
        [&](int begin, int end) {
            Band band;
            try {
                CompressBand(rows, width, begin, end, end == height, band);
            } catch (const std::bad_alloc&) {
                band.ok = false;
            }
            std::lock_guard<std::mutex> hold(lock);
            done[begin] = std::move(band);
        },
        [&](int rowsDone) {
            for (auto& [begin, band] : done) {
                ok = ok && band.ok;
                if (!ok) {
                    break;
                }
                adler = adler32_combine(adler, band.adler, z_off_t(band.filteredBytes));
                pending.insert(pending.end(), band.deflated.begin(), band.deflated.end());
                if (rowsDone == height && begin == done.rbegin()->first) {
                    uint8_t trailer[4];
                    PutBigEndian(trailer, uint32_t(adler));
                    pending.insert(pending.end(), trailer, trailer + 4);
                }
                ok = WriteChunk(file, "IDAT", pending.data(), pending.size());
                pending.clear();
            }
            done.clear();
            return ok && step(rowsDone, height);
        });
    return finished && ok && WriteChunk(file, "IEND", nullptr, 0);
}

} // namespace vx::codec
