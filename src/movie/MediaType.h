// Result codes, media types and the video format block shared by the graph, its renderer and
// the movie reader.
#pragma once

#include "picture/DibImage.h"

#include <cstdint>
#include <vector>

namespace vx {

using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT VFW_S_NO_MORE_ITEMS = 0x00040103;
constexpr HRESULT E_FAIL = int32_t(0x80004005u);
constexpr HRESULT E_POINTER = int32_t(0x80004003u);
constexpr HRESULT E_INVALIDARG = int32_t(0x80070057u);
constexpr HRESULT E_OUTOFMEMORY = int32_t(0x8007000Eu);
constexpr HRESULT E_UNEXPECTED = int32_t(0x8000FFFFu);
constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = int32_t(0x8004022Au);
constexpr HRESULT VFW_E_NOT_CONNECTED = int32_t(0x80040209u);

inline bool Failed(HRESULT hr) {
    return hr < 0;
}

enum class MajorType { None, Video, Audio };
enum class SubType { None, RGB24, RGB32, YUY2, YV12 };
enum class FormatType { None, VideoInfo };

struct RectL {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

struct VideoInfoHeader {
    RectL rcSource;
    RectL rcTarget;
    uint32_t dwBitRate = 0;
    uint32_t dwBitErrorRate = 0;
    int64_t AvgTimePerFrame = 0; // 100 ns units
    BitmapInfoHeader bmiHeader{};
};
static_assert(sizeof(VideoInfoHeader) == 88);

struct MediaType {
    MajorType majortype = MajorType::None;
    SubType subtype = SubType::None;
    FormatType formattype = FormatType::None;
    std::vector<uint8_t> format; // the format block, e.g. a VideoInfoHeader
};

// Graph events.
constexpr long EC_COMPLETE = 1;
constexpr long EC_ERRORABORT = 3;

enum FilterState { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

enum class TimeFormat { MediaTime, Frame };

} // namespace vx
