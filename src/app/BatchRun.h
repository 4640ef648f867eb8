// The whole job of a command line run without a window: open, place, align, save, export.
#pragma once

#include "app/CommandLine.h"

#include <cstdio>

namespace vx {

// Runs `job` through the document's own commands, writing every message to `out`; the exit
// status: 0 when everything asked for was done, 1 at the first failure (what was written before
// it stays).
int RunBatch(const BatchJob& job, std::FILE* out = stderr);

} // namespace vx
