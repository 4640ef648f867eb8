// A small media graph for one movie: a source that demuxes, decodes and converts the video to
// 24-bit BGR, and the renderer filter that ends it, fed by the graph's own streaming thread.
#pragma once

#include "movie/Event.h"
#include "movie/MediaRenderer.h"
#include "movie/MovieIndex.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vx {

class CMovieSource;

class CMediaGraph : public IMediaEventSink {
public:
    CMediaGraph();
    ~CMediaGraph() override;
    CMediaGraph(const CMediaGraph&) = delete;
    CMediaGraph& operator=(const CMediaGraph&) = delete;

    // Building: the source, then the renderer (the graph owns both), then the connection.
    HRESULT AddSourceFilter(const std::string& path, const IndexProgress& progress = {});
    HRESULT AddFilter(std::unique_ptr<IMediaRenderer> renderer, const std::string& name);
    // Connects the source's video through the colour converter to the renderer's input pin
    // in a type that the renderer accepts.
    HRESULT RenderStream();
    // No reference clock: samples go to the renderer as fast as they are decoded.
    HRESULT SetSyncSource(std::nullptr_t) { return S_OK; }

    // Events: the handle stays signalled while events are queued.
    CEvent* GetEventHandle() { return &m_evEvents; }
    // E_ABORT when no event is queued.
    HRESULT GetEvent(long* code, intptr_t* param1, intptr_t* param2);
    HRESULT FreeEventParams(long, intptr_t, intptr_t) { return S_OK; }
    void Notify(long code, intptr_t param1, intptr_t param2) override;

    HRESULT Run();
    HRESULT Pause();
    HRESULT Stop();
    HRESULT GetState(FilterState* state);

    HRESULT SetTimeFormat(TimeFormat format);
    HRESULT GetDuration(int64_t* duration);
    // Current and stop positions in the current time format; the stop is exclusive.
    HRESULT SetPositions(int64_t current, int64_t stop);

    const CMovieSource* Source() const { return m_pSource.get(); }

    // Why the last failed call or the last error event failed, e.g. "libavcodec: no decoder for
    // codec hevc"; empty while nothing failed. The streaming thread sets it before its event.
    std::string Error() const;

private:
    HRESULT Fail(HRESULT hr, std::string reason);
    void Stream();
    HRESULT ChangeState(FilterState state);
    int64_t ToFrame(int64_t position) const;

    std::unique_ptr<CMovieSource> m_pSource;
    std::unique_ptr<IMediaRenderer> m_pRenderer;
    std::string m_strRendererName;
    bool m_bConnected = false;
    TimeFormat m_timeFormat = TimeFormat::MediaTime;
    int m_nStride = 0;
    std::vector<uint8_t> m_vSample; // streaming thread only, once running
    int64_t m_nSampleFrame = -1;    // the frame m_vSample holds; streaming thread only

    std::mutex m_lock; // guards the state below
    std::condition_variable m_cond;
    FilterState m_state = State_Stopped;
    bool m_bQuit = false;
    bool m_bBusy = false;          // the streaming thread works on a frame
    bool m_bRepositioning = false; // a new position is being set
    bool m_bHalted = false;        // end or error reported for this position
    int64_t m_nCursor = 0;         // next frame to deliver
    int64_t m_nStop = 0;           // first frame not to deliver
    uint64_t m_nGeneration = 0;    // counts positionings
    std::thread m_thread;

    struct Event {
        long code;
        intptr_t param1;
        intptr_t param2;
    };
    std::mutex m_eventLock;
    std::deque<Event> m_events;
    CEvent m_evEvents{CEvent::Kind::Manual};

    mutable std::mutex m_errorLock;
    std::string m_strError; // under m_errorLock
};

} // namespace vx
