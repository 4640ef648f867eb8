// The start-up check that movie frames can be read on this system.
#pragma once

#include <string>

namespace vx {

// True when the demuxers and decoders the tool's movie files need are present; otherwise
// false, with the first one missing named in `reason` when given.
bool MovieDecodingAvailable(std::string* reason = nullptr);

// The file patterns of every kind of movie the reader opens, for a file dialog:
// "*.mp4;*.m4v;...".
const char* MovieFilePatterns();
// Whether the file's name ends in one of those patterns' extensions (any case).
bool IsMovieFileName(const std::string& path);

} // namespace vx
