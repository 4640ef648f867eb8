#include "movie/MovieReader.h"

#include "base/MyException.h"
#include "movie/MediaGraph.h"
#include "movie/VideoReaderFilter.h"

#include <cstring>
#include <new>

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
    if (hr == E_ABORT) {
        throw CMyException(0); // cancelled by the user: nothing to report
    }
    if (Failed(hr)) {
        throw CMyException(9);
    }
}

void CMovieReader::Open(const IndexProgress& progress) {
    m_pFrameReady = std::make_unique<CEvent>(CEvent::Kind::Auto);
    m_pGraph.reset(new (std::nothrow) CMediaGraph);
    Check(m_pGraph ? S_OK : E_OUTOFMEMORY);
    Check(m_pGraph->AddSourceFilter(m_strPath, progress));

    std::unique_ptr<CVideoReaderFilter> filter(new (std::nothrow) CVideoReaderFilter);
    Check(filter ? S_OK : E_OUTOFMEMORY);
    IVideoReader* control = filter.get();
    Check(m_pGraph->AddFilter(std::move(filter), CVideoReaderFilter::kName));
    m_pFilter = control;
    Check(m_pGraph->RenderStream());
    Check(m_pGraph->SetSyncSource(nullptr));
    m_pGraphEvent = m_pGraph->GetEventHandle();

    Check(m_pFilter->GetMediaType(&m_mediaType));
    Check(m_pGraph->SetTimeFormat(TimeFormat::MediaTime));
    Check(m_pGraph->GetDuration(&m_nDuration));
    Check(m_pFilter->GetBufferSize(&m_nBufferSize));
    if (m_nBufferSize > 0) {
        m_pBuffer.reset(new (std::nothrow) uint8_t[size_t(m_nBufferSize)]());
        Check(m_pBuffer ? S_OK : E_OUTOFMEMORY);
    }
    Check(m_pFilter->SetBuffer(0, m_nBufferSize, m_pBuffer.get()));
    Check(m_pFilter->SetNotifyEvent(m_pFrameReady.get()));
    if (m_mediaType.format.size() < sizeof m_videoFormat) {
        Check(E_FAIL);
    }
    std::memcpy(&m_videoFormat, m_mediaType.format.data(), sizeof m_videoFormat);
    Check(m_pGraph->SetTimeFormat(TimeFormat::Frame));
    Check(m_pGraph->GetDuration(&m_nFrameCount));
    Check(m_pGraph->SetTimeFormat(TimeFormat::MediaTime));
    // A movie without frames or with an empty picture cannot be positioned or drawn.
    if (m_nFrameCount <= 0 || m_nDuration <= 0 || m_videoFormat.bmiHeader.biWidth <= 0 ||
        m_videoFormat.bmiHeader.biHeight == 0) {
        Check(E_FAIL);
    }
    if (!m_bRunning) {
        HRESULT hr = m_pGraph->Run();
        if (hr == S_FALSE) {
            FilterState state;
            hr = m_pGraph->GetState(&state);
        }
        Check(hr);
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
    Check(m_pFilter->SetSkip(true));
    const int64_t position = int64_t(__int128(m_nDuration) * index / m_nFrameCount);
    m_pGraph->Pause();
    m_pGraph->SetPositions(position, m_nDuration);
    // A frame signalled for the old position must not answer the next fetch.
    m_pFrameReady->Reset();
    Check(m_pFilter->SetSkip(false));
    m_pGraph->Run();
    FilterState state;
    m_pGraph->GetState(&state);
}

void CMovieReader::GetFrameSize(int& width, int& height) const {
    width = m_videoFormat.bmiHeader.biWidth;
    height = m_videoFormat.bmiHeader.biHeight;
}

int32_t CMovieReader::FetchFrame() {
    int32_t length = 0;
    Check(m_pFilter->RequestFrame());
    FilterState state;
    Check(m_pGraph->GetState(&state));
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
            if (code == EC_COMPLETE || code == EC_ERRORABORT) {
                break;
            }
        }
    }
    Check(m_pFilter->GetDataLength(true, &length));
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
