// The INI parser and writer and the private-profile calls on any bytes.
#include "support/IniChecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// Files go to memory where there is such a folder: the saves sync every time. The name outlives
// every static destructor, so that the clean-up at exit can still read it.
const std::string& Folder() {
    static const std::string* folder = [] {
        std::string base = std::filesystem::is_directory("/dev/shm")
                               ? "/dev/shm"
                               : std::filesystem::temp_directory_path().string();
        auto* path = new std::string(base + "/vexel-ini-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(*path);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(Folder(), ec);
        });
        return path;
    }();
    return *folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string broken = vx::test::CheckIniText(text, Folder());
    if (!broken.empty()) {
        std::fprintf(stderr, "INI rule broken: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
