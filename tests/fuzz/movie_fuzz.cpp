// Fuzz target: any bytes, opened as a movie file the way the Choose Frame dialog does (count,
// then the first, middle and last frames). A movie the reader cannot use must be refused with
// code 9 (code 1 when memory runs out); anything else is a fault.
#include "base/MyException.h"
#include "movie/MovieIndex.h"
#include "movie/MovieReader.h"
#include "support/TempDir.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <unistd.h>

namespace {

const std::string& MoviePath() {
    static const std::string path = [] {
        av_log_set_level(AV_LOG_QUIET);
        return "/tmp/vexel_movie_fuzz_" + std::to_string(getpid()) + ".bin";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = MoviePath();
    vx::test::WriteWholeFile(path, std::string(reinterpret_cast<const char*>(data), size));
    int code = 0;
    try {
        vx::CMovieReader reader(path);
        const int64_t count = reader.GetFrameCount();
        for (const int64_t index : {int64_t(0), count / 2, count - 1}) {
            reader.Seek(index);
            int32_t length = 0;
            reader.GetFrame(&length);
        }
    } catch (const vx::CMyException& e) {
        code = e.m_nError;
    } catch (const std::bad_alloc&) {
        code = 1;
    }
    // The next input is a new file even when its size and time match this one's.
    vx::CMovieIndex::ClearCache();
    std::remove(path.c_str());
    if (code != 0 && code != 9 && code != 1) {
        std::fprintf(stderr, "refused with code %d\n", code);
        std::abort();
    }
    return 0;
}
