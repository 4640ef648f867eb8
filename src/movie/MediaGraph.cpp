#include "movie/MediaGraph.h"

#include "movie/MovieSource.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vx {

CMediaGraph::CMediaGraph() = default;

CMediaGraph::~CMediaGraph() {
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_lock);
            m_bQuit = true;
        }
        m_pRenderer->SetStreaming(false);
        m_cond.notify_all();
        m_thread.join();
    }
}

std::string CMediaGraph::Error() const {
    std::lock_guard lock(m_errorLock);
    return m_strError;
}

HRESULT CMediaGraph::Fail(HRESULT hr, std::string reason) {
    std::lock_guard lock(m_errorLock);
    m_strError = std::move(reason);
    return hr;
}

HRESULT CMediaGraph::AddSourceFilter(const std::string& path, const IndexProgress& progress) {
    if (m_pSource) {
        return Fail(E_UNEXPECTED, "the graph has a source already");
    }
    std::string reason;
    const HRESULT hr = CMovieSource::Open(path, progress, &m_pSource, &reason);
    return Failed(hr) ? Fail(hr, std::move(reason)) : hr;
}

HRESULT CMediaGraph::AddFilter(std::unique_ptr<IMediaRenderer> renderer, const std::string& name) {
    if (!renderer) {
        return Fail(E_POINTER, "no renderer");
    }
    if (m_pRenderer) {
        return Fail(E_UNEXPECTED, "the graph has a renderer already");
    }
    m_pRenderer = std::move(renderer);
    m_strRendererName = name;
    m_pRenderer->JoinGraph(this);
    return S_OK;
}

HRESULT CMediaGraph::RenderStream() {
    if (!m_pSource || !m_pRenderer) {
        return Fail(E_UNEXPECTED, "the graph lacks its source or its renderer");
    }
    if (m_bConnected) {
        return S_OK;
    }
    const int w = m_pSource->Width();
    const int h = m_pSource->Height();
    if (w <= 0 || h <= 0 || w > CDibImage::kMaxSide || h > CDibImage::kMaxSide) {
        return Fail(VFW_E_TYPE_NOT_ACCEPTED, "a picture of " + std::to_string(w) + "x" +
                                                 std::to_string(h) + " cannot be shown");
    }
    // The converter makes only 24-bit RGB: find it among the pin's proposals.
    bool proposed = false;
    MediaType proposal;
    for (int i = 0; m_pRenderer->ProposeMediaType(i, &proposal) == S_OK; ++i) {
        if (proposal.majortype == MajorType::Video && proposal.subtype == SubType::RGB24) {
            proposed = true;
            break;
        }
    }
    if (!proposed) {
        return Fail(VFW_E_TYPE_NOT_ACCEPTED, "the renderer takes no 24-bit RGB");
    }
    m_nStride = CDibImage::StrideFor(w);
    VideoInfoHeader vih;
    vih.rcSource = {0, 0, w, h};
    vih.rcTarget = {0, 0, w, h};
    vih.AvgTimePerFrame = m_pSource->AvgTimePerFrame();
    vih.bmiHeader.biSize = 40;
    vih.bmiHeader.biWidth = w;
    vih.bmiHeader.biHeight = h;
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = 24;
    vih.bmiHeader.biSizeImage = uint32_t(m_nStride) * uint32_t(h);
    MediaType type{MajorType::Video, SubType::RGB24, FormatType::VideoInfo, {}};
    type.format.resize(sizeof vih);
    std::memcpy(type.format.data(), &vih, sizeof vih);
    if (m_pRenderer->CheckMediaType(&type) != S_OK) {
        return Fail(VFW_E_TYPE_NOT_ACCEPTED, "the renderer refused the 24-bit RGB format");
    }
    HRESULT hr = m_pRenderer->SetMediaType(&type);
    if (Failed(hr)) {
        return Fail(hr, "the renderer could not take the 24-bit RGB format");
    }
    const size_t bytes = size_t(m_nStride) * size_t(h);
    if (bytes > size_t(INT32_MAX)) {
        return Fail(E_OUTOFMEMORY, "a frame of " + std::to_string(bytes) + " bytes is too large");
    }
    m_vSample.assign(bytes, 0);
    m_pRenderer->SetAllocator(int32_t(bytes));
    m_nStop = m_pSource->FrameCount();
    m_bConnected = true;
    return S_OK;
}

HRESULT CMediaGraph::GetEvent(long* code, intptr_t* param1, intptr_t* param2) {
    if (!code || !param1 || !param2) {
        return E_POINTER;
    }
    std::lock_guard lock(m_eventLock);
    if (m_events.empty()) {
        return E_ABORT;
    }
    const Event e = m_events.front();
    m_events.pop_front();
    if (m_events.empty()) {
        m_evEvents.Reset();
    }
    *code = e.code;
    *param1 = e.param1;
    *param2 = e.param2;
    return S_OK;
}

