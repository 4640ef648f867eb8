// Decodes exactly the requested frame of a movie's video track into a bottom-up BGR buffer.
//
// Frames are numbered by the index (presentation order). A seek goes to the key frame at or
// before the wanted one and decodes forward; every decoded frame is identified by its
// timestamp against the index, and frames before the first key frame after a seek are dropped
// (open-GOP leading pictures decoded without their references). Packets of H.264 and HEVC
// streams without times get the number of the frame their picture shows, from the order of
// pictures the index read, and are then found as timestamps find them. When timestamps do not
// identify frames (missing, not in the index, out of sequence) the source counts frames
// from a point known to be right: the start of the stream, or a key frame passed while counting
// whose file position and picture signature were noted (a restart there must give that picture
// back).
//
// On the way to a frame named by timestamp the decoder leaves out earlier pictures that nothing
// refers to. The last frames on the way stay decoded for a step back, as do the next few frames
// read ahead for a step forward and a few key frames.
#pragma once

#include "movie/FfmpegHandles.h"
#include "movie/MovieIndex.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vx {

class CMovieSource {
public:
    // S_OK with the source; E_FAIL when the file has no decodable video, E_ABORT when the
    // indexing was cancelled. On failure `reason` (when given) tells why.
    static HRESULT Open(const std::string& path, const IndexProgress& progress,
                        std::unique_ptr<CMovieSource>* source, std::string* reason = nullptr);
    ~CMovieSource();
    CMovieSource(const CMovieSource&) = delete;
    CMovieSource& operator=(const CMovieSource&) = delete;

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    // Frames that can be delivered: those of the index but a last one the file holds only in
    // part.
    int64_t FrameCount() const { return m_nFrameCount; }
    // Length in 100 ns units: from the first frame's start to the last frame's end.
    int64_t Duration() const { return m_nDuration; }
    int64_t AvgTimePerFrame() const { return m_nAvgTimePerFrame; }
    // The key frame a seek to frame `n` starts from. Safe from any thread.
    int64_t KeyFrameAtOrBefore(int64_t n) const;
    // True while frames are identified by their timestamps.
    bool IdentifiesByTimestamp() const { return m_bByTimestamp; }

    // Frame `n` as 24-bit BGR, bottom row first, rows `stride` bytes apart.
    HRESULT ReadFrame(int64_t n, uint8_t* dst, int stride);
    // Why the last ReadFrame failed, e.g. "frame 12: Invalid data found when processing input".
    const std::string& Error() const { return m_strError; }
    // Decodes and keeps the frame after the last one read, up to a few frames ahead of the last
    // one asked for. False when there is nothing (more) to read ahead.
    bool ReadAhead();
    // Pictures the decoder has put out since the source was opened.
    int64_t FramesDecoded() const { return m_nDecoded; }

private:
    CMovieSource() = default;
    bool TimestampsAreFrames() const;
    bool KeyPacketsNameFrames() const;
    // The frame a timestamp names, -1 when none.
    int64_t FrameOfPts(int64_t pts) const;
    HRESULT OpenDecoder();
    void CloseDecoder();
    // Notes why the call fails for Error().
    HRESULT Fail(HRESULT hr, std::string cause);
    // Why decoding stopped short of a frame: the decoder's result and what broke before it.
    std::string DecodeFailure(int result) const;
    // Why a frame the decoder went past did not come out.
    std::string LostFailure() const;
    int64_t DeliverableCount();
    // Next decoded frame into m_pFrame: 0, AVERROR_EOF at the end, or another error.
    int DecodeNext();
    HRESULT SeekToKey(int64_t key);
    HRESULT ReadFrom(int64_t n, uint8_t* dst, int stride);
    HRESULT ReadByTimestamp(int64_t n, uint8_t* dst, int stride);
    HRESULT ReadByCount(int64_t n, uint8_t* dst, int stride);
    void MarkDamaged(int64_t pos);
    bool Damaged(const AVFrame* frame) const;
    HRESULT Deliver(const AVFrame* frame, uint8_t* dst, int stride);
    HRESULT Convert(const AVFrame* frame, uint8_t* dst, int stride);
    // Keeps a reference to the decoded m_pFrame, which is frame `index`, decoded for frame `n`.
    void Keep(int64_t index, int64_t n);
    const AVFrame* Kept(int64_t n);
    bool IsKept(int64_t n) const;
    void Forget();

