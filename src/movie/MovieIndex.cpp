#include "movie/MovieIndex.h"

#include "movie/FfmpegHandles.h"
#include "res/Resource.h"
#include "res/StringTable.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}
#include <ffms.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <tuple>

namespace vx {

namespace {

struct CacheKey {
    std::string path;
    uintmax_t size;
    int64_t mtime;
    bool operator<(const CacheKey& o) const {
        return std::tie(path, size, mtime) < std::tie(o.path, o.size, o.mtime);
    }
};

std::mutex g_cacheLock;
std::map<CacheKey, std::shared_ptr<const CMovieIndex>>& Cache() {
    static std::map<CacheKey, std::shared_ptr<const CMovieIndex>> cache;
    return cache;
}

void InitFfms() {
    static std::once_flag once;
    std::call_once(once, [] {
        FFMS_Init(0, 0);
        FFMS_SetLogLevel(-8); // quiet: failures come back as results
    });
}

int FFMS_CC OnProgress(int64_t current, int64_t total, void* priv) {
    const auto* progress = static_cast<const IndexProgress*>(priv);
    return (*progress)(current, total) ? 0 : 1;
}

HRESULT Fail(HRESULT hr, std::string* reason, std::string text) {
    if (reason) {
        *reason = std::move(text);
    }
    return hr;
}

// FFMS2's message, or the kind of failure when it gave none.
std::string FfmsReason(const char* what, const FFMS_ErrorInfo& error) {
    std::string text = std::string("ffms2: ") + what;
    if (error.Buffer && error.Buffer[0]) {
        text += ": ";
        text += error.Buffer;
    }
    return text;
}

// An H.264 or HEVC access unit (start codes) that holds an instantaneous decoder refresh: no
// picture after it in decoding order is shown before it.
bool HoldsIdr(const AVPacket* packet, AVCodecID codec) {
    for (int i = 0; i + 3 < packet->size; ++i) {
        const uint8_t* p = packet->data + i;
        if (p[0] != 0 || p[1] != 0 || p[2] != 1) {
            continue;
        }
        const int h264 = p[3] & 0x1f;
        const int hevc = (p[3] >> 1) & 0x3f;
        if ((codec == AV_CODEC_ID_H264 && h264 == 5) ||
            (codec == AV_CODEC_ID_HEVC && (hevc == 19 || hevc == 20))) {
            return true;
        }
    }
    return false;
}

// The temporal reference of the I picture an MPEG-1 or MPEG-2 key packet starts: how many
// pictures of its group are shown before it. -1 when there is none.
int TemporalReference(const AVPacket* packet) {
    for (int i = 0; i + 5 < packet->size; ++i) {
        const uint8_t* p = packet->data + i;
        if (p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == 0) {
            return ((p[5] >> 3) & 7) == 1 ? (p[4] << 2) | (p[5] >> 6) : -1;
        }
    }
    return -1;
}

// The first picture of a coded video sequence: H.264 and HEVC count the order of display
// afresh from there.
bool RestartsPictureOrder(const AVPacket* packet, AVCodecID codec) {
    for (int i = 0; i + 3 < packet->size; ++i) {
        const uint8_t* p = packet->data + i;
        if (p[0] == 0 && p[1] == 0 && p[2] == 1 &&
            ((codec == AV_CODEC_ID_H264 && (p[3] & 0x1f) == 5) ||
             (codec == AV_CODEC_ID_HEVC && ((p[3] >> 1) & 0x3f) >= 16 &&
              ((p[3] >> 1) & 0x3f) <= 20))) {
            return true;
        }
    }
    return false;
}

// What the parser tells of a packet's picture.
struct Picture {
    int64_t order; // picture order count
    bool restarts; // the count starts again at it
    bool intra;
};

// Frame numbers of the packets (decoding order) from their pictures' order counts: a coded video
// sequence is shown whole before the next one. Empty when the counts do not name each frame once,
// or put a picture further from its place in decoding order than a decoder holds pictures back
// (a count that restarts where the parser did not see it).
std::vector<int64_t> FramesByPictureOrder(const std::vector<Picture>& pictures) {
    constexpr int64_t kMaxHeldBack = 16;
    std::vector<int64_t> frames(pictures.size());
    std::vector<std::pair<int64_t, size_t>> run;
    for (size_t start = 0; start < pictures.size();) {
        size_t end = start + 1;
        while (end < pictures.size() && !pictures[end].restarts) {
            ++end;
        }
        run.clear();
        for (size_t i = start; i < end; ++i) {
            run.emplace_back(pictures[i].order, i);
        }
        std::sort(run.begin(), run.end());
        for (size_t r = 0; r < run.size(); ++r) {
            const int64_t frame = int64_t(start + r);
            if ((r > 0 && run[r].first == run[r - 1].first) ||
                std::abs(frame - int64_t(run[r].second)) > kMaxHeldBack) {
                return {};
            }
            frames[run[r].second] = frame;
        }
        start = end;
    }
    return frames;
}

// Reads the picture order of H.264 and HEVC packets, each a whole picture.
class PictureOrderReader {
public:
    explicit PictureOrderReader(const AVCodecParameters* par)
        : m_codec(par->codec_id), m_parser(av_parser_init(par->codec_id)),
          m_context(avcodec_alloc_context3(nullptr)) {
        m_ok = m_parser && m_context && avcodec_parameters_to_context(m_context.get(), par) >= 0;
        if (m_ok) {
            m_parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
        }
    }
    // False once a packet was no whole frame picture with a position after the last one's.
    bool Add(AVPacket* packet) {
        if (!m_ok) {
            return false;
        }
        uint8_t* out = nullptr;
        int size = 0;
        av_parser_parse2(m_parser.get(), m_context.get(), &out, &size, packet->data, packet->size,
                         AV_NOPTS_VALUE, AV_NOPTS_VALUE, packet->pos);
        // HEVC's parser leaves the structure unknown for frames; fields come as pictures of
        // their own in both codecs.
        const int structure = m_parser->picture_structure;
        const bool frame =
            structure == AV_PICTURE_STRUCTURE_FRAME ||
            (m_codec == AV_CODEC_ID_HEVC && structure == AV_PICTURE_STRUCTURE_UNKNOWN);
        m_ok = size == packet->size && frame && packet->pos >= 0 &&
               (m_positions.empty() || packet->pos > m_positions.back());
        m_pictures.push_back({m_parser->output_picture_number,
                              RestartsPictureOrder(packet, m_codec),
                              m_parser->pict_type == AV_PICTURE_TYPE_I});
        m_positions.push_back(packet->pos);
        return m_ok;
    }
    const std::vector<Picture>& Pictures() const { return m_pictures; }
    const std::vector<int64_t>& Positions() const { return m_positions; }

private:
    AVCodecID m_codec;
    ParserPtr m_parser;
    CodecContextPtr m_context;
    bool m_ok = false;
    std::vector<Picture> m_pictures;
    std::vector<int64_t> m_positions;
};

// The key packets, read once with the index: a seek that counts frames starts at the key frame
// before the wanted one instead of the start of the file. A key frame's number is the rank of
// its timestamp among all packets', or where timestamps do not order the packets, the rank of
// its picture order count in H.264 and HEVC, its place in decoding order when it is an IDR, or
// that place plus its temporal reference in MPEG video.
std::vector<CMovieIndex::KeyPacket> KeyPackets(const std::string& path, int track, int64_t frames,
                                               bool leading, CMovieIndex* index) {
    FormatContextPtr format;
    if (OpenInput(path, &format) < 0 || avformat_find_stream_info(format.get(), nullptr) < 0 ||
        track >= int(format->nb_streams)) {
        return {};
    }
    const std::string name = format->iformat->name;
    if (name.find("mp4") != std::string::npos || name.find("matroska") != std::string::npos) {
        return {}; // timestamps name the frames there
    }
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        format->streams[i]->discard = int(i) == track ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    const AVCodecParameters* par = format->streams[track]->codecpar;
    const AVCodecID codec = par->codec_id;
    // Transport and program streams time every picture; a stream cut before its first key frame
    // starts with pictures whose order is not known.
    std::unique_ptr<PictureOrderReader> pictures;
    if ((codec == AV_CODEC_ID_H264 || codec == AV_CODEC_ID_HEVC) && !leading &&
        name.find("mpeg") == std::string::npos) {
        pictures = std::make_unique<PictureOrderReader>(par);
    }
    PacketPtr packet(av_packet_alloc());
    std::vector<int64_t> pts; // of every packet, in decoding order
    std::vector<CMovieIndex::KeyPacket> keys;
    std::vector<size_t> keyAt; // each key packet's place in decoding order
    int64_t before = -1;
    bool reordered = false; // some packet is shown at another time than it is decoded
    while (packet && av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == track) {
            if (pictures && !pictures->Add(packet.get())) {
                pictures.reset();
            }
            if ((packet->flags & AV_PKT_FLAG_KEY) && packet->pos >= 0 &&
                (keys.empty() || packet->pos > keys.back().pos)) {
                const int64_t at = int64_t(pts.size());
                int64_t frame = HoldsIdr(packet.get(), codec) ? at : -1;
                if (codec == AV_CODEC_ID_MPEG1VIDEO || codec == AV_CODEC_ID_MPEG2VIDEO) {
                    const int tr = TemporalReference(packet.get());
                    frame = tr >= 0 ? at + tr : -1;
                }
                keys.push_back({packet->pos, packet->pts, frame, before});
                keyAt.push_back(size_t(at));
            }
            before = packet->pos;
            reordered = reordered || packet->pts != packet->dts;
            pts.push_back(packet->pts);
        }
        av_packet_unref(packet.get());
    }
    if (int64_t(pts.size()) != frames) {
        return {};
    }
    std::vector<int64_t> order = pts;
    std::sort(order.begin(), order.end());
    // Timestamps that merely repeat the decoding times of a stream with delayed pictures (as
    // some containers write them) do not tell where a picture is shown.
    const bool delayed = par->video_delay > 0;
    bool ordered = order.front() != AV_NOPTS_VALUE && (reordered || !delayed) &&
                   std::adjacent_find(order.begin(), order.end()) == order.end();
    if (!ordered && pictures) {
        // The frames' numbers stand in for the missing times. A key packet whose picture is not
        // intra (a gradual refresh) is no place to start from: later pictures may refer to
        // pictures before it.
        std::vector<int64_t> numbers = FramesByPictureOrder(pictures->Pictures());
        if (!numbers.empty()) {
            std::vector<CMovieIndex::KeyPacket> intra;
            for (size_t k = 0; k < keys.size(); ++k) {
                if (pictures->Pictures()[keyAt[k]].intra) {
                    intra.push_back(keys[k]);
                    intra.back().pts = numbers[keyAt[k]];
                }
            }
            keys = std::move(intra);
            index->m_vPacketPos = pictures->Positions();
            index->m_vPacketFrame = std::move(numbers);
            for (size_t i = 0; i < order.size(); ++i) {
                order[i] = int64_t(i);
            }
            ordered = true;
        }
    }
    if (ordered) {
        index->m_vPacketPts = order;
    }
    std::vector<CMovieIndex::KeyPacket> known;
    for (CMovieIndex::KeyPacket key : keys) {
        if (ordered) {
            key.frame = std::lower_bound(order.begin(), order.end(), key.pts) - order.begin();
        } else {
            key.pts = AV_NOPTS_VALUE;
        }
        if (key.frame >= 0 && (known.empty() || key.frame > known.back().frame)) {
            known.push_back(key);
        }
    }
    return known;
}

} // namespace

