// Reads one movie file a frame at a time through a media graph that ends in the frame-grabbing
// renderer. Every failed graph call raises CMovieError code 9, which tells why.
#pragma once

#include "movie/DrawTarget.h"
#include "movie/Event.h"
#include "movie/MediaType.h"
#include "movie/MovieIndex.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vx {

class CMediaGraph;
class IVideoReader;

class CMovieReader {
public:
    // `progress` is asked about a long indexing and may cancel it (CMovieError code 0, which
    // reports nothing).
    explicit CMovieReader(const std::string& path, const IndexProgress& progress = {});
    virtual ~CMovieReader();
    CMovieReader(const CMovieReader&) = delete;
    CMovieReader& operator=(const CMovieReader&) = delete;

    // The next fetched frame is frame `index` (0-based, within 0 ... count - 1).
    void Seek(int64_t index);
    void GetFrameSize(int& width, int& height) const;
    int64_t GetFrameCount() const { return m_nFrameCount; }
    // The key frame that decoding frame `index` starts from. Safe from any thread: the index of a
    // movie does not change while it is open.
    int64_t KeyFrameAtOrBefore(int64_t index) const;
    // Where frame `index` starts, in 100 ns units: the position Seek goes to.
    int64_t FrameTime(int64_t index) const;
    // Asks for one frame; its length, 0 when none came (end of the stream, decoding failed).
    int32_t FetchFrame();
    const uint8_t* GetFrame(int32_t* length);
    const uint8_t* GetFrameOrBlack(int32_t* length = nullptr);
    void Draw(IDrawTarget& target, const DrawRect& rect);

    const std::string& GetPath() const { return m_strPath; }
    const BitmapInfoHeader& GetBitmapHeader() const { return m_videoFormat.bmiHeader; }
    int32_t GetBufferSize() const { return m_nBufferSize; }

    // Why the last failure happened: the reason of the last error raised, or why the last fetch
    // got no frame when decoding failed (empty when that fetch met no error).
    const std::string& FailureReason() const { return m_strFailure; }

protected:
    // Raises CMovieError: code 0 for a cancelled indexing, code 9 for any other failure.
    virtual void Check(HRESULT hr);

private:
    // Check with the reason the graph gave for its failed call.
    void CheckGraph(HRESULT hr);
    // Check with the step that failed, e.g. "SetBuffer: invalid argument".
    void CheckFor(HRESULT hr, const char* step);
    void CheckFor(HRESULT hr, std::string reason);
    void Open(const IndexProgress& progress);
    void Close();

    std::string m_strPath;
    MediaType m_mediaType;
    int64_t m_nDuration = 0;
    CEvent* m_pGraphEvent = nullptr; // owned by the graph
    std::unique_ptr<CEvent> m_pFrameReady;
    std::unique_ptr<uint8_t[]> m_pBuffer;
    int32_t m_nBufferSize = 0;
    bool m_bRunning = false;
    bool m_bStalled = false; // decoding failed; the graph gives nothing until the next Seek
    VideoInfoHeader m_videoFormat{};
    int64_t m_nFrameCount = 0;
    std::unique_ptr<CMediaGraph> m_pGraph;
    IVideoReader* m_pFilter = nullptr; // owned by the graph
    std::string m_strPending;          // the reason the next failed Check raises
    std::string m_strFailure;
};

} // namespace vx
