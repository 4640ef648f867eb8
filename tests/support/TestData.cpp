#include "support/TestData.h"

#include "support/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace vx::test {

namespace fs = std::filesystem;

std::string TestDataPath(const std::string& relative) {
    const char* root = std::getenv("VEXEL_TEST_DATA");
    const fs::path base = root && *root ? fs::path(root) : fs::path(VEXEL_TEST_DATA_DIR);
    return (base / relative).string();
}

std::vector<std::string> TestDataFiles(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::directory_iterator it(TestDataPath(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->is_regular_file(ec)) {
            files.push_back(it->path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool FuzzSeedsWanted() {
    const char* seeds = std::getenv("VEXEL_FUZZ_SEEDS");
    return seeds && *seeds;
}

void WriteFuzzSeed(const std::string& target, const std::string& name, const std::string& bytes) {
    if (!FuzzSeedsWanted()) {
        return;
    }
    const fs::path folder = fs::path(std::getenv("VEXEL_FUZZ_SEEDS")) / target;
    fs::create_directories(folder);
    WriteWholeFile((folder / name).string(), bytes);
}

} // namespace vx::test
