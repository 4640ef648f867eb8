#include "movie/MovieReader.h"

#include "movie/MediaGraph.h"
#include "movie/MovieError.h"
#include "movie/MovieSource.h"
#include "movie/VideoReaderFilter.h"

#include <cstring>
#include <new>
#include <utility>

namespace vx {

CMovieReader::CMovieReader(const std::string& path, const IndexProgress& progress)
    : m_strPath(path) {
    try {
        Open(progress);
    } catch (...) {
        Close();
        throw;
    }
}

CMovieReader::~CMovieReader() {
    Close();
}

void CMovieReader::Check(HRESULT hr) {
    if (!Failed(hr)) {
        return;
    }
    m_strFailure = m_strPending.empty() ? ResultText(hr) : std::move(m_strPending);
    m_strPending.clear();
    // Cancelled by the user: nothing to report.
    CMovieError error(hr == E_ABORT ? 0 : 9, m_strFailure);
    error.SetDetails(CMyException::FileDetails(m_strPath, m_strFailure));
    throw error;
}

void CMovieReader::CheckGraph(HRESULT hr) {
    if (Failed(hr)) {
        m_strPending = m_pGraph->Error();
    }
    Check(hr);
}

void CMovieReader::CheckFor(HRESULT hr, const char* step) {
    if (Failed(hr)) {
        m_strPending = std::string(step) + ": " + ResultText(hr);
    }
    Check(hr);
}

void CMovieReader::CheckFor(HRESULT hr, std::string reason) {
    if (Failed(hr)) {
        m_strPending = std::move(reason);
    }
    Check(hr);
}

void CMovieReader::Open(const IndexProgress& progress) {
    m_pFrameReady = std::make_unique<CEvent>(CEvent::Kind::Auto);
    m_pGraph.reset(new (std::nothrow) CMediaGraph);
    CheckFor(m_pGraph ? S_OK : E_OUTOFMEMORY, "media graph");
    CheckGraph(m_pGraph->AddSourceFilter(m_strPath, progress));

    std::unique_ptr<CVideoReaderFilter> filter(new (std::nothrow) CVideoReaderFilter);
    CheckFor(filter ? S_OK : E_OUTOFMEMORY, "renderer");
    IVideoReader* control = filter.get();
    CheckGraph(m_pGraph->AddFilter(std::move(filter), CVideoReaderFilter::kName));
    m_pFilter = control;
    CheckGraph(m_pGraph->RenderStream());
    CheckFor(m_pGraph->SetSyncSource(nullptr), "SetSyncSource");
    m_pGraphEvent = m_pGraph->GetEventHandle();

    CheckFor(m_pFilter->GetMediaType(&m_mediaType), "GetMediaType");
    CheckFor(m_pGraph->SetTimeFormat(TimeFormat::MediaTime), "SetTimeFormat");
    CheckFor(m_pGraph->GetDuration(&m_nDuration), "GetDuration");
    CheckFor(m_pFilter->GetBufferSize(&m_nBufferSize), "GetBufferSize");
    if (m_nBufferSize > 0) {
        m_pBuffer.reset(new (std::nothrow) uint8_t[size_t(m_nBufferSize)]());
        CheckFor(m_pBuffer ? S_OK : E_OUTOFMEMORY, "frame buffer");
    }
    CheckFor(m_pFilter->SetBuffer(0, m_nBufferSize, m_pBuffer.get()), "SetBuffer");
    CheckFor(m_pFilter->SetNotifyEvent(m_pFrameReady.get()), "SetNotifyEvent");
    if (m_mediaType.format.size() < sizeof m_videoFormat) {
        CheckFor(E_FAIL, "the connection's media type has no video format");
    }
    std::memcpy(&m_videoFormat, m_mediaType.format.data(), sizeof m_videoFormat);
    CheckFor(m_pGraph->SetTimeFormat(TimeFormat::Frame), "SetTimeFormat");
    CheckFor(m_pGraph->GetDuration(&m_nFrameCount), "GetDuration");
    CheckFor(m_pGraph->SetTimeFormat(TimeFormat::MediaTime), "SetTimeFormat");
    // A movie without frames or with an empty picture cannot be positioned or drawn.
    const BitmapInfoHeader& h = m_videoFormat.bmiHeader;
    if (m_nFrameCount <= 0 || m_nDuration <= 0 || h.biWidth <= 0 || h.biHeight == 0) {
        CheckFor(E_FAIL, "the movie has " + std::to_string(m_nFrameCount) + " frames of " +
                             std::to_string(h.biWidth) + "x" + std::to_string(h.biHeight) +
                             " lasting " + std::to_string(m_nDuration) + " x 100 ns");
    }
    if (!m_bRunning) {
        HRESULT hr = m_pGraph->Run();
        if (hr == S_FALSE) {
            FilterState state;
            hr = m_pGraph->GetState(&state);
        }
        CheckFor(hr, "Run");
        m_bRunning = true;
    }
}

void CMovieReader::Close() {
    if (m_pFilter) {
        m_pFilter->SetSkip(true);
    }
    if (m_pGraph) {
        m_pGraph->Stop();
    }
    // The graph owns the filter; its streaming thread ends before the buffer goes.
    m_pGraph.reset();
    m_pFilter = nullptr;
    m_pGraphEvent = nullptr;
    m_pBuffer.reset();
}

void CMovieReader::Seek(int64_t index) {
    CheckFor(m_pFilter->SetSkip(true), "SetSkip");
    const int64_t position = FrameTime(index);
    m_pGraph->Pause();
    m_pGraph->SetPositions(position, m_nDuration);
    // A frame signalled for the old position must not answer the next fetch.
    m_pFrameReady->Reset();
    m_bStalled = false;
    CheckFor(m_pFilter->SetSkip(false), "SetSkip");
    m_pGraph->Run();
    FilterState state;
    m_pGraph->GetState(&state);
}

int64_t CMovieReader::KeyFrameAtOrBefore(int64_t index) const {
    return m_pGraph->Source()->KeyFrameAtOrBefore(index);
}

int64_t CMovieReader::FrameTime(int64_t index) const {
    return int64_t(__int128(m_nDuration) * index / m_nFrameCount);
}

void CMovieReader::GetFrameSize(int& width, int& height) const {
    width = m_videoFormat.bmiHeader.biWidth;
    height = m_videoFormat.bmiHeader.biHeight;
}

int32_t CMovieReader::FetchFrame() {
    int32_t length = 0;
    // No error event comes twice: waiting for one more frame would be waiting for ever. The
    // reason of the failure stands.
    if (m_bStalled) {
        return 0;
    }
    m_strFailure.clear();
    CheckFor(m_pFilter->RequestFrame(), "RequestFrame");
    FilterState state;
    CheckFor(m_pGraph->GetState(&state), "GetState");
    while (state == State_Running) {
        const int which = CEvent::WaitForAny({m_pFrameReady.get(), m_pGraphEvent});
        if (which != 1) {
            break;
        }
        long code = 0;
        intptr_t p1 = 0;
        intptr_t p2 = 0;
        if (m_pGraph->GetEvent(&code, &p1, &p2) == S_OK) {
            m_pGraph->FreeEventParams(code, p1, p2);
            // An error ends the fetch like the end of the stream: no frame came.
            if (code == EC_ERRORABORT) {
                m_strFailure = m_pGraph->Error();
                m_bStalled = true;
            }
            if (code == EC_COMPLETE || code == EC_ERRORABORT) {
                break;
            }
        }
    }
    CheckFor(m_pFilter->GetDataLength(true, &length), "GetDataLength");
    return length;
}

const uint8_t* CMovieReader::GetFrame(int32_t* length) {
    const int32_t n = FetchFrame();
    if (length) {
        *length = n;
    }
    return n > 0 ? m_pBuffer.get() : nullptr;
}

const uint8_t* CMovieReader::GetFrameOrBlack(int32_t* length) {
    const int32_t n = FetchFrame();
    if (n == 0) {
        std::memset(m_pBuffer.get(), 0, size_t(m_nBufferSize));
    }
    if (length) {
        *length = n;
    }
    return m_pBuffer.get();
}

void CMovieReader::Draw(IDrawTarget& target, const DrawRect& rect) {
    const uint8_t* bits = GetFrameOrBlack();
    const int old = target.SetStretchMode(kStretchColorOnColor);
    const BitmapInfoHeader& h = m_videoFormat.bmiHeader;
    target.StretchDIBits(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0, 0,
                         h.biWidth, h.biHeight, bits, h);
    target.SetStretchMode(old);
}

} // namespace vx
