#include "movie/VideoReaderFilter.h"

#include <algorithm>
#include <cstring>

namespace vx {

CVideoReaderFilter::CVideoReaderFilter() = default;
CVideoReaderFilter::~CVideoReaderFilter() = default;

HRESULT CVideoReaderFilter::GetMediaType(MediaType* type) {
    std::lock_guard lock(m_lock);
    if (!type) {
        return E_POINTER;
    }
    *type = m_mtConnection;
    return S_OK;
}

HRESULT CVideoReaderFilter::GetBufferSize(int32_t* size) {
    if (!size) {
        return E_INVALIDARG;
    }
    *size = 0;
    std::lock_guard lock(m_lock);
    if (m_nAllocatorSize) {
        *size = *m_nAllocatorSize;
    }
    return S_OK;
}

HRESULT CVideoReaderFilter::SetSkip(bool skip) {
    skip ? m_evSkip.Set() : m_evSkip.Reset();
    return S_OK;
}

HRESULT CVideoReaderFilter::RequestFrame() {
    m_evOneFrame.Set();
    // At the end of the stream no sample will answer: tell the reader again that the stream
    // is complete, so a second fetch past the end does not wait for ever.
    std::lock_guard lock(m_eosLock);
    if (m_bEndOfStream && m_pSink) {
        m_pSink->Notify(EC_COMPLETE, 0, 0);
    }
    return S_OK;
}

HRESULT CVideoReaderFilter::SetGrabAll(bool grabAll) {
    grabAll ? m_evGrabAll.Set() : m_evGrabAll.Reset();
    return S_OK;
}

HRESULT CVideoReaderFilter::SetBuffer(int32_t /*reserved*/, int32_t size, uint8_t* buffer) {
    std::lock_guard lock(m_lock);
    if (size <= 0 || !buffer) {
        return E_INVALIDARG;
    }
    m_nBufferSize = size;
    m_pBuffer = buffer;
    return S_OK;
}

HRESULT CVideoReaderFilter::GetDataLength(bool reset, int32_t* length) {
    if (!length) {
        return E_POINTER;
    }
    *length = reset ? m_nCopied.exchange(0) : m_nCopied.load();
    return S_OK;
}

HRESULT CVideoReaderFilter::SetNotifyEvent(CEvent* event) {
    std::lock_guard lock(m_lock);
    m_pNotify = event;
    return S_OK;
}

void CVideoReaderFilter::JoinGraph(IMediaEventSink* sink) {
    std::lock_guard lock(m_eosLock);
    m_pSink = sink;
}

HRESULT CVideoReaderFilter::ProposeMediaType(int position, MediaType* type) {
    if (!type) {
        return E_POINTER;
    }
    if (position != 0) {
        return VFW_S_NO_MORE_ITEMS;
    }
    *type = MediaType{MajorType::Video, SubType::RGB24, FormatType::None, {}};
    return S_OK;
}

HRESULT CVideoReaderFilter::CheckMediaType(const MediaType* type) {
    if (!type) {
        return E_POINTER;
    }
    if (type->majortype != MajorType::Video || type->subtype != SubType::RGB24 ||
        type->formattype != FormatType::VideoInfo ||
        type->format.size() < sizeof(VideoInfoHeader)) {
        return S_FALSE;
    }
    VideoInfoHeader vih;
    std::memcpy(&vih, type->format.data(), sizeof vih);
    return vih.bmiHeader.biBitCount == 24 ? S_OK : S_FALSE;
}

HRESULT CVideoReaderFilter::SetMediaType(const MediaType* type) {
    std::lock_guard lock(m_lock);
    if (!type) {
        return E_POINTER;
    }
    m_mtConnection = *type;
    return S_OK;
}

void CVideoReaderFilter::SetAllocator(int32_t bufferSize) {
    std::lock_guard lock(m_lock);
    m_nAllocatorSize = bufferSize;
}

HRESULT CVideoReaderFilter::DoRenderSample(const MediaSample* sample) {
    if (!sample) {
        return E_POINTER;
    }
    const uint8_t* data = sample->data;
    const int32_t length = sample->length;
    switch (CEvent::WaitForAny({&m_evSkip, &m_evOneFrame, &m_evGrabAll, &m_evNotStreaming})) {
    case 0:
        return S_OK;
    case 1:
    case 2: {
        const int32_t n = std::min(length, m_nBufferSize.load());
        if (n > 0) {
            std::memcpy(m_pBuffer.load(), data, size_t(n));
        }
        m_nCopied = std::max(n, 0);
        if (CEvent* notify = m_pNotify.load()) {
            notify->Set();
        }
        return S_OK;
    }
    default:
        return S_FALSE;
    }
}

bool CVideoReaderFilter::SampleWanted() const {
    return m_evSkip.IsSet() || m_evOneFrame.IsSet() || m_evGrabAll.IsSet() ||
           m_evNotStreaming.IsSet();
}

void CVideoReaderFilter::SetStreaming(bool streaming) {
    streaming ? m_evNotStreaming.Reset() : m_evNotStreaming.Set();
}

void CVideoReaderFilter::Flush() {
    m_evOneFrame.Reset();
    std::lock_guard lock(m_eosLock);
    m_bEndOfStream = false;
}

void CVideoReaderFilter::EndOfStream() {
    std::lock_guard lock(m_eosLock);
    m_bEndOfStream = true;
    if (m_pSink) {
        m_pSink->Notify(EC_COMPLETE, 0, 0);
    }
}

} // namespace vx