int64_t CMovieIndex::FindPts(int64_t pts) const {
    auto it = std::lower_bound(m_vPts.begin(), m_vPts.end(), pts);
    return (it != m_vPts.end() && *it == pts) ? int64_t(it - m_vPts.begin()) : -1;
}

int64_t CMovieIndex::FrameOfPacket(int64_t pos) const {
    auto it = std::lower_bound(m_vPacketPos.begin(), m_vPacketPos.end(), pos);
    return (it != m_vPacketPos.end() && *it == pos)
               ? m_vPacketFrame[size_t(it - m_vPacketPos.begin())]
               : -1;
}

int64_t CMovieIndex::KeyAtOrBefore(int64_t frame) const {
    for (int64_t i = std::min(frame, FrameCount() - 1); i > 0; --i) {
        if (m_vKey[size_t(i)]) {
            return i;
        }
    }
    return 0;
}

HRESULT CMovieIndex::Get(const std::string& path, const IndexProgress& progress,
                         std::shared_ptr<const CMovieIndex>* index, std::string* reason) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        return Fail(E_FAIL, reason, res::FormatString(res::IDS_REASON_CANT_OPEN, {ec.message()}));
    }
    const auto mtime = std::filesystem::last_write_time(path, ec);
    if (ec) {
        return Fail(E_FAIL, reason, "cannot read the file's time: " + ec.message());
    }
    const CacheKey key{path, size, int64_t(mtime.time_since_epoch().count())};
    {
        std::lock_guard lock(g_cacheLock);
        auto it = Cache().find(key);
        if (it != Cache().end()) {
            *index = it->second;
            return S_OK;
        }
    }

    InitFfms();
    char message[1024];
    FFMS_ErrorInfo error{FFMS_ERROR_SUCCESS, FFMS_ERROR_SUCCESS, int(sizeof message), message};
    FfmsIndexerPtr indexer(FFMS_CreateIndexer(path.c_str(), &error));
    if (!indexer) {
        // FFMS2 names the whole path; the file's own name is enough beside the message.
        std::string why = FfmsReason("cannot open the file", error);
        const std::string name = std::filesystem::path(path).filename().string();
        for (size_t at = why.find(path); at != std::string::npos; at = why.find(path, at)) {
            why.replace(at, path.size(), name);
            at += name.size();
        }
        return Fail(E_FAIL, reason, res::FormatString(res::IDS_REASON_NOT_A_MOVIE, {why}));
    }
    FFMS_TrackTypeIndexSettings(indexer.get(), FFMS_TYPE_AUDIO, 0, 0);
    if (progress) {
        FFMS_SetProgressCallback(indexer.get(), OnProgress, const_cast<IndexProgress*>(&progress));
    }
    // Indexing frees the indexer, whatever its outcome.
    FfmsIndexPtr ffIndex(FFMS_DoIndexing2(indexer.release(), FFMS_IEH_ABORT, &error));
    if (!ffIndex) {
        if (error.ErrorType == FFMS_ERROR_CANCELLED) {
            return Fail(E_ABORT, reason, "indexing cancelled");
        }
        return Fail(E_FAIL, reason, FfmsReason("indexing failed", error));
    }
    const int track = FFMS_GetFirstIndexedTrackOfType(ffIndex.get(), FFMS_TYPE_VIDEO, &error);
    if (track < 0) {
        return Fail(E_FAIL, reason, "no video track");
    }
    FFMS_Track* t = FFMS_GetTrackFromIndex(ffIndex.get(), track);
    auto result = std::make_shared<CMovieIndex>();
    result->m_nTrack = track;
    const int count = FFMS_GetNumFrames(t);
    result->m_vPts.reserve(size_t(std::max(count, 0)));
    result->m_vKey.reserve(size_t(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        const FFMS_FrameInfo* info = FFMS_GetFrameInfo(t, i);
        result->m_vPts.push_back(info->PTS);
        result->m_vKey.push_back(info->KeyFrame ? 1 : 0);
    }
    // A stream cut in the middle of a group of pictures starts with packets that refer to
    // pictures it lacks: nothing decodes them, so the frames start at the first key frame.
    const auto firstKey = std::find(result->m_vKey.begin(), result->m_vKey.end(), 1);
    if (firstKey != result->m_vKey.end() && firstKey != result->m_vKey.begin()) {
        const auto lead = firstKey - result->m_vKey.begin();
        result->m_nLeading = int64_t(lead);
        result->m_vKey.erase(result->m_vKey.begin(), firstKey);
        result->m_vPts.erase(result->m_vPts.begin(), result->m_vPts.begin() + lead);
    }
    const FFMS_TrackTimeBase* tb = FFMS_GetTimeBase(t);
    result->m_nTimeBaseNum = tb->Num;
    result->m_nTimeBaseDen = tb->Den;
    result->m_bPtsIncreasing =
        std::adjacent_find(result->m_vPts.begin(), result->m_vPts.end(),
                           [](int64_t a, int64_t b) { return b <= a; }) == result->m_vPts.end();

    result->m_vKeyPackets = KeyPackets(path, track, count, result->m_nLeading > 0, result.get());

    std::lock_guard lock(g_cacheLock);
    Cache()[key] = result;
    *index = std::move(result);
    return S_OK;
}

void CMovieIndex::ClearCache() {
    std::lock_guard lock(g_cacheLock);
    Cache().clear();
}

} // namespace vx
