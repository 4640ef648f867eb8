// The frame list of a movie's video track, built once per process for each file.
#pragma once

#include "movie/MediaType.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vx {

// Progress of a long indexing: (bytes done, bytes in all). Answers false to cancel.
using IndexProgress = std::function<bool(int64_t done, int64_t total)>;

class CMovieIndex {
public:
    int m_nTrack = -1;           // stream number of the video track
    std::vector<int64_t> m_vPts; // presentation order, in the stream's time base
    std::vector<uint8_t> m_vKey; // 1 where the frame starts a decodable run
    int64_t m_nTimeBaseNum = 1;  // the stream's time base: milliseconds = pts * num / den
    int64_t m_nTimeBaseDen = 1000;
    bool m_bPtsIncreasing = false; // every frame has its own, strictly rising timestamp
    int64_t m_nLeading = 0;        // undecodable packets before the first key frame, left out
    // Key packets whose frame is known, in file order, where frames are counted rather than
    // named by timestamps (empty elsewhere): file position, timestamp (AV_NOPTS_VALUE where the
    // stream's timestamps do not order its frames) and frame number, the undecodable leading
    // frames included.
    struct KeyPacket {
        int64_t pos;
        int64_t pts;
        int64_t frame;
        int64_t before; // position of the packet before it, -1 when none
    };
    std::vector<KeyPacket> m_vKeyPackets;
    // Where m_vKeyPackets is filled and every packet carries its own time: those times in
    // presentation order, the undecodable leading frames included. The index's own times may
    // be shifted from them (decoding times).
    std::vector<int64_t> m_vPacketPts;
    // Where the packets carry no usable times but the pictures their order (H.264, HEVC): the
    // file position of every packet in decoding order and the frame it shows. The packets' times
    // above are then those frame numbers.
    std::vector<int64_t> m_vPacketPos;
    std::vector<int64_t> m_vPacketFrame;

    int64_t FrameCount() const { return int64_t(m_vPts.size()); }
    // Index of the frame with this timestamp, -1 when there is none.
    int64_t FindPts(int64_t pts) const;
    // The frame the packet at this file position shows, -1 when not known.
    int64_t FrameOfPacket(int64_t pos) const;
    // The last key frame at or before the frame.
    int64_t KeyAtOrBefore(int64_t frame) const;

    // The index of a file, from the cache when the file has not changed (same size and time of
    // modification). S_OK, E_ABORT when cancelled, E_FAIL when the file has no video; on
    // failure `reason` (when given) tells why.
    static HRESULT Get(const std::string& path, const IndexProgress& progress,
                       std::shared_ptr<const CMovieIndex>* index, std::string* reason = nullptr);
    static void ClearCache();
};

constexpr HRESULT E_ABORT = int32_t(0x80004004u);

} // namespace vx
