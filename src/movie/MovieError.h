// The failure of a movie: the code the user is shown, and what went wrong, for the details.
#pragma once

#include "base/MyException.h"
#include "movie/MediaType.h"
#include "movie/MovieIndex.h"

#include <string>
#include <utility>

namespace vx {

class CMovieError : public CMyException {
public:
    CMovieError(int code, std::string reason)
        : CMyException(code), m_strReason(std::move(reason)) {}

    // What failed, in words, e.g. "libavcodec: no decoder for codec hevc".
    const std::string& Reason() const { return m_strReason; }

private:
    std::string m_strReason;
};

// A result code in words, e.g. "out of memory".
std::string ResultText(HRESULT hr);

// The reason a caught error carries: empty when it is no movie error.
inline std::string MovieErrorReason(const CMyException& e) {
    const auto* movie = dynamic_cast<const CMovieError*>(&e);
    return movie ? movie->Reason() : std::string();
}

} // namespace vx
