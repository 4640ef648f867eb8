// Windows bitmaps, our own codec: 1, 4, 8, 16, 24 and 32 bits, RLE4 and RLE8, bit fields,
// bottom-up and top-down. Every read is bounds-checked; a short file is unreadable.
#include "imageio/Codecs.h"

#include "imageio/ImExp.h"

#include <algorithm>
#include <cstring>

namespace vx::codec {

namespace {

uint32_t U32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}
uint16_t U16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

struct Mask {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    explicit Mask(uint32_t m = 0) : mask(m) {
        if (!m) {
            return;
        }
        while (!((m >> shift) & 1)) {
            ++shift;
        }
        while (bits < 32 - shift && ((m >> (shift + bits)) & 1)) {
            ++bits;
        }
    }
    uint8_t Get(uint32_t v) const {
        if (!bits) {
            return 0;
        }
        const uint32_t x = (v & mask) >> shift;
        const uint32_t max = bits >= 32 ? 0xffffffffu : (1u << bits) - 1;
        return uint8_t((uint64_t(x) * 255 + max / 2) / max);
    }
};

// Decodes RLE8 / RLE4 straight into the raster (`row` gives file row y, bottom first), which
// starts as palette colour 0: pixels the stream skips keep it.
template <typename RowOf>
bool DecodeRle(const uint8_t* p, size_t n, int w, int h, bool four, const uint8_t (*palette)[3],
               RowOf row) {
    int x = 0, y = 0;
    size_t i = 0;
    auto put = [&](int v) {
        if (x < w && y < h) {
            std::memcpy(row(y) + 3 * x, palette[v], 3);
        }
        ++x;
    };
    while (i + 1 < n) {
        const int count = p[i], value = p[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k) {
                put(four ? (k & 1 ? value & 15 : value >> 4) : value);
            }
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return true;
        } else if (value == 2) {
            if (i + 1 >= n) {
                return false;
            }
            x += p[i];
            y += p[i + 1];
            i += 2;
        } else {
            const size_t bytes = four ? (value + 1) / 2 : value;
            if (i + bytes > n) {
                return false;
            }
            for (int k = 0; k < value; ++k) {
                put(four ? (k & 1 ? p[i + k / 2] & 15 : p[i + k / 2] >> 4) : p[i + k]);
            }
            i += (bytes + 1) & ~size_t(1);
        }
        if (y >= h) {
            return true;
        }
    }
    return true; // a stream without its end marker still shows what it holds
}

} // namespace