    struct Checkpoint {
        int64_t pos;        // file position at or before the key frame's packet
        int64_t index;      // its frame number
        uint64_t signature; // of its decoded picture
    };
    void Remember(int64_t pos, int64_t index, uint64_t signature);
    uint64_t Signature() const;
    bool SeekToByte(int64_t pos);
    bool RestartAt(const Checkpoint& point);
    // Counting restarts at a key frame whose packet the index knows, numbered by the timestamp
    // of that packet.
    struct CountKey {
        int64_t frame;
        int64_t pos;
        int64_t before; // where a restart starts: the packet before, which primes the parser
        int64_t pts;
        uint64_t signature; // of its picture once restarted at, 0 before
        bool bad;           // a restart there did not give it
    };
    std::vector<CountKey> m_vCountKeys; // by frame number
    bool RestartAtKey(CountKey& key);

    std::string m_strPath;
    std::shared_ptr<const CMovieIndex> m_pIndex;
    FormatContextPtr m_pFormat;
    CodecContextPtr m_pCodec;
    PacketPtr m_pPacket;
    FramePtr m_pFrame;
    SwsContextPtr m_pSws;
    std::string m_strError;
    int m_nLastError = 0; // the last read or decoding error of this ReadFrame, 0 when none
    std::vector<uint8_t> m_vScratch; // the converter's output, top row first
    int m_nStream = -1;
    int m_nWidth = 0; // upright, as shown
    int m_nHeight = 0;
    int m_nCodedWidth = 0; // as decoded
    int m_nCodedHeight = 0;
    // How the decoded picture is turned upright: shown (x, y) = (a x + c y, b x + d y) with the
    // axes swapped or not, each of a, b, c, d -1, 0 or 1.
    struct Turn {
        bool swap = false;
        int a = 1, b = 0, c = 0, d = 1;
        bool Turns() const { return swap || a < 0 || d < 0; }
    };
    Turn m_turn;
    int64_t m_nDuration = 0;
    int64_t m_nAvgTimePerFrame = 0;
    int64_t m_nFrameCount = 0;
    bool m_bTimestampContainer = false; // the container names every frame by its timestamp
    bool m_bByTimestamp = true;
    bool m_bByteSeeks = false;  // timestamps name frames, seeks go to key packets' positions
    int m_nTimestampMisses = 0; // seeks in a row that timestamps could not place
    bool m_bOneThread = false;  // the decoder runs on one thread, since data was damaged
    bool m_bFlushed = false;    // the demuxer ended and the decoder was told so
    bool m_bSeenKey = false;    // a key frame came out since the last seek
    int64_t m_nNext = -1;       // frame the decoder gives next; -1 when not known
    int64_t m_nDecoded = 0;     // pictures the decoder put out
    std::vector<Checkpoint> m_vCheckpoints; // key frames passed while counting, by number
    int64_t m_nLastPos = -1;                // newest known packet position sent to the decoder
    int64_t m_nKeyPos[2] = {-1, -1};        // that position at the last two key packets sent
    uint64_t m_nLastKeySignature = 0;
    std::vector<int64_t> m_vFramePos; // packet position of each frame counted, or -1
    // Packet positions from damaged data to the next key packet, since the last seek.
    std::vector<std::pair<int64_t, int64_t>> m_vDamaged;

    struct KeptFrame {
        int64_t index;
        FramePtr frame;
    };
    std::vector<KeptFrame> m_vKept;      // recent frames, oldest first
    std::vector<KeptFrame> m_vKeyFrames; // key frames, oldest first
    size_t m_nKeepLimit = 0;             // how many may be kept; 0 until the frame size is known
    size_t m_nKeyLimit = 0;
    int64_t m_nAsked = -1;  // the last frame asked for
    int64_t m_nResume = -1; // the frame reading ahead starts from, when not m_nNext

    // While decoding towards a frame by timestamp, packets of earlier frames that no other
    // frame refers to need not be decoded. The frames whose packets went to the decoder that way
    // since the last seek may be missing from its output.
    bool m_bCanDiscard = false;         // the decoder drops only frames that nothing refers to
    int64_t m_nDiscardBefore = 0;       // packets of frames before this one may be dropped
    std::vector<uint8_t> m_vMayMiss;    // by frame number, one for each frame
    std::vector<int64_t> m_vMayMissSet; // the numbers set in m_vMayMiss
    bool MayDiscard();
    void ClearMayMiss();
    bool OnlyDiscardableMissing(int64_t from, int64_t to) const;
};

} // namespace vx
