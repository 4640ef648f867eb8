// The renderer that ends the graph of an open movie: shows nothing, hands one decoded frame to
// the movie reader for each request.
#pragma once

#include "movie/Event.h"
#include "movie/MediaRenderer.h"
#include "movie/VideoReader.h"

#include <atomic>
#include <mutex>
#include <optional>

namespace vx {

class CVideoReaderFilter : public IMediaRenderer, public IVideoReader {
public:
    static constexpr const char* kName = "VideoReader";
    static constexpr const char* kPinName = "In";

    CVideoReaderFilter();
    ~CVideoReaderFilter() override;

    // IVideoReader
    HRESULT GetMediaType(MediaType* type) override;
    HRESULT GetBufferSize(int32_t* size) override;
    HRESULT SetSkip(bool skip) override;
    HRESULT RequestFrame() override;
    HRESULT SetGrabAll(bool grabAll) override;
    HRESULT SetBuffer(int32_t reserved, int32_t size, uint8_t* buffer) override;
    HRESULT GetDataLength(bool reset, int32_t* length) override;
    HRESULT SetNotifyEvent(CEvent* event) override;

    // IMediaRenderer
    void JoinGraph(IMediaEventSink* sink) override;
    HRESULT ProposeMediaType(int position, MediaType* type) override;
    HRESULT CheckMediaType(const MediaType* type) override;
    HRESULT SetMediaType(const MediaType* type) override;
    void SetAllocator(int32_t bufferSize) override;
    HRESULT DoRenderSample(const MediaSample* sample) override;
    bool SampleWanted() const override;
    void SetStreaming(bool streaming) override;
    void Flush() override;
    void EndOfStream() override;

private:
    std::mutex m_lock; // the object lock: guards the connection type and the setters' fields
    MediaType m_mtConnection;
    CEvent m_evSkip{CEvent::Kind::Manual};
    CEvent m_evOneFrame{CEvent::Kind::Auto};
    CEvent m_evGrabAll{CEvent::Kind::Manual};
    // Signalled while the graph is not streaming; lets a held sample go back unconsumed.
    CEvent m_evNotStreaming{CEvent::Kind::Manual, true};
    std::atomic<CEvent*> m_pNotify{nullptr};
    std::atomic<int32_t> m_nCopied{0};
    std::atomic<int32_t> m_nBufferSize{0};
    std::atomic<uint8_t*> m_pBuffer{nullptr};

    std::optional<int32_t> m_nAllocatorSize; // under m_lock
    IMediaEventSink* m_pSink = nullptr;      // under m_eosLock
    std::mutex m_eosLock;
    bool m_bEndOfStream = false; // under m_eosLock
};

} // namespace vx