Result DecodeBmp(const std::string& bytes, Decoded& out, const StepFn& step) {
    const auto* f = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t n = bytes.size();
    if (n < 26 || f[0] != 'B' || f[1] != 'M') {
        return Result::Fail;
    }
    const uint32_t offBits = U32(f + 10);
    const uint32_t hdr = U32(f + 14);
    if (hdr < 12 || 14 + size_t(hdr) > n) {
        return Result::Fail;
    }
    const uint8_t* ih = f + 14;
    int64_t w, h;
    int bpp;
    uint32_t compression = 0, clrUsed = 0;
    if (hdr == 12) {
        w = U16(ih + 4);
        h = int16_t(U16(ih + 6));
        bpp = U16(ih + 10);
    } else {
        if (hdr < 40) {
            return Result::Fail;
        }
        w = int32_t(U32(ih + 4));
        h = int32_t(U32(ih + 8));
        bpp = U16(ih + 14);
        compression = U32(ih + 16);
        clrUsed = U32(ih + 32);
    }
    const bool topDown = h < 0;
    h = topDown ? -h : h;
    if (w <= 0 || h <= 0) {
        return Result::Fail;
    }
    if (!ImExp_SizeAllowed(w, h, int64_t(n))) {
        return Refuse(w, h, int64_t(n));
    }
    // Everything the header promises is checked before the raster is allocated.
    const bool rle = compression == 1 || compression == 2;
    if (!(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32) ||
        offBits >= n || (rle && topDown)) {
        return Result::Fail;
    }
    Mask r, g, b;
    if (bpp == 16 || bpp == 32) {
        if (compression == 3 || compression == 6) {
            const size_t at = hdr >= 52 ? 14 + 40 : 14 + hdr;
            if (at + 12 > n) {
                return Result::Fail;
            }
            r = Mask(U32(f + at));
            g = Mask(U32(f + at + 4));
            b = Mask(U32(f + at + 8));
        } else if (compression == 0) {
            r = Mask(bpp == 16 ? 0x7C00 : 0xFF0000);
            g = Mask(bpp == 16 ? 0x03E0 : 0x00FF00);
            b = Mask(bpp == 16 ? 0x001F : 0x0000FF);
        } else {
            return Result::Fail;
        }
    } else if (!(compression == 0 || (compression == 1 && bpp == 8) ||
                 (compression == 2 && bpp == 4))) {
        return Result::Fail;
    }
    // The palette must be in the file, before the pixels; indices beyond it show black.
    uint8_t palette[256][3] = {};
    if (bpp <= 8) {
        const size_t entry = hdr == 12 ? 3 : 4;
        const size_t count =
            std::min<size_t>(clrUsed ? clrUsed : size_t(1) << bpp, size_t(1) << bpp);
        const size_t at = 14 + hdr;
        if (at + count * entry > std::min<size_t>(n, offBits)) {
            return Result::Fail;
        }
        for (size_t i = 0; i < count; ++i) {
            std::memcpy(palette[i], f + at + i * entry, 3);
        }
    }
    const uint8_t* bits = f + offBits;
    const size_t avail = n - offBits;
    const int W = int(w), H = int(h);
    Admit(out, w, h, int64_t(n));
    auto dstRow = [&](int fileRow) { return out.Row(topDown ? fileRow : H - 1 - fileRow); };

    if (rle) {
        // Runs and skips may stand for any number of rows: the budget above bounds them.
        uint8_t* all = out.All();
        if (!all) {
            return Result::TooLarge;
        }
        for (size_t i = 0; i < size_t(W) * H; ++i) {
            std::memcpy(all + 3 * i, palette[0], 3);
        }
        if (!DecodeRle(bits, avail, W, H, compression == 2, palette, dstRow)) {
            return Result::Fail;
        }
        return step(H, H) ? Result::Ok : Result::Cancelled;
    }

    // Uncompressed rows are all in the file or it is unreadable.
    const uint64_t stride = ((uint64_t(W) * bpp + 31) / 32) * 4;
    if (stride * (H - 1) + (uint64_t(W) * bpp + 7) / 8 > avail) {
        return Result::Fail;
    }
    if (!out.All()) {
        return Result::TooLarge;
    }
    for (int y = 0; y < H; ++y) {
        const uint8_t* s = bits + stride * y;
        uint8_t* d = dstRow(y);
        switch (bpp) {
        case 24:
            std::memcpy(d, s, size_t(W) * 3);
            break;
        case 16:
        case 32:
            for (int x = 0; x < W; ++x) {
                const uint32_t v = bpp == 16 ? U16(s + 2 * x) : U32(s + 4 * x);
                d[3 * x] = b.Get(v);
                d[3 * x + 1] = g.Get(v);
                d[3 * x + 2] = r.Get(v);
            }
            break;
        default:
            for (int x = 0; x < W; ++x) {
                const size_t bit = size_t(x) * bpp;
                const int shift = 8 - bpp - int(bit % 8);
                const int index = (s[bit / 8] >> shift) & ((1 << bpp) - 1);
                std::memcpy(d + 3 * x, palette[index], 3);
            }
        }
        if ((y + 1) % kStepRows == 0 && !step(y + 1, H)) {
            return Result::Cancelled;
        }
    }
    return Result::Ok;
}

bool EncodeBmp(FILE* file, int width, int height, const RowFn& rows, const StepFn& step) {
    const uint32_t stride = ((uint32_t(width) * 3 + 3) / 4) * 4;
    const uint64_t image = uint64_t(stride) * height;
    if (image + 54 > 0xffffffffu) {
        return false;
    }
    uint8_t head[54] = {'B', 'M'};
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            head[at + i] = uint8_t(v >> (8 * i));
        }
    };
    put32(2, uint32_t(54 + image));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    head[26] = 1;
    head[28] = 24;
    put32(34, uint32_t(image));
    if (std::fwrite(head, 1, 54, file) != 54) {
        return false;
    }
    std::vector<uint8_t> line(stride, 0);
    for (int i = 0; i < height; ++i) {
        rows(height - 1 - i, line.data()); // bottom row first
        if (std::fwrite(line.data(), 1, stride, file) != stride) {
            return false;
        }
        if ((i + 1) % kStepRows == 0 && !step(i + 1, height)) {
            return false;
        }
    }
    return true;
}

} // namespace vx::codec
