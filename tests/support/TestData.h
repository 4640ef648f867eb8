// Files kept under tests/data (the regression files that fuzzing found) and the seed corpus that
// the tests hand to the fuzz targets.
#pragma once

#include <string>
#include <vector>

namespace vx::test {

// tests/data/<relative>, or <VEXEL_TEST_DATA>/<relative> when that is set.
std::string TestDataPath(const std::string& relative);
// The regular files of tests/data/<folder>, sorted by name; empty when the folder is missing.
std::vector<std::string> TestDataFiles(const std::string& folder);

// True when the tests were asked for seeds (VEXEL_FUZZ_SEEDS names a folder).
bool FuzzSeedsWanted();
// Writes one seed as <VEXEL_FUZZ_SEEDS>/<target>/<name>; nothing when no seeds are wanted.
void WriteFuzzSeed(const std::string& target, const std::string& name, const std::string& bytes);

} // namespace vx::test
