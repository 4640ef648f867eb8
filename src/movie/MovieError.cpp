#include "movie/MovieError.h"

#include <cstdio>

namespace vx {

std::string ResultText(HRESULT hr) {
    switch (hr) {
    case E_FAIL:
        return "failed";
    case E_ABORT:
        return "cancelled";
    case E_OUTOFMEMORY:
        return "out of memory";
    case E_INVALIDARG:
        return "invalid argument";
    case E_POINTER:
        return "null pointer";
    case E_UNEXPECTED:
        return "called out of order";
    case VFW_E_TYPE_NOT_ACCEPTED:
        return "format not accepted";
    case VFW_E_NOT_CONNECTED:
        return "not connected";
    default:
        break;
    }
    char text[32];
    std::snprintf(text, sizeof text, "result 0x%08X", unsigned(hr));
    return text;
}

} // namespace vx
