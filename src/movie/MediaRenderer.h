// What the media graph asks of the filter that ends it, and what that filter may tell the graph.
#pragma once

#include "movie/MediaType.h"

#include <cstdint>

namespace vx {

class IMediaEventSink {
public:
    virtual ~IMediaEventSink() = default;
    virtual void Notify(long code, intptr_t param1, intptr_t param2) = 0;
};

struct MediaSample {
    const uint8_t* data = nullptr;
    int32_t length = 0;
};

class IMediaRenderer {
public:
    virtual ~IMediaRenderer() = default;

    virtual void JoinGraph(IMediaEventSink* sink) = 0;
    // The input pin's proposal of a media type at a position (0-based).
    virtual HRESULT ProposeMediaType(int position, MediaType* type) = 0;
    virtual HRESULT CheckMediaType(const MediaType* type) = 0;
    virtual HRESULT SetMediaType(const MediaType* type) = 0;
    // The input pin's allocator, made when the pin connects: the size of every sample buffer.
    virtual void SetAllocator(int32_t bufferSize) = 0;
    // Streaming thread. S_OK when the sample was consumed (shown or passed); S_FALSE when the
    // graph stopped streaming before that, so the same sample is offered again later.
    virtual HRESULT DoRenderSample(const MediaSample* sample) = 0;
    // Streaming thread: true when DoRenderSample would return at once (a frame is asked for, or
    // samples pass or go back). While it is false the graph may read ahead.
    virtual bool SampleWanted() const = 0;
    // Pause and stop set streaming off, so a sample held in DoRenderSample is given back.
    virtual void SetStreaming(bool streaming) = 0;
    // A new position: requests and the end-of-stream mark of the old one are dropped.
    virtual void Flush() = 0;
    // Streaming thread: no sample follows until the next position.
    virtual void EndOfStream() = 0;
};

} // namespace vx
