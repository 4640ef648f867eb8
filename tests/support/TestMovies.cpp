#include "support/TestMovies.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include <unistd.h>

namespace vx::test {

namespace {
// ctest runs every test in a process of its own: the movies are made once for all of them, in a
// folder of this user's, and each test gets a copy of its own.
std::filesystem::path MovieCache() {
    const auto dir =
        std::filesystem::temp_directory_path() / ("vexel-test-movies-" + std::to_string(getuid()));
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return ec ? std::filesystem::path() : dir;
}
} // namespace

std::string RunFfmpeg(const TempDir& dir, const std::string& name, const std::string& arguments) {
    const std::string path = dir.File(name);
    if (std::filesystem::exists(path)) {
        return path;
    }
    static const std::filesystem::path cache = MovieCache();
    char key[32];
    std::snprintf(key, sizeof key, "%016zx-", std::hash<std::string>{}(arguments));
    // Arguments that name this test's folder write other files there: no cache for those.
    const bool cached = !cache.empty() && arguments.find(dir.Path().string()) == std::string::npos;
    const std::filesystem::path kept = cache / (key + name);
    std::error_code ec;
    if (cached && std::filesystem::exists(kept) && std::filesystem::copy_file(kept, path, ec) &&
        !ec) {
        return path;
    }
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y " + arguments +
                                " '" + path + "' > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0 || !std::filesystem::exists(path)) {
        return "";
    }
    if (cached) {
        // Another process may make the same movie at the same time: each renames its own copy.
        const std::filesystem::path part = cache / (key + std::to_string(getpid()) + ".part");
        if (std::filesystem::copy_file(path, part, ec) && !ec) {
            std::filesystem::rename(part, kept, ec);
        }
        std::filesystem::remove(part, ec);
    }
    return path;
}

std::string MovieTestName(const ::testing::TestParamInfo<MovieKind>& info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), '.', '_');
    return name;
}

std::string MakeMovie(const TempDir& dir, const MovieKind& kind) {
    const std::string bit = "mod(floor(N/pow(2,floor(X/20))),2)";
    std::string arguments = "-f lavfi -i \"color=c=black:s=160x120:r=25,format=yuv420p,geq=lum='"
                            "if(eq(lt(Y,60)," +
                            bit + "),235,16)':cb=128:cr=128\" ";
    if (kind.audio) {
        arguments +=
            "-f lavfi -i sine=frequency=440:duration=5 -c:a " + std::string(kind.audio) + " ";
    } else {
        arguments += "-an ";
    }
    arguments += "-frames:v " + std::to_string(kind.frames) + " " + kind.options;
    return RunFfmpeg(dir, kind.name, arguments);
}

int FrameNumberOf(const uint8_t* bits, int width, int height) {
    const int stride = ((3 * width + 3) / 4) * 4;
    const auto white = [&](int x, int yFromTop) {
        return bits[size_t(stride) * size_t(height - 1 - yFromTop) + 3 * x + 1] > 128;
    };
    const auto clean = [&](int x, int yFromTop) {
        const int g = bits[size_t(stride) * size_t(height - 1 - yFromTop) + 3 * x + 1];
        return g < 70 || g > 180;
    };
    int number = 0;
    for (int b = 0; b < 8; ++b) {
        const int x = b * 20 + 10;
        if (!clean(x, 30) || !clean(x, 90) || white(x, 30) == white(x, 90)) {
            return -1;
        }
        number |= white(x, 30) ? (1 << b) : 0;
    }
    return number;
}

Watchdog::Watchdog(std::chrono::seconds limit) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "?";
    m_thread = std::thread([this, limit, name] {
        std::unique_lock lock(m_lock);
        if (!m_cond.wait_for(lock, limit, [this] { return m_bDone; })) {
            std::fprintf(stderr, "watchdog: %s still runs after %lld s\n", name.c_str(),
                         static_cast<long long>(limit.count()));
            std::_Exit(3);
        }
    });
}

Watchdog::~Watchdog() {
    {
        std::lock_guard lock(m_lock);
        m_bDone = true;
    }
    m_cond.notify_all();
    m_thread.join();
}

const MovieKind& MovieSuite::Kind(const std::string& name) {
    const auto it = std::find_if(std::begin(kMovieKinds), std::end(kMovieKinds),
                                 [&](const MovieKind& k) { return name == k.name; });
    if (it == std::end(kMovieKinds)) {
        ADD_FAILURE() << "no test movie " << name;
        return kMovieKinds[0];
    }
    return *it;
}

} // namespace vx::test