void CMediaGraph::Notify(long code, intptr_t param1, intptr_t param2) {
    std::lock_guard lock(m_eventLock);
    m_events.push_back({code, param1, param2});
    m_evEvents.Set();
}

HRESULT CMediaGraph::Run() {
    if (!m_bConnected) {
        return VFW_E_NOT_CONNECTED;
    }
    if (!m_thread.joinable()) {
        m_thread = std::thread(&CMediaGraph::Stream, this);
    }
    return ChangeState(State_Running);
}

HRESULT CMediaGraph::Pause() {
    return ChangeState(State_Paused);
}

HRESULT CMediaGraph::Stop() {
    return ChangeState(State_Stopped);
}

HRESULT CMediaGraph::ChangeState(FilterState state) {
    if (!m_bConnected) {
        return state == State_Stopped ? S_OK : VFW_E_NOT_CONNECTED;
    }
    std::unique_lock lock(m_lock);
    m_state = state;
    m_pRenderer->SetStreaming(state == State_Running);
    if (state != State_Running) {
        // Leaving running ends only when the streaming thread has let go of its sample.
        m_cond.wait(lock, [&] { return !m_bBusy; });
    }
    m_cond.notify_all();
    return S_OK;
}

HRESULT CMediaGraph::GetState(FilterState* state) {
    if (!state) {
        return E_POINTER;
    }
    std::lock_guard lock(m_lock);
    *state = m_state;
    return S_OK;
}

HRESULT CMediaGraph::SetTimeFormat(TimeFormat format) {
    m_timeFormat = format;
    return S_OK;
}

HRESULT CMediaGraph::GetDuration(int64_t* duration) {
    if (!duration) {
        return E_POINTER;
    }
    if (!m_pSource) {
        return E_UNEXPECTED;
    }
    *duration = m_timeFormat == TimeFormat::Frame ? m_pSource->FrameCount() : m_pSource->Duration();
    return S_OK;
}

// A media time t is the frame i with duration * i / count == t (truncated), which is the frame
// whose start is the first at or after t: ceil(t * count / duration).
int64_t CMediaGraph::ToFrame(int64_t position) const {
    const int64_t count = m_pSource->FrameCount();
    if (m_timeFormat == TimeFormat::Frame) {
        return std::clamp<int64_t>(position, 0, count);
    }
    const __int128 d = m_pSource->Duration();
    if (position <= 0 || d <= 0) {
        return 0;
    }
    const __int128 frame = (__int128(position) * count + d - 1) / d;
    return int64_t(std::min<__int128>(frame, count));
}

HRESULT CMediaGraph::SetPositions(int64_t current, int64_t stop) {
    if (!m_bConnected) {
        return VFW_E_NOT_CONNECTED;
    }
    std::unique_lock lock(m_lock);
    m_bRepositioning = true;
    m_pRenderer->SetStreaming(false);
    m_cond.wait(lock, [&] { return !m_bBusy; });
    m_nCursor = ToFrame(current);
    m_nStop = std::max(m_nCursor, ToFrame(stop));
    ++m_nGeneration;
    m_bHalted = false;
    m_pRenderer->Flush();
    {
        std::lock_guard events(m_eventLock);
        m_events.clear();
        m_evEvents.Reset();
    }
    m_bRepositioning = false;
    m_pRenderer->SetStreaming(m_state == State_Running);
    m_cond.notify_all();
    return S_OK;
}

void CMediaGraph::Stream() {
    std::unique_lock lock(m_lock);
    for (;;) {
        m_bBusy = false;
        m_cond.notify_all();
        m_cond.wait(lock, [&] {
            return m_bQuit || (m_state == State_Running && !m_bRepositioning && !m_bHalted);
        });
        if (m_bQuit) {
            return;
        }
        m_bBusy = true;
        const int64_t frame = m_nCursor;
        const uint64_t generation = m_nGeneration;
        if (frame >= m_nStop) {
            m_bHalted = true;
            lock.unlock();
            m_pRenderer->EndOfStream();
            lock.lock();
            continue;
        }
        lock.unlock();
        HRESULT hr = S_OK;
        if (m_nSampleFrame != frame) {
            m_nSampleFrame = -1;
            hr = m_pSource->ReadFrame(frame, m_vSample.data(), m_nStride);
            if (!Failed(hr)) {
                m_nSampleFrame = frame;
            }
        }
        if (Failed(hr)) {
            Fail(hr, m_pSource->Error());
            Notify(EC_ERRORABORT, hr, 0);
            lock.lock();
            m_bHalted = true;
            continue;
        }
        // The user mostly steps forward: the next frames are decoded while the renderer waits
        // for a request. Each one ends before a new request, position or state is met.
        while (!m_pRenderer->SampleWanted() && m_pSource->ReadAhead()) {
        }
        const MediaSample sample{m_vSample.data(), int32_t(m_vSample.size())};
        hr = m_pRenderer->DoRenderSample(&sample);
        lock.lock();
        if (hr == S_OK && generation == m_nGeneration) {
            m_nCursor = frame + 1;
        }
    }
}

} // namespace vx
