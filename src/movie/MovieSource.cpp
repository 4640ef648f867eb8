#include "movie/MovieSource.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

namespace vx {

namespace {
// Forward decoding is cheaper than a seek while the wanted frame is this close.
constexpr int64_t kForwardReach = 8;
constexpr int kSeekTries = 4;
// Frames a restart at a noted key frame may take before that frame comes out.
constexpr int kRestartReach = 64;
// Decoding errors in a row, with no packet sent between them, before a decoder is given up.
constexpr int kDecodeErrorsInARow = 16;
// Seeks in a row where timestamps could not identify the frame before they are given up.
constexpr int kTimestampMisses = 3;
// Recent frames kept decoded, so that stepping back does not decode from the key frame again.
constexpr size_t kKeptFrames = 16;
constexpr size_t kKeptBytes = size_t(64) << 20;
// Frames decoded ahead of the last one asked for: enough to keep up with a held arrow key, few
// enough that a seek elsewhere does not compete with them for long.
constexpr int64_t kReadAhead = 4;
// Frames just before a sought one are decoded even where they could be left out: a step back
// finds them kept.
constexpr int64_t kDecodedBehind = 4;
// Key frames kept decoded besides: the slider's key-frame previews come back at once.
constexpr size_t kKeyFrames = 8;
constexpr size_t kKeyFrameBytes = size_t(32) << 20;

// Decoders whose skipping of unreferenced frames leaves every other frame as it was: in these
// codecs such a frame changes no state that a later frame uses. HEVC skips pictures that its
// own temporal layer does not refer to, which only a stream with one layer makes unreferenced
// (told by the configuration record, byte 21).
bool DiscardsOnlyUnreferenced(const AVCodecParameters* par) {
    switch (par->codec_id) {
    case AV_CODEC_ID_H264:
    case AV_CODEC_ID_MPEG1VIDEO:
    case AV_CODEC_ID_MPEG2VIDEO:
    case AV_CODEC_ID_MPEG4:
        return true;
    case AV_CODEC_ID_HEVC:
        return par->extradata_size >= 23 && par->extradata[0] == 1 &&
               ((par->extradata[21] >> 3) & 7) == 1;
    default:
        return false;
    }
}

// Later releases of the libraries tell these by the frame's flags and deprecate the fields.
bool IsKeyFrame(const AVFrame* frame) {
#ifdef AV_FRAME_FLAG_KEY
    return (frame->flags & AV_FRAME_FLAG_KEY) != 0;
#else
    return frame->key_frame != 0;
#endif
}

bool IsInterlaced(const AVFrame* frame) {
#ifdef AV_FRAME_FLAG_INTERLACED
    return (frame->flags & AV_FRAME_FLAG_INTERLACED) != 0;
#else
    return frame->interlaced_frame != 0;
#endif
}

// Later releases no longer give a frame its packet's position: there the position rides along
// in the packet's opaque field, which the decoder copies to the frame it makes.
void TagWithPosition(AVPacket* packet) {
#ifdef AV_CODEC_FLAG_COPY_OPAQUE
    packet->opaque = reinterpret_cast<void*>(intptr_t(packet->pos + 1));
#else
    (void)packet;
#endif
}

// The file position of the packet the frame came from, -1 when not known.
int64_t PacketPosition(const AVFrame* frame) {
#ifdef AV_CODEC_FLAG_COPY_OPAQUE
    return int64_t(reinterpret_cast<intptr_t>(frame->opaque)) - 1;
#else
    return frame->pkt_pos;
#endif
}

// The size the container's own index gives the packet at this position, 0 when it has none.
// Packets near the end are looked for from the end.
int StoredSize(AVStream* stream, int64_t pos) {
    for (int i = avformat_index_get_entries_count(stream) - 1; i >= 0 && pos >= 0; --i) {
        const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
        if (entry->pos == pos) {
            return entry->size;
        }
        if (entry->pos < pos) {
            break;
        }
    }
    return 0;
}

// The container's display matrix (side data of the stream), null when it has none.
const int32_t* DisplayMatrix(const AVStream* stream) {
#if LIBAVFORMAT_VERSION_MAJOR >= 61
    const AVPacketSideData* data =
        av_packet_side_data_get(stream->codecpar->coded_side_data,
                                stream->codecpar->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
    return data && data->size >= 36 ? reinterpret_cast<const int32_t*>(data->data) : nullptr;
#else
    size_t size = 0;
    const uint8_t* data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    return data && size >= 36 ? reinterpret_cast<const int32_t*>(data) : nullptr;
#endif
}

int Sign(int32_t v) {
    return v > 0 ? 1 : v < 0 ? -1 : 0;
}

std::string CodecName(AVCodecID id) {
    return avcodec_get_name(id);
}
} // namespace

HRESULT CMovieSource::Open(const std::string& path, const IndexProgress& progress,
                           std::unique_ptr<CMovieSource>* source, std::string* reason) {
    std::unique_ptr<CMovieSource> s(new CMovieSource);
    s->m_strPath = path;
    HRESULT hr = CMovieIndex::Get(path, progress, &s->m_pIndex, reason);
    if (Failed(hr)) {
        return hr;
    }
    hr = s->OpenDecoder();
    if (Failed(hr)) {
        if (reason) {
            *reason = s->m_strError;
        }
        return hr;
    }
    const CMovieIndex& index = *s->m_pIndex;
    for (const CMovieIndex::KeyPacket& key : index.m_vKeyPackets) {
        const int64_t frame = key.frame - index.m_nLeading;
        if (frame > 0 && frame < index.FrameCount()) {
            s->m_vCountKeys.push_back(
                {frame, key.pos, key.before >= 0 ? key.before : key.pos, key.pts, 0, false});
        }
    }
    s->m_bByteSeeks = !s->TimestampsAreFrames() && s->KeyPacketsNameFrames();
    s->m_bTimestampContainer =
        (index.m_bPtsIncreasing && s->TimestampsAreFrames()) || s->m_bByteSeeks;
    s->m_bByTimestamp = s->m_bTimestampContainer;
    s->m_nFrameCount = s->DeliverableCount();
    while (!s->m_vCountKeys.empty() && s->m_vCountKeys.back().frame >= s->m_nFrameCount) {
        s->m_vCountKeys.pop_back();
    }
    const int64_t count = s->m_nFrameCount;
    // Read for every codec: a decoder that puts out nothing for a damaged packet leaves a gap too.
    s->m_vMayMiss.assign(size_t(index.FrameCount()), 0);
    const AVRational tb = s->m_pFormat->streams[s->m_nStream]->time_base;
    const auto toUnits = [&](int64_t ticks) {
        return av_rescale_q(ticks, tb, AVRational{1, 10000000});
    };
    if (count > 1) {
        const int64_t span = toUnits(index.m_vPts[size_t(count - 1)] - index.m_vPts.front());
        s->m_nAvgTimePerFrame = std::max<int64_t>(1, span / (count - 1));
        s->m_nDuration = span + s->m_nAvgTimePerFrame;
    } else {
        const AVRational rate = s->m_pFormat->streams[s->m_nStream]->avg_frame_rate;
        s->m_nAvgTimePerFrame =
            (rate.num > 0 && rate.den > 0) ? av_rescale(10000000, rate.den, rate.num) : 400000;
        s->m_nDuration = s->m_nAvgTimePerFrame * count;
    }
    // Positions map back to frames only while every frame has at least one unit of time.
    s->m_nDuration = std::max(s->m_nDuration, count);
    *source = std::move(s);
    return S_OK;
}

// Where frames are counted, the index's own key marks may be in decoding order; the key frames
// numbered from their packets are the ones a seek starts from. Neither changes once open.
int64_t CMovieSource::KeyFrameAtOrBefore(int64_t n) const {
    if (m_vCountKeys.empty() || (m_bTimestampContainer && !m_bByteSeeks)) {
        return m_pIndex->KeyAtOrBefore(n);
    }
    const auto key = std::upper_bound(m_vCountKeys.begin(), m_vCountKeys.end(), n,
                                      [](int64_t f, const CountKey& k) { return f < k.frame; });
    return key == m_vCountKeys.begin() ? 0 : std::prev(key)->frame;
}

CMovieSource::~CMovieSource() {
    Forget();
    CloseDecoder();
}

HRESULT CMovieSource::Fail(HRESULT hr, std::string cause) {
    m_strError = std::move(cause);
    return hr;
}

std::string CMovieSource::LostFailure() const {
    std::string text = "the decoder gave no picture for it (damaged data)";
    if (m_nLastError != 0) {
        text += " (after: " + AvErrorText(m_nLastError) + ")";
    }
    return text;
}

std::string CMovieSource::DecodeFailure(int result) const {
    std::string text = result == AVERROR_EOF ? std::string("the stream ended before it")
                                             : "decoding failed: " + AvErrorText(result);
    if (m_nLastError != 0 && m_nLastError != result) {
        text += " (after: " + AvErrorText(m_nLastError) + ")";
    }
    return text;
}

// Only containers that store each frame's presentation time can name frames by it. Others
// (AVI, MPEG program streams) carry decoding times or none, and a frame's guessed time may be
// its neighbour's once pictures are reordered.
bool CMovieSource::TimestampsAreFrames() const {
    const std::string format = m_pFormat->iformat->name;
    if (format.find("mp4") != std::string::npos || format.find("matroska") != std::string::npos) {
        return true;
    }
    const AVCodecParameters* par = m_pFormat->streams[m_nStream]->codecpar;
    return format == "avi" && par->video_delay == 0 && m_pCodec->has_b_frames == 0;
}

// Transport and program streams carry a presentation time in the packet of each picture. Where
// each packet has its own, they name the frames as a timestamp container's do, and a seek starts
// at the key packet's file position.
bool CMovieSource::KeyPacketsNameFrames() const {
    return !m_vCountKeys.empty() && m_pIndex->m_nLeading == 0 &&
           int64_t(m_pIndex->m_vPacketPts.size()) == m_pIndex->FrameCount();
}

int64_t CMovieSource::FrameOfPts(int64_t pts) const {
    if (!m_bByteSeeks) {
        return m_pIndex->FindPts(pts);
    }
    const std::vector<int64_t>& order = m_pIndex->m_vPacketPts;
    const auto it = std::lower_bound(order.begin(), order.end(), pts);
    return it != order.end() && *it == pts ? int64_t(it - order.begin()) : -1;
}

// A file cut short can end inside the last packet the index counted: its picture never comes
// out. The demuxer tells where a packet is shorter than the container says or unreadable; only
// then are the last frames decoded to see which of them come out.
int64_t CMovieSource::DeliverableCount() {
    const CMovieIndex& index = *m_pIndex;
    const int64_t count = index.FrameCount();
    if (count == 0) {
        return count;
    }
    const int64_t key = index.KeyAtOrBefore(count - 1);
    if (Failed(SeekToKey(key))) {
        // A failed seek may still have read on: the next read starts afresh.
        m_nNext = -1;
        return count;
    }
    AVStream* stream = m_pFormat->streams[m_nStream];
    bool cut = false;
    for (;;) {
        const int r = av_read_frame(m_pFormat.get(), m_pPacket.get());
        if (r < 0) {
            cut = cut || r != AVERROR_EOF;
            break;
        }
        if (m_pPacket->stream_index == m_nStream) {
            cut = cut || (m_pPacket->flags & AV_PKT_FLAG_CORRUPT) ||
                  m_pPacket->size < StoredSize(stream, m_pPacket->pos);
        }
        av_packet_unref(m_pPacket.get());
    }
    int64_t delivered = count;
    if (cut && !Failed(SeekToKey(key))) {
        int64_t out = 0;
        int64_t last = -1;
        while (DecodeNext() == 0) {
            if (!m_bSeenKey && IsKeyFrame(m_pFrame.get())) {
                m_bSeenKey = true;
            }
            if (m_bSeenKey) {
                ++out;
                if (m_bByTimestamp && m_pFrame->pts != AV_NOPTS_VALUE) {
                    last = std::max(last, FrameOfPts(m_pFrame->pts));
                }
            }
            av_frame_unref(m_pFrame.get());
        }
        const int64_t seen = m_bByTimestamp ? last + 1 : key + out;
        if (seen > key && seen < count) {
            delivered = seen;
        }
    }
    // The next read seeks, or in counting mode starts the file afresh.
    avcodec_flush_buffers(m_pCodec.get());
    m_bFlushed = false;
    m_nNext = -1;
    return delivered;
}

HRESULT CMovieSource::OpenDecoder() {
    CloseDecoder();
    int r = OpenInput(m_strPath, &m_pFormat);
    if (r < 0) {
        return Fail(E_FAIL, "libavformat cannot open the file: " + AvErrorText(r));
    }
    r = avformat_find_stream_info(m_pFormat.get(), nullptr);
    if (r < 0) {
        return Fail(E_FAIL, "libavformat cannot read the streams: " + AvErrorText(r));
    }
    m_nStream = m_pIndex->m_nTrack;
    if (m_nStream < 0 || m_nStream >= int(m_pFormat->nb_streams)) {
        return Fail(E_FAIL, "the indexed video track " + std::to_string(m_nStream) +
                                " is not among the file's " +
                                std::to_string(m_pFormat->nb_streams) + " streams");
    }
    for (unsigned i = 0; i < m_pFormat->nb_streams; ++i) {
        m_pFormat->streams[i]->discard = int(i) == m_nStream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    const AVCodecParameters* par = m_pFormat->streams[m_nStream]->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_VIDEO) {
        return Fail(E_FAIL, "track " + std::to_string(m_nStream) + " is no video track");
    }
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) {
        return Fail(E_FAIL, "libavcodec: no decoder for codec " + CodecName(par->codec_id));
    }
    m_pCodec.reset(avcodec_alloc_context3(codec));
    m_pPacket.reset(av_packet_alloc());
    m_pFrame.reset(av_frame_alloc());
    if (!m_pCodec || !m_pPacket || !m_pFrame) {
        return Fail(E_OUTOFMEMORY, "no memory for the decoder");
    }
    r = avcodec_parameters_to_context(m_pCodec.get(), par);
    if (r < 0) {
        return Fail(E_FAIL, "libavcodec cannot take the stream's parameters: " + AvErrorText(r));
    }
    // Frame threads, one more than the cores: on two cores this decoded the run from a key frame
    // to a sought frame faster than one thread, two threads or slice threads.
    m_pCodec->thread_count = m_bOneThread ? 1 : 0;
#ifdef AV_CODEC_FLAG_COPY_OPAQUE
    m_pCodec->flags |= AV_CODEC_FLAG_COPY_OPAQUE;
#endif
    r = avcodec_open2(m_pCodec.get(), codec, nullptr);
    if (r < 0) {
        return Fail(E_FAIL, "libavcodec cannot open the decoder for codec " +
                                CodecName(par->codec_id) + ": " + AvErrorText(r));
    }
    m_nCodedWidth = par->width;
    m_nCodedHeight = par->height;
    m_turn = Turn{};
    // Phones store the picture as the sensor saw it and say in the matrix how to show it: the
    // matrix maps (x, y) to (a x + c y, b x + d y). Only quarter turns and mirrors are applied.
    if (const int32_t* m = DisplayMatrix(m_pFormat->streams[m_nStream])) {
        const int a = Sign(m[0]), b = Sign(m[1]), c = Sign(m[3]), d = Sign(m[4]);
        if (b == 0 && c == 0 && a != 0 && d != 0) {
            m_turn = Turn{false, a, b, c, d};
        } else if (a == 0 && d == 0 && b != 0 && c != 0) {
            m_turn = Turn{true, a, b, c, d};
        }
    }
    m_nWidth = m_turn.swap ? m_nCodedHeight : m_nCodedWidth;
    m_nHeight = m_turn.swap ? m_nCodedWidth : m_nCodedHeight;
    m_bFlushed = false;
    // The start of the stream needs no key frame to be right, unless it was cut before one.
    m_bSeenKey = m_pIndex->m_nLeading == 0;
    m_nLastPos = m_nKeyPos[0] = m_nKeyPos[1] = -1;
    m_nLastKeySignature = 0;
    m_nNext = 0;
    m_bCanDiscard = DiscardsOnlyUnreferenced(par);
    m_nDiscardBefore = 0;
    ClearMayMiss();
    m_vDamaged.clear();
    return S_OK;
}

void CMovieSource::CloseDecoder() {
    m_pSws.reset();
    m_pFrame.reset();
    m_pPacket.reset();
    m_pCodec.reset();
    m_pFormat.reset();
}

int CMovieSource::DecodeNext() {
    for (int errors = 0;;) {
        int r = avcodec_receive_frame(m_pCodec.get(), m_pFrame.get());
        if (r == 0) {
            ++m_nDecoded;
            if (m_pFrame->decode_error_flags != 0 || (m_pFrame->flags & AV_FRAME_FLAG_CORRUPT)) {
                MarkDamaged(PacketPosition(m_pFrame.get()));
            }
            return r;
        }
        if (r != AVERROR(EAGAIN) && r != AVERROR_EOF) {
            // One picture failed; those queued behind it still come out.
            m_nLastError = r;
            MarkDamaged(m_nLastPos);
            if (++errors < kDecodeErrorsInARow) {
                continue;
            }
        }
        if (r != AVERROR(EAGAIN)) {
            return r;
        }
        if (m_bFlushed) {
            return AVERROR_EOF;
        }
        r = av_read_frame(m_pFormat.get(), m_pPacket.get());
        if (r < 0) {
            if (r != AVERROR_EOF) {
                m_nLastError = r;
            }
            m_bFlushed = true;
            avcodec_send_packet(m_pCodec.get(), nullptr);
            continue;
        }
        if (m_pPacket->stream_index == m_nStream) {
            if (m_pPacket->pos >= 0) {
                m_nLastPos = m_pPacket->pos;
            }
            if ((m_pPacket->flags & AV_PKT_FLAG_KEY) && m_nLastPos >= 0) {
                m_nKeyPos[0] = m_nKeyPos[1];
                m_nKeyPos[1] = m_nLastPos;
                if (!m_vDamaged.empty() && m_vDamaged.back().second == INT64_MAX) {
                    m_vDamaged.back().second = m_nLastPos;
                }
            }
            if (!m_pIndex->m_vPacketPos.empty()) {
                // Packets without times of their own are named by the frame their picture shows,
                // which the decoder hands on to the picture.
                const int64_t frame = m_pIndex->FrameOfPacket(m_pPacket->pos);
                m_pPacket->pts = frame >= 0 ? frame : AV_NOPTS_VALUE;
            }
            m_pCodec->skip_frame = MayDiscard() ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
            TagWithPosition(m_pPacket.get());
            errors = 0;
            r = avcodec_send_packet(m_pCodec.get(), m_pPacket.get());
            // A damaged packet is dropped; the decoder goes on with the next one.
            if (r < 0) {
                m_nLastError = r;
                MarkDamaged(m_pPacket->pos);
            }
        }
        av_packet_unref(m_pPacket.get());
    }
}

HRESULT CMovieSource::SeekToKey(int64_t key) {
    // A demuxer without an index of its own seeks to a time by guessing: the key packet's file
    // position is exact. Frames are then told by their timestamps, from the first key frame on.
    const auto known = std::upper_bound(m_vCountKeys.begin(), m_vCountKeys.end(), key,
                                        [](int64_t f, const CountKey& k) { return f < k.frame; });
    if (m_bByteSeeks) {
        const bool start = known == m_vCountKeys.begin();
        if (!SeekToByte(start ? 0 : std::prev(known)->before)) {
            return E_FAIL;
        }
        m_bSeenKey = start;
        return S_OK;
    }
    const int64_t pts = m_pIndex->m_vPts[size_t(key)];
    if (av_seek_frame(m_pFormat.get(), m_nStream, pts, AVSEEK_FLAG_BACKWARD) < 0) {
        return E_FAIL;
    }
    avcodec_flush_buffers(m_pCodec.get());
    m_bFlushed = false;
    m_bSeenKey = false;
    m_nNext = -1;
    ClearMayMiss();
    m_vDamaged.clear();
    return S_OK;
}

// The packet in m_pPacket belongs to a frame before the wanted one: the decoder may leave it
// out when nothing refers to it. The wanted frame and every later one are always decoded.
bool CMovieSource::MayDiscard() {
    if (m_nDiscardBefore <= 0 || m_pPacket->pts == AV_NOPTS_VALUE) {
        return false;
    }
    const int64_t frame = FrameOfPts(m_pPacket->pts);
    if (frame < 0 || frame >= m_nDiscardBefore) {
        return false;
    }
    if (!m_vMayMiss[size_t(frame)]) {
        m_vMayMiss[size_t(frame)] = 1;
        m_vMayMissSet.push_back(frame);
    }
    return true;
}

void CMovieSource::ClearMayMiss() {
    for (const int64_t frame : m_vMayMissSet) {
        m_vMayMiss[size_t(frame)] = 0;
    }
    m_vMayMissSet.clear();
}

bool CMovieSource::OnlyDiscardableMissing(int64_t from, int64_t to) const {
    for (int64_t i = from; i < to; ++i) {
        if (!m_vMayMiss[size_t(i)]) {
            return false;
        }
    }
    return true;
}

HRESULT CMovieSource::ReadFrame(int64_t n, uint8_t* dst, int stride) {
    m_strError.clear();
    m_nLastError = 0;
    if (n < 0 || n >= FrameCount()) {
        return Fail(E_INVALIDARG, "frame " + std::to_string(n) + " is not among the " +
                                      std::to_string(FrameCount()) + " frames");
    }
    m_nAsked = n;
    m_nResume = -1;
    const AVFrame* kept = Kept(n);
    // A key frame kept from earlier: the decoder is elsewhere. Reading ahead goes on from the key
    // frame, whose packet the decoder needs again for the frames after it.
    if (kept && !m_vKeyFrames.empty() && m_vKeyFrames.back().frame.get() == kept &&
        m_nNext != n + 1 && n + 1 < FrameCount() && !IsKept(n + 1)) {
        m_nResume = n + 1;
    }
    HRESULT hr = kept ? Deliver(kept, dst, stride) : ReadFrom(n, dst, stride);
    if (m_nLastError != 0 && !m_bOneThread) {
        // Damaged data. Frame threads may hand a patched-up picture out before the decoder marks
        // it so: from now on the movie is decoded on one thread, where the mark comes with it.
        m_bOneThread = true;
        Forget();
        m_strError.clear();
        m_nLastError = 0;
        hr = OpenDecoder();
        if (!Failed(hr)) {
            hr = ReadFrom(n, dst, stride);
        }
    }
    if (Failed(hr)) {
        m_strError = "frame " + std::to_string(n) + ": " +
                     (m_strError.empty() ? std::string("could not be read") : m_strError);
    }
    return hr;
}

// The frame after the last one read is decoded only while nothing else is asked for, and kept
// as the frames on the way to a sought frame are. It is read the way it would be when asked for,
// minus the conversion; a failure ends the reading ahead and is met again, reported, when the
// frame is asked for.
bool CMovieSource::ReadAhead() {
    const int64_t n = m_nResume >= 0 ? m_nResume : m_nNext;
    m_nResume = -1;
    if (n < 0 || n >= FrameCount() || m_nAsked < 0 || n <= m_nAsked ||
        n - m_nAsked > std::min(kReadAhead, int64_t(m_nKeepLimit / 2))) {
        return false;
    }
    m_strError.clear();
    m_nLastError = 0;
    const HRESULT hr = m_bByTimestamp ? ReadByTimestamp(n, nullptr, 0) : ReadByCount(n, nullptr, 0);
    if (hr != S_OK || m_nLastError != 0 || m_nNext != n + 1) {
        if (m_nLastError != 0) {
            Forget(); // frame threads may have handed out patched pictures before the error
        }
        m_strError.clear();
        m_nNext = -1;
        return false;
    }
    return true;
}

// A frame found becomes the newest of its list: the last to make room.
const AVFrame* CMovieSource::Kept(int64_t n) {
    for (std::vector<KeptFrame>* list : {&m_vKept, &m_vKeyFrames}) {
        const auto it = std::find_if(list->begin(), list->end(),
                                     [n](const KeptFrame& kept) { return kept.index == n; });
        if (it != list->end()) {
            std::rotate(it, it + 1, list->end());
            return list->back().frame.get();
        }
    }
    return nullptr;
}

bool CMovieSource::IsKept(int64_t n) const {
    const auto is = [n](const KeptFrame& kept) { return kept.index == n; };
    return std::any_of(m_vKept.begin(), m_vKept.end(), is) ||
           std::any_of(m_vKeyFrames.begin(), m_vKeyFrames.end(), is);
}

void CMovieSource::Forget() {
    m_vKept.clear();
    m_vKeyFrames.clear();
}

// Timestamps first while they tell the frames apart, then counting.
HRESULT CMovieSource::ReadFrom(int64_t n, uint8_t* dst, int stride) {
    if (m_bByTimestamp) {
        HRESULT hr = ReadByTimestamp(n, dst, stride);
        if (hr != S_FALSE) {
            m_nTimestampMisses = 0;
            return hr;
        }
        // Timestamps did not tell this frame apart: count it, and trust no frame they named.
        // Only when that keeps happening are they given up for good.
        m_nNext = -1;
        Forget();
        if (++m_nTimestampMisses < kTimestampMisses) {
            hr = ReadByCount(n, dst, stride);
            m_nNext = -1;
            return hr;
        }
        m_bByTimestamp = false;
    }
    return ReadByCount(n, dst, stride);
}

// S_FALSE: timestamps cannot identify the frame.
HRESULT CMovieSource::ReadByTimestamp(int64_t n, uint8_t* dst, int stride) {
    if (m_bCanDiscard) {
        m_nDiscardBefore = std::max<int64_t>(0, n - kDecodedBehind);
    }
    struct EndDiscard {
        int64_t& before;
        ~EndDiscard() { before = 0; }
    } endDiscard{m_nDiscardBefore};
    int64_t key = KeyFrameAtOrBefore(n);
    const bool forward =
        m_nNext >= 0 && n >= m_nNext && (key <= m_nNext || n - m_nNext < kForwardReach);
    if (!forward) {
        if (Failed(SeekToKey(key))) {
            return S_FALSE;
        }
    }
    for (int tries = 0;;) {
        const int r = DecodeNext();
        if (r < 0) {
            // The stream ended (or broke) before the frame. Frames named on the way to it show
            // where the decoder was: the frame is lost. Otherwise counting may still find it.
            if (m_nNext >= 0 && m_nNext <= n) {
                m_nNext = -1;
                return Fail(E_FAIL, DecodeFailure(r));
            }
            return S_FALSE;
        }
        if (!m_bSeenKey) {
            if (!IsKeyFrame(m_pFrame.get())) {
                av_frame_unref(m_pFrame.get());
                continue;
            }
            m_bSeenKey = true;
            m_nLastError = 0; // what failed before the key frame concerns no frame after it
        }
        const int64_t ts = m_pFrame->pts;
        const int64_t got = ts == AV_NOPTS_VALUE ? -1 : FrameOfPts(ts);
        if (got < 0 || (m_nNext >= 0 && got < m_nNext)) {
            av_frame_unref(m_pFrame.get());
            return S_FALSE;
        }
        // Only frames whose packets the decoder was allowed to leave out may be missing; any
        // other gap is a picture lost to damaged data.
        const bool lost = m_nNext >= 0 && !OnlyDiscardableMissing(m_nNext, got);
        if (lost && m_nNext <= n && n < got) {
            av_frame_unref(m_pFrame.get());
            m_nNext = got + 1;
            return Fail(E_FAIL, LostFailure());
        }
        m_nNext = got + 1;
        // A field pair from a packet the decoder could leave out may lack the field that
        // nothing refers to: such a picture is not kept for later. A frame is left out whole
        // or not at all.
        const bool whole = !m_vMayMiss[size_t(got)] || !IsInterlaced(m_pFrame.get());
        if (whole) {
            Keep(got, n);
        }
        if (got == n) {
            const HRESULT hr = Deliver(m_pFrame.get(), dst, stride);
            av_frame_unref(m_pFrame.get());
            return hr;
        }
        av_frame_unref(m_pFrame.get());
        if (got > n) {
            // Landed after the frame: start from an earlier key frame.
            if (++tries >= kSeekTries || key == 0) {
                return S_FALSE;
            }
            key = KeyFrameAtOrBefore(key - 1);
            if (Failed(SeekToKey(key))) {
                return S_FALSE;
            }
        }
    }
}

// Counting needs a point where the count is known: the start of the stream, or a key frame
// passed before whose position, number and signature were noted. A restart there is checked:
// that key frame must come out again, and every later frame must come from the packet that gave
// it when it was counted from the start (where the demuxer tells packet positions).
HRESULT CMovieSource::ReadByCount(int64_t n, uint8_t* dst, int stride) {
    if (m_vFramePos.empty()) {
        m_vFramePos.assign(size_t(FrameCount()), -1);
    }
    bool pending = false;    // m_pFrame already holds frame m_nNext
    bool restarted = false;  // counting goes on from a noted key frame
    int64_t restartKey = -1; // the key frame it went on from, when found by its position
    auto point = m_vCheckpoints.end();
    for (auto it = m_vCheckpoints.begin(); it != m_vCheckpoints.end() && it->index <= n; ++it) {
        point = it;
    }
    const bool behind = m_nNext < 0 || n < m_nNext;
    if (!m_vCountKeys.empty()) {
        // The nearest key frame before the frame, or an earlier one when that one cannot be
        // found again; the start of the file only for frames before the first one known.
        auto key = std::upper_bound(m_vCountKeys.begin(), m_vCountKeys.end(), n,
                                    [](int64_t f, const CountKey& k) { return f < k.frame; });
        const int64_t nearest = key == m_vCountKeys.begin() ? 0 : std::prev(key)->frame;
        if (behind || nearest > m_nNext + kForwardReach) {
            for (int tries = 0; key != m_vCountKeys.begin() && tries < kSeekTries; ++tries) {
                --key;
                if (RestartAtKey(*key)) {
                    m_nNext = key->frame;
                    pending = restarted = true;
                    restartKey = key - m_vCountKeys.begin();
                    break;
                }
            }
            if (!restarted) {
                const HRESULT hr = OpenDecoder();
                if (Failed(hr)) {
                    return hr;
                }
            }
        }
    } else if (behind ||
               (point != m_vCheckpoints.end() && point->index > m_nNext + kForwardReach)) {
        const bool usable = point != m_vCheckpoints.end();
        if (usable && RestartAt(*point)) {
            m_nNext = point->index;
            pending = true;
            restarted = true;
        } else if (behind || usable) {
            if (usable) {
                m_vCheckpoints.erase(point); // it did not give its frame back
                point = m_vCheckpoints.end();
            }
            // Reopening is the one start of the stream that every demuxer gets right.
            const HRESULT hr = OpenDecoder();
            if (Failed(hr)) {
                return hr;
            }
        }
    }
    for (;;) {
        bool wrong = false;
        const int r = pending ? 0 : DecodeNext();
        if (r == 0 && !pending && !m_bSeenKey) {
            if (!IsKeyFrame(m_pFrame.get())) {
                av_frame_unref(m_pFrame.get());
                continue;
            }
            m_bSeenKey = true;
        }
        if (r < 0) {
            wrong = restarted;
            if (!wrong) {
                m_nNext = -1;
                return Fail(E_FAIL, DecodeFailure(r));
            }
        }
        pending = false;
        const int64_t got = m_nNext;
        const int64_t pos = wrong ? -1 : PacketPosition(m_pFrame.get());
        if (!wrong && got < FrameCount() && pos >= 0) {
            int64_t& known = m_vFramePos[size_t(got)];
            wrong = restarted && known >= 0 && known != pos;
            if (known < 0 && !restarted) {
                known = pos;
            }
        }
        if (wrong || got >= FrameCount()) {
            av_frame_unref(m_pFrame.get());
            if (!restarted) {
                m_nNext = -1;
                return Fail(E_FAIL, "the decoder gave more frames than the index holds");
            }
            // The restart point gave other frames than counting did: never use it again, nor
            // what was kept since.
            Forget();
            if (restartKey >= 0) {
                m_vCountKeys[size_t(restartKey)].bad = true;
                restartKey = -1;
            } else {
                m_vCheckpoints.erase(point);
            }
            const HRESULT hr = OpenDecoder();
            if (Failed(hr)) {
                return hr;
            }
            restarted = false;
            point = m_vCheckpoints.end();
            continue;
        }
        // Where timestamps name frames, a count that disagrees with them is off: the decoder
        // lost pictures on the way, and no frame is shown under another one's number.
        if (m_bByTimestamp && m_pFrame->pts != AV_NOPTS_VALUE) {
            const int64_t named = FrameOfPts(m_pFrame->pts);
            if (named >= 0 && named != got) {
                av_frame_unref(m_pFrame.get());
                m_nNext = -1;
                return Fail(E_FAIL, LostFailure());
            }
        }
        ++m_nNext;
        Keep(got, n);
        if (!restarted && IsKeyFrame(m_pFrame.get())) {
            // The key packet before the newest one lies at or before this frame's packet.
            const int64_t from = m_nKeyPos[0] >= 0 ? m_nKeyPos[0] : m_nKeyPos[1];
            if (from >= 0) {
                Remember(from, got, Signature());
            }
        }
        if (got == n) {
            const HRESULT hr = Deliver(m_pFrame.get(), dst, stride);
            av_frame_unref(m_pFrame.get());
            return hr;
        }
        av_frame_unref(m_pFrame.get());
    }
}

void CMovieSource::Remember(int64_t pos, int64_t index, uint64_t signature) {
    // A key frame that looks like the one before it (a still scene) could be taken for it.
    const bool alike = signature == m_nLastKeySignature;
    m_nLastKeySignature = signature;
    if (alike) {
        return;
    }
    auto it = std::lower_bound(m_vCheckpoints.begin(), m_vCheckpoints.end(), index,
                               [](const Checkpoint& c, int64_t i) { return c.index < i; });
    if (it == m_vCheckpoints.end() || it->index != index) {
        m_vCheckpoints.insert(it, Checkpoint{pos, index, signature});
    }
}

// FNV-1a over the first plane of the decoded key frame.
uint64_t CMovieSource::Signature() const {
    const int bytes = av_image_get_linesize(AVPixelFormat(m_pFrame->format), m_pFrame->width, 0);
    uint64_t h = 14695981039346656037ull;
    for (int y = 0; y < m_pFrame->height && bytes > 0; ++y) {
        const uint8_t* row = m_pFrame->data[0] + ptrdiff_t(y) * m_pFrame->linesize[0];
        for (int x = 0; x < bytes; ++x) {
            h = (h ^ row[x]) * 1099511628211ull;
        }
    }
    return h;
}

// Counting goes on from there: the frame that comes out next is not known yet.
bool CMovieSource::SeekToByte(int64_t pos) {
    if (av_seek_frame(m_pFormat.get(), -1, pos, AVSEEK_FLAG_BYTE) < 0) {
        return false;
    }
    avcodec_flush_buffers(m_pCodec.get());
    m_bFlushed = false;
    m_bSeenKey = true;
    m_nNext = -1;
    ClearMayMiss();
    m_vDamaged.clear();
    m_nLastPos = m_nKeyPos[0] = m_nKeyPos[1] = -1;
    return true;
}

// The restart starts at or before the key frame's packet: the key frame is the first or the
// second key frame that comes out, recognised by its signature.
bool CMovieSource::RestartAt(const Checkpoint& point) {
    if (!SeekToByte(point.pos)) {
        return false;
    }
    int keys = 0;
    for (int i = 0; i < kRestartReach && keys < 2; ++i) {
        if (DecodeNext() < 0) {
            return false;
        }
        if (IsKeyFrame(m_pFrame.get())) {
            ++keys;
            if (Signature() == point.signature) {
                return true;
            }
        }
        av_frame_unref(m_pFrame.get());
    }
    return false;
}

// A byte seek to the key frame's packet: it is the key frame that comes out from that packet
// with that packet's timestamp (leading pictures that refer to the group before may come out
// first), and it looks as it did the first time.
bool CMovieSource::RestartAtKey(CountKey& key) {
    if (key.bad || !SeekToByte(key.before)) {
        return false;
    }
    for (int i = 0; i < kRestartReach; ++i) {
        if (DecodeNext() < 0) {
            break;
        }
        const int64_t at = PacketPosition(m_pFrame.get());
        if (at == key.pos && IsKeyFrame(m_pFrame.get()) &&
            (key.pts == AV_NOPTS_VALUE || m_pFrame->pts == key.pts)) {
            const uint64_t signature = Signature();
            if (key.signature == 0 || key.signature == signature) {
                key.signature = signature;
                m_nLastError = 0; // what failed before the key frame concerns no frame after it
                return true;
            }
        }
        const bool passed = at == key.pos || (at > key.pos && IsKeyFrame(m_pFrame.get()));
        av_frame_unref(m_pFrame.get());
        if (passed) {
            break;
        }
    }
    key.bad = true;
    return false;
}

// Frame `index` (in m_pFrame) on the way to frame `n`: the frames just before it are kept for a
// step back, key frames for the slider, the frames read ahead for a step forward. The oldest kept
// frame makes room: the newest ones are nearest to the frames asked for next. Both lists are
// bounded in frames and in bytes.
void CMovieSource::Keep(int64_t index, int64_t n) {
    const bool key = KeyFrameAtOrBefore(index) == index;
    const bool near = index <= n && n - index < int64_t(kKeptFrames);
    if ((!key && !near) || Damaged(m_pFrame.get())) {
        return;
    }
    if (m_nKeepLimit == 0) {
        const int bytes = av_image_get_buffer_size(AVPixelFormat(m_pFrame->format), m_pFrame->width,
                                                   m_pFrame->height, 1);
        m_nKeepLimit =
            bytes > 0 ? std::clamp<size_t>(kKeptBytes / size_t(bytes), 1, kKeptFrames) : 1;
        m_nKeyLimit =
            bytes > 0 ? std::clamp<size_t>(kKeyFrameBytes / size_t(bytes), 1, kKeyFrames) : 1;
    }
    if (Kept(index)) {
        return;
    }
    FramePtr frame(av_frame_clone(m_pFrame.get()));
    if (!frame) {
        return; // no memory to spare: the frame is decoded again when asked for
    }
    std::vector<KeptFrame>& list = key ? m_vKeyFrames : m_vKept;
    if (list.size() >= (key ? m_nKeyLimit : m_nKeepLimit)) {
        list.erase(list.begin());
    }
    list.push_back(KeptFrame{index, std::move(frame)});
}

// Every picture decoded after damaged data up to the next key frame may refer to what was lost:
// the decoder patches such pictures up from their neighbours, and would show them under this
// frame's number.
void CMovieSource::MarkDamaged(int64_t pos) {
    if (pos >= 0 && (m_vDamaged.empty() || m_vDamaged.back().second != INT64_MAX)) {
        m_vDamaged.emplace_back(pos, INT64_MAX);
    }
}

bool CMovieSource::Damaged(const AVFrame* frame) const {
    if (frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT)) {
        return true;
    }
    const int64_t pos = PacketPosition(frame);
    return std::any_of(m_vDamaged.begin(), m_vDamaged.end(),
                       [&](const auto& range) { return pos >= range.first && pos < range.second; });
}

