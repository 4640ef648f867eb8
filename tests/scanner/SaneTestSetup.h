// Shared set-up for the scanner tests: a private SANE configuration that lists only the test
// backend, a watchdog that ends a hung test, and a pump that plays the main window's event loop.
#pragma once

#include "scanner/Acquisition.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <png.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace vx::test {

// Ends the whole program when a test runs longer than it may: nothing waits forever.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit = std::chrono::seconds(60))
        : m_thread([this, limit] {
              std::unique_lock<std::mutex> lock(m_mutex);
              if (!m_cv.wait_for(lock, limit, [this] { return m_done; })) {
                  std::fprintf(stderr, "watchdog: test hung, aborting\n");
                  std::_Exit(3);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_cv.notify_one();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
    std::thread m_thread;
};

// The test backend cancels its reader thread without freeing that thread's buffer. Keeping the
// backend loaded after SANE closes lets the leak checker name it, and the scanner tests
// suppress leaks inside it (see SaneLeaks.cpp).
inline void PinSaneTestBackend() {
    static bool pinned = false;
    if (pinned) {
        return;
    }
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void*) -> int {
            if (info->dlpi_name && std::strstr(info->dlpi_name, "libsane-test") &&
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE)) {
                pinned = true;
            }
            return 0;
        },
        nullptr);
}

class SaneTest : public ::testing::Test {
protected:
    // SANE reads SANE_CONFIG_DIR once a process, so all tests share one folder and rewrite its
    // files; SANE reads them again at each start-up.
    static const std::filesystem::path& ConfigDir() {
        static TempDir dir;
        return dir.Path();
    }

    // Writes the configuration before SANE starts; `testConf` holds test-backend options.
    static void Configure(const std::string& testConf, bool listTestBackend = true) {
        WriteWholeFile((ConfigDir() / "dll.conf").string(), listTestBackend ? "test\n" : "");
        WriteWholeFile((ConfigDir() / "test.conf").string(), testConf);
        setenv("SANE_CONFIG_DIR", ConfigDir().string().c_str(), 1);
        unsetenv("SANE_DEFAULT_DEVICE");
    }

    // Small, fast, white scans: 20 x 40 mm, 118 x 236 pixels at 150 dpi.
    static std::string Devices(int count, const std::string& extra = "") {
        return "number_of_devices " + std::to_string(count) +
               "\nbr_x 20.0\nbr_y 40.0\ntest-picture \"Solid white\"\n" + extra;
    }

    // Fires the scan timer as the event loop would, until `until` holds or the timer stops.
    bool Pump(const std::function<bool()>& until) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!until()) {
            PinSaneTestBackend();
            if (std::chrono::steady_clock::now() > deadline ||
                !ui.FireTimer(CAcquisition::kScanTimerId)) {
                return until();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    Watchdog m_watchdog;
    TempDir m_scans;
    ScriptedPlatform ui;
};

struct PngPicture {
    bool ok = false;
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

inline PngPicture ReadPng(const std::string& path) {
    PngPicture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return picture;
    }
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    picture.ok = png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) != 0;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    return picture;
}

} // namespace vx::test
