// Frames of every width: the colour conversion writes whole blocks of pixels, so narrow and odd
// sizes are where it could spill out of the buffer or leave pixels unconverted.
#include "support/TestMovies.h"

#include "movie/FfmpegHandles.h"
#include "movie/MovieSource.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <vector>

namespace vx::test {
namespace {

constexpr int kFirstWidth = 16;
constexpr int kLastWidth = 130;
// Even heights take the converter's direct path, odd ones its scaling path.
constexpr int kHeights[] = {46, 31, 3};
constexpr int kFrames = 2;

std::string Name(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height) + ".mkv";
}

class FrameSizes : public MovieSuite {
protected:
    // One ffmpeg run makes the movies of all widths of one height: two frames each, lossless.
    static void SetUpTestSuite() {
        MovieSuite::SetUpTestSuite();
        for (const int height : kHeights) {
            std::string arguments = "-f lavfi -i testsrc=s=160x120:r=25 -filter_complex \"split=" +
                                    std::to_string(kLastWidth - kFirstWidth + 1);
            for (int w = kFirstWidth; w <= kLastWidth; ++w) {
                arguments += "[s" + std::to_string(w) + "]";
            }
            arguments += ";";
            for (int w = kFirstWidth; w <= kLastWidth; ++w) {
                const std::string s = std::to_string(w);
                arguments += "[s" + s + "]scale=" + s + ":" + std::to_string(height) +
                             ",format=yuv420p[o" + s + "]" + (w < kLastWidth ? ";" : "");
            }
            arguments += "\"";
            for (int w = kFirstWidth; w <= kLastWidth; ++w) {
                arguments += " -map \"[o" + std::to_string(w) + "]\" -frames:v " +
                             std::to_string(kFrames) + " -c:v ffv1";
                if (w < kLastWidth) {
                    arguments += " '" + s_pDir->File(Name(w, height)) + "'";
                }
            }
            RunFfmpeg(*s_pDir, Name(kLastWidth, height), arguments);
        }
    }
};

// The frames of a movie converted by the same converter, given rows with all the room it may
// want, top row first, 3 x width bytes each.
std::vector<std::vector<uint8_t>> ReferenceFrames(const std::string& path) {
    std::vector<std::vector<uint8_t>> frames;
    FormatContextPtr format;
    if (OpenInput(path, &format) < 0) {
        return frames;
    }
    avformat_find_stream_info(format.get(), nullptr);
    const AVCodecParameters* par = format->streams[0]->codecpar;
    CodecContextPtr codec(avcodec_alloc_context3(avcodec_find_decoder(par->codec_id)));
    avcodec_parameters_to_context(codec.get(), par);
    avcodec_open2(codec.get(), codec->codec, nullptr);
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    const int w = par->width;
    const int h = par->height;
    const int roomy = 3 * w + 256;
    std::vector<uint8_t> converted(size_t(roomy) * size_t(h));
    SwsContextPtr sws(sws_getContext(w, h, AVPixelFormat(par->format), w, h, AV_PIX_FMT_BGR24,
                                     SWS_BILINEAR, nullptr, nullptr, nullptr));
    const auto take = [&] {
        while (avcodec_receive_frame(codec.get(), frame.get()) == 0) {
            uint8_t* planes[4] = {converted.data(), nullptr, nullptr, nullptr};
            int strides[4] = {roomy, 0, 0, 0};
            sws_scale(sws.get(), frame->data, frame->linesize, 0, h, planes, strides);
            std::vector<uint8_t> rows;
            for (int y = 0; y < h; ++y) {
                const uint8_t* row = converted.data() + size_t(roomy) * size_t(y);
                rows.insert(rows.end(), row, row + 3 * w);
            }
            frames.push_back(std::move(rows));
        }
    };
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        avcodec_send_packet(codec.get(), packet.get());
        av_packet_unref(packet.get());
        take();
    }
    avcodec_send_packet(codec.get(), nullptr);
    take();
    return frames;
}

TEST_F(FrameSizes, EveryWidthFillsItsRowsExactlyAndWritesNothingElse) {
    constexpr size_t kGuard = 64;
    constexpr uint8_t kUntouched = 0x5a;
    for (const int height : kHeights) {
        for (int width = kFirstWidth; width <= kLastWidth; ++width) {
            SCOPED_TRACE(Name(width, height));
            const std::string path = s_pDir->File(Name(width, height));
            std::unique_ptr<CMovieSource> source;
            ASSERT_EQ(CMovieSource::Open(path, IndexProgress(), &source), S_OK);
            ASSERT_EQ(source->Width(), width);
            ASSERT_EQ(source->Height(), height);
            const auto reference = ReferenceFrames(path);
            ASSERT_EQ(reference.size(), size_t(kFrames));

            const int stride = CDibImage::StrideFor(width);
            const size_t bytes = size_t(stride) * size_t(height);
            std::vector<uint8_t> buffer(kGuard + bytes + kGuard, kUntouched);
            uint8_t* dst = buffer.data() + kGuard;
            // The last frame first, then the first: nothing of one may stay in the other.
            for (int n = kFrames - 1; n >= 0; --n) {
                ASSERT_EQ(source->ReadFrame(n, dst, stride), S_OK);
                const std::vector<uint8_t>& want = reference[size_t(n)];
                int wrongRows = 0;
                for (int y = 0; y < height; ++y) {
                    const uint8_t* row = dst + size_t(stride) * size_t(height - 1 - y);
                    wrongRows += std::memcmp(row, want.data() + size_t(3 * width) * size_t(y),
                                             size_t(3 * width)) != 0;
                }
                EXPECT_EQ(wrongRows, 0) << "frame " << n;
            }
            // The guards and the padding at the end of each row stay as they were.
            int touched = 0;
            for (size_t i = 0; i < buffer.size(); ++i) {
                const bool inRow = i >= kGuard && i < kGuard + bytes &&
                                   (i - kGuard) % size_t(stride) < size_t(3 * width);
                touched += !inRow && buffer[i] != kUntouched;
            }
            EXPECT_EQ(touched, 0);
        }
    }
}

} // namespace
} // namespace vx::test