HRESULT CMovieSource::Deliver(const AVFrame* frame, uint8_t* dst, int stride) {
    if (Damaged(frame)) {
        return Fail(E_FAIL, "its picture depends on damaged data");
    }
    return dst ? Convert(frame, dst, stride) : S_OK; // read ahead: kept only
}

HRESULT CMovieSource::Convert(const AVFrame* frame, uint8_t* dst, int stride) {
    // The cached context frees the one it is given when it makes another.
    m_pSws.reset(sws_getCachedContext(m_pSws.release(), frame->width, frame->height,
                                      AVPixelFormat(frame->format), m_nCodedWidth, m_nCodedHeight,
                                      AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!m_pSws) {
        const char* format = av_get_pix_fmt_name(AVPixelFormat(frame->format));
        return Fail(E_FAIL, std::string("libswscale cannot convert ") +
                                (format ? format : "an unknown pixel format") + " " +
                                std::to_string(frame->width) + "x" + std::to_string(frame->height) +
                                " to bgr24");
    }
    // The converter writes whole blocks of pixels, up to 24 bytes past a row's end, and when
    // a row leaves no room for that it does not convert the last pixels at all. It gets top-down
    // rows with room to spare; they are copied bottom row first.
    const size_t rowBytes = size_t(3) * size_t(m_nCodedWidth);
    const int scratchStride = int((rowBytes + 63) / 64 * 64 + 64);
    try {
        m_vScratch.resize(size_t(scratchStride) * size_t(m_nCodedHeight));
    } catch (const std::bad_alloc&) {
        // On the streaming thread: an error event, not an exception.
        return Fail(E_OUTOFMEMORY, "no memory for the converted picture");
    }
    uint8_t* planes[4] = {m_vScratch.data(), nullptr, nullptr, nullptr};
    int strides[4] = {scratchStride, 0, 0, 0};
    const int rows =
        sws_scale(m_pSws.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
    if (rows <= 0) {
        return Fail(E_FAIL, "libswscale converted no rows");
    }
    if (!m_turn.Turns()) {
        for (int y = 0; y < m_nHeight; ++y) {
            std::memcpy(dst + ptrdiff_t(stride) * (m_nHeight - 1 - y),
                        m_vScratch.data() + ptrdiff_t(scratchStride) * y, rowBytes);
        }
        return S_OK;
    }
    // Upright pixel (X, Y) comes from origin + X stepX + Y stepY; a step backwards starts at the
    // far end of its axis.
    const ptrdiff_t stepX = m_turn.swap ? m_turn.c * ptrdiff_t(scratchStride) : 3 * m_turn.a;
    const ptrdiff_t stepY = m_turn.swap ? 3 * m_turn.b : m_turn.d * ptrdiff_t(scratchStride);
    const ptrdiff_t origin =
        (stepX < 0 ? -stepX * (m_nWidth - 1) : 0) + (stepY < 0 ? -stepY * (m_nHeight - 1) : 0);
    for (int y = 0; y < m_nHeight; ++y) {
        uint8_t* out = dst + ptrdiff_t(stride) * (m_nHeight - 1 - y);
        const uint8_t* in = m_vScratch.data() + origin + stepY * y;
        for (int x = 0; x < m_nWidth; ++x, in += stepX, out += 3) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        }
    }
    return S_OK;
}

} // namespace vx
