// What the program was asked for on its command line.
#pragma once

#include "picture/PicturePoint.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vx {

// One slot of a job run without a window: where its picture comes from, how it is placed and
// where the framed picture goes. Unset placement parts keep what the slot had.
struct BatchSlot {
    std::string file;
    std::optional<int64_t> frame; // a movie's 0-based frame
    std::optional<double> zoom;
    std::optional<double> angleDegrees;
    std::optional<std::pair<int, int>> offset; // crop units
    std::string savePath;
};

enum class BatchAlign { None, Points, Scene, Eyes };

struct BatchJob {
    std::string project; // opened in place of the two files
    std::optional<std::pair<int, int>> aspect;
    BatchSlot source;
    BatchSlot target;
    BatchAlign align = BatchAlign::None;
    PointPairs points;
    std::string exportPath;
};

struct CommandLine {
    enum class Action { Run, Batch, Version, Help, Fail };
    Action action = Action::Run;
    // Run: the pictures (source, then target) or the project to open, as given.
    std::vector<std::string> files;
    // Batch: the whole job.
    BatchJob batch;
    // Fail: what was wrong, for the user.
    std::string error;
};

// The arguments after the program's name. "--" ends the options, so that a file whose name
// starts with "-" can be named. Any value in error leaves the action Fail.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text of --help.
const char* CommandLineUsage();

// `path` made absolute and normal, as a file dialog would give it; as given when that fails.
std::string AbsolutePath(const std::string& path);

} // namespace vx
