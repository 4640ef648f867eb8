// Owners of the decoding libraries' objects, each freed by the call its library pairs with the
// allocation. Only forward declarations here: users of a handle need not see the libraries.
#pragma once

#include <memory>
#include <string>

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct AVCodecParserContext;
struct SwsContext;
struct FFMS_Index;
struct FFMS_Indexer;

namespace vx {

struct FormatContextDeleter {
    void operator()(AVFormatContext* p) const; // avformat_close_input
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* p) const;
};
struct PacketDeleter {
    void operator()(AVPacket* p) const;
};
struct FrameDeleter {
    void operator()(AVFrame* p) const;
};
struct ParserDeleter {
    void operator()(AVCodecParserContext* p) const; // av_parser_close
};
struct SwsContextDeleter {
    void operator()(SwsContext* p) const;
};
struct FfmsIndexDeleter {
    void operator()(FFMS_Index* p) const;
};
// An indexer that never reached the indexing, which frees it itself.
struct FfmsIndexerDeleter {
    void operator()(FFMS_Indexer* p) const; // FFMS_CancelIndexing
};

using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using ParserPtr = std::unique_ptr<AVCodecParserContext, ParserDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;
using FfmsIndexPtr = std::unique_ptr<FFMS_Index, FfmsIndexDeleter>;
using FfmsIndexerPtr = std::unique_ptr<FFMS_Indexer, FfmsIndexerDeleter>;

// avformat_open_input into a handle: the error code, 0 on success.
int OpenInput(const std::string& path, FormatContextPtr* format);

// The libraries' text for an error code, e.g. "Invalid data found when processing input".
std::string AvErrorText(int error);

} // namespace vx
