#include "movie/DecodingProbe.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

namespace vx {

bool MovieDecodingAvailable(std::string* reason) {
    const auto missing = [&](std::string what) {
        if (reason) {
            *reason = std::move(what);
        }
        return false;
    };
    for (const char* format : {"avi", "mpeg"}) {
        if (!av_find_input_format(format)) {
            return missing(std::string("libavformat has no ") + format + " demuxer");
        }
    }
    for (const AVCodecID codec : {AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_H264}) {
        if (!avcodec_find_decoder(codec)) {
            return missing(std::string("libavcodec: no decoder for codec ") +
                           avcodec_get_name(codec));
        }
    }
    return true;
}

const char* MovieFilePatterns() {
    return "*.mp4;*.m4v;*.mov;*.qt;*.mkv;*.webm;*.avi;*.mpg;*.mpeg;*.m1v;*.m2v;*.vob;*.ts;*.m2ts;"
           "*.mts;*.flv;*.wmv;*.asf;*.ogv;*.3gp;*.3g2;*.mxf;*.dv;*.y4m;*.ivf;*.h264;*.264;*.hevc;"
           "*.h265;*.265;*.gif";
}

bool IsMovieFileName(const std::string& path) {
    const size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') {
        return false;
    }
    std::string ext = "*" + path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    const std::string_view patterns = MovieFilePatterns();
    for (size_t from = 0; from < patterns.size();) {
        const size_t end = std::min(patterns.find(';', from), patterns.size());
        if (patterns.substr(from, end - from) == ext) {
            return true;
        }
        from = end + 1;
    }
    return false;
}

} // namespace vx
