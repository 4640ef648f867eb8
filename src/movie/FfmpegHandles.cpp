#include "movie/FfmpegHandles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <ffms.h>

namespace vx {

void FormatContextDeleter::operator()(AVFormatContext* p) const {
    avformat_close_input(&p);
}

void CodecContextDeleter::operator()(AVCodecContext* p) const {
    avcodec_free_context(&p);
}

void PacketDeleter::operator()(AVPacket* p) const {
    av_packet_free(&p);
}

void FrameDeleter::operator()(AVFrame* p) const {
    av_frame_free(&p);
}

void ParserDeleter::operator()(AVCodecParserContext* p) const {
    av_parser_close(p);
}

void SwsContextDeleter::operator()(SwsContext* p) const {
    sws_freeContext(p);
}

void FfmsIndexDeleter::operator()(FFMS_Index* p) const {
    FFMS_DestroyIndex(p);
}

void FfmsIndexerDeleter::operator()(FFMS_Indexer* p) const {
    FFMS_CancelIndexing(p);
}

int OpenInput(const std::string& path, FormatContextPtr* format) {
    format->reset();
    AVFormatContext* raw = nullptr;
    // On failure the library frees what it allocated and leaves the pointer null.
    const int r = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    format->reset(raw);
    return r;
}

std::string AvErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = "";
    av_strerror(error, text, sizeof text);
    return text;
}

} // namespace vx
