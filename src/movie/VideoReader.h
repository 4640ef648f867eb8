// The private interface of the frame-grabbing renderer, as the movie reader sees it.
#pragma once

#include "movie/MediaType.h"

#include <cstdint>

namespace vx {

class CEvent;

class IVideoReader {
public:
    virtual ~IVideoReader() = default;

    virtual HRESULT GetMediaType(MediaType* type) = 0;
    virtual HRESULT GetBufferSize(int32_t* size) = 0;
    virtual HRESULT SetSkip(bool skip) = 0;
    virtual HRESULT RequestFrame() = 0;
    virtual HRESULT SetGrabAll(bool grabAll) = 0;
    virtual HRESULT SetBuffer(int32_t reserved, int32_t size, uint8_t* buffer) = 0;
    virtual HRESULT GetDataLength(bool reset, int32_t* length) = 0;
    virtual HRESULT SetNotifyEvent(CEvent* event) = 0;
};

} // namespace vx
