// The movie-frame constructor of CDibImage lives with the movie reader, so that pictures do
// not depend on movie decoding.
#include "picture/DibImage.h"

#include "movie/DibDrawTarget.h"
#include "movie/MovieError.h"
#include "movie/MovieReader.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <memory>

namespace vx {

CDibImage::CDibImage(const std::string& moviePath, int64_t frameIndex) : CDibImage(NoRaster{}) {
    std::unique_ptr<CMovieReader> reader;
    try {
        reader = std::make_unique<CMovieReader>(moviePath);
    } catch (const std::bad_alloc&) {
        CMovieError error(1, res::LoadString(res::IDS_REASON_NO_MEMORY));
        error.SetDetails(CMyException::FileDetails(moviePath, error.Reason()));
        throw error;
    }
    reader->Seek(frameIndex);
    int width = 0;
    int height = 0;
    reader->GetFrameSize(width, height);
    try {
        AllocateRaster(width, height, true);
    } catch (CMyException& e) {
        e.SetDetails(CMyException::FileDetails(
            moviePath, res::FormatString(res::IDS_REASON_NO_MEMORY_SIZE,
                                         {std::to_string(width), std::to_string(height)})));
        throw;
    }
    CDibDrawTarget target(*this);
    reader->Draw(target, {0, 0, width, height});
    m_strName = moviePath;
    m_nFrameIndex = frameIndex;
}

} // namespace vx
