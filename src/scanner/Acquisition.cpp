#include "scanner/Acquisition.h"

#include "base/Platform.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "scanner/ScanImage.h"

#include <poll.h>
#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string_view>
#include <thread>

namespace vx {

struct CAcquisition::Job {
    std::string label;
    std::string saneName;
    std::filesystem::path path;
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    std::atomic<long long> bytesDone{0};
    std::atomic<long long> bytesTotal{0};
    // Written by the worker before it sets done.
    bool cancelled = false;
    std::string error;
    std::thread thread;
};

namespace {

const SANE_Option_Descriptor* FindOption(SANE_Handle handle, const char* name, SANE_Int& index) {
    SANE_Int count = 0;
    if (sane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) !=
        SANE_STATUS_GOOD) {
        return nullptr;
    }
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, i);
        if (d && d->name && std::strcmp(d->name, name) == 0 && SANE_OPTION_IS_ACTIVE(d->cap) &&
            SANE_OPTION_IS_SETTABLE(d->cap)) {
            index = i;
            return d;
        }
    }
    return nullptr;
}

bool ContainsColour(const char* text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find("color") != std::string::npos || lower.find("colour") != std::string::npos;
}

// Colour whenever the device offers it; grey and line-art scans are widened to RGB anyway.
void SelectColourMode(SANE_Handle handle) {
    SANE_Int index = 0;
    const SANE_Option_Descriptor* d = FindOption(handle, SANE_NAME_SCAN_MODE, index);
    if (!d || d->type != SANE_TYPE_STRING || d->constraint_type != SANE_CONSTRAINT_STRING_LIST) {
        return;
    }
    const char* chosen = nullptr;
    for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s) {
        if (std::strcmp(*s, SANE_VALUE_SCAN_MODE_COLOR) == 0) {
            chosen = *s;
            break;
        }
        if (!chosen && ContainsColour(*s)) {
            chosen = *s;
        }
    }
    if (chosen) {
        std::string value(static_cast<std::size_t>(std::max<SANE_Int>(d->size, 1)), '\0');
        std::strncpy(value.data(), chosen, value.size() - 1);
        sane_control_option(handle, index, SANE_ACTION_SET_VALUE, value.data(), nullptr);
    }
}

void SelectResolution(SANE_Handle handle, int dpi) {
    SANE_Int index = 0;
    const SANE_Option_Descriptor* d = FindOption(handle, SANE_NAME_SCAN_RESOLUTION, index);
    if (!d || (d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) ||
        d->size != static_cast<SANE_Int>(sizeof(SANE_Word))) {
        return;
    }
    const SANE_Word want = d->type == SANE_TYPE_FIXED ? SANE_FIX(dpi) : dpi;
    SANE_Word value = want;
    if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
        const SANE_Range* r = d->constraint.range;
        value = std::clamp(want, r->min, r->max);
        if (r->quant > 0) {
            value = r->min + (value - r->min + r->quant / 2) / r->quant * r->quant;
            if (value > r->max) {
                value -= r->quant;
            }
        }
    } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list[0] > 0) {
        const SANE_Word* list = d->constraint.word_list;
        value = list[1];
        for (SANE_Word i = 1; i <= list[0]; ++i) {
            if (std::labs(static_cast<long>(list[i]) - want) <
                std::labs(static_cast<long>(value) - want)) {
                value = list[i];
            }
        }
    }
    sane_control_option(handle, index, SANE_ACTION_SET_VALUE, &value, nullptr);
}

bool FrameKind(SANE_Frame frame, ScanFrameFormat::Kind& kind) {
    switch (frame) {
    case SANE_FRAME_GRAY:
        kind = ScanFrameFormat::Kind::Grey;
        return true;
    case SANE_FRAME_RGB:
        kind = ScanFrameFormat::Kind::Rgb;
        return true;
    case SANE_FRAME_RED:
        kind = ScanFrameFormat::Kind::Red;
        return true;
    case SANE_FRAME_GREEN:
        kind = ScanFrameFormat::Kind::Green;
        return true;
    case SANE_FRAME_BLUE:
        kind = ScanFrameFormat::Kind::Blue;
        return true;
    default:
        return false;
    }
}

} // namespace

// The worker: open, scan every frame, close, write the file.
// Once its first data is waiting, a backend's reader has set up and waits on its pipe, where
// stopping it is harmless. Without a descriptor to watch, a second serves on all but a crowded
// machine.
static void WaitForReaderSetUp(SANE_Handle handle) {
    SANE_Int fd = -1;
    if (sane_get_select_fd(handle, &fd) == SANE_STATUS_GOOD && fd >= 0) {
        pollfd watch{fd, POLLIN, 0};
        while (poll(&watch, 1, 5000) < 0 && errno == EINTR) {
        }
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
}

void CAcquisition::RunScan(Job& job, std::mutex& saneMutex, int dpi) {
    const auto failed = [&job](std::string_view why) {
        return res::FormatString(res::IDS_SCAN_FAILED, {job.label, why});
    };
    SANE_Handle handle = nullptr;
    SANE_Status status;
    {
        std::lock_guard<std::mutex> lock(saneMutex);
        if (job.saneName.empty()) {
            // Not in the last listing: the device may have been plugged in since.
            job.saneName = job.label;
            for (const Device& device : ReadDevices()) {
                if (device.label == job.label) {
                    job.saneName = device.saneName;
                }
            }
        }
        status = sane_open(job.saneName.c_str(), &handle);
    }
    if (status != SANE_STATUS_GOOD) {
        job.error =
            res::FormatString(res::IDS_SCAN_OPEN_FAILED, {job.label, sane_strstatus(status)});
        job.done.store(true, std::memory_order_release);
        return;
    }
    SelectColourMode(handle);
    SelectResolution(handle, dpi);

    CScanImage image;
    std::vector<SANE_Byte> buffer(64 * 1024);
    long long frameBase = 0;
    for (bool last = false; !last && job.error.empty() && !job.cancelled;) {
        if (job.cancel.load()) {
            job.cancelled = true; // before the frame starts: nothing to stop yet
            break;
        }
        status = sane_start(handle);
        SANE_Parameters p{};
        if (status == SANE_STATUS_GOOD) {
            status = sane_get_parameters(handle, &p);
        }
        if (status != SANE_STATUS_GOOD) {
            job.error = failed(sane_strstatus(status));
            break;
        }
        ScanFrameFormat format;
        if (!FrameKind(p.format, format.kind) || (p.depth != 1 && p.depth != 8 && p.depth != 16) ||
            p.pixels_per_line <= 0 || p.bytes_per_line <= 0) {
            job.error = failed(res::LoadString(res::IDS_SCAN_UNREADABLE));
            break;
        }
        format.depth = p.depth;
        format.pixelsPerLine = p.pixels_per_line;
        format.bytesPerLine = p.bytes_per_line;
        format.lines = p.lines;
        const bool onePass =
            format.kind == ScanFrameFormat::Kind::Grey || format.kind == ScanFrameFormat::Kind::Rgb;
        const long long frameBytes = p.lines > 0 ? 1LL * p.lines * p.bytes_per_line : 0;
        job.bytesTotal = frameBytes * (onePass ? 1 : 3);
        image.BeginFrame(format);
        long long read = 0;
        for (;;) {
            SANE_Int length = 0;
            status =
                sane_read(handle, buffer.data(), static_cast<SANE_Int>(buffer.size()), &length);
            if (length > 0) {
                image.AddBytes(buffer.data(), static_cast<std::size_t>(length));
                read += length;
                job.bytesDone = frameBase + read;
            }
            if (status == SANE_STATUS_EOF) {
                break;
            }
            if (status != SANE_STATUS_GOOD) {
                if (status == SANE_STATUS_CANCELLED && job.cancel.load()) {
                    job.cancelled = true;
                } else {
                    job.error = failed(sane_strstatus(status));
                }
                break;
            }
            // A started frame is stopped only once it has sent data: a backend may stop its
            // reader thread at any instruction, and one stopped while it still sets up (inside
            // the allocator) never ends, so sane_cancel waits for it forever.
            if (read > 0 && job.cancel.load()) {
                job.cancelled = true;
                break;
            }
        }
        frameBase += read;
        last = p.last_frame != SANE_FALSE;
        if (read == 0 && !job.error.empty()) {
            // The same danger for a frame that failed before any data: the backend's reader must
            // finish setting up before sane_cancel stops it. A reader stopped too early can die
            // holding a lock of the C library or the loader (locale, allocator), and the exit or
            // sane_exit then waits for it forever.
            WaitForReaderSetUp(handle);
        }
    }
    sane_cancel(handle);
    sane_close(handle);
    if (job.error.empty() && !job.cancelled) {
        image.SavePng(job.path.string(), job.error);
    }
    job.done.store(true, std::memory_order_release);
}

CAcquisition::CAcquisition(IPlatform& ui, std::filesystem::path scanFolder)
    : m_ui(ui), m_scanFolder(std::move(scanFolder)) {}

CAcquisition::~CAcquisition() {
    Shutdown();
}

void CAcquisition::Startup(Completion onScanned, std::function<void()> onListed) {
    m_onScanned = std::move(onScanned);
    List(std::move(onListed));
}

void CAcquisition::List(std::function<void()> onListed) {
    if (onListed) {
        m_onListed.push_back(std::move(onListed));
    }
    if (m_lister.joinable()) {
        return; // the running listing answers
    }
    m_listDone.store(false, std::memory_order_relaxed);
    const bool init = !m_bStarted;
    m_lister = std::thread([this, init] {
        std::lock_guard<std::mutex> lock(m_saneMutex);
        bool started = !init;
        if (init) {
            SANE_Int version = 0;
            started = sane_init(&version, nullptr) == SANE_STATUS_GOOD;
            m_bInitDone = started;
        }
        if (started) {
            m_listedDevices = ReadDevices();
        }
        m_listDone.store(true, std::memory_order_release);
    });
    m_ui.SetTimer(kListTimerId, kListTimerMs, [this] { PollListing(); });
}

void CAcquisition::PollListing() {
    if (!m_lister.joinable()) {
        m_ui.KillTimer(kListTimerId);
    } else if (m_listDone.load(std::memory_order_acquire)) {
        FinishListing();
    }
}

void CAcquisition::WaitListed() {
    if (m_lister.joinable()) {
        FinishListing();
    }
}

void CAcquisition::FinishListing() {
    m_lister.join();
    m_ui.KillTimer(kListTimerId);
    if (m_bInitDone) {
        m_bStarted = true;
        m_bInitDone = false;
    }
    m_devices = std::move(m_listedDevices);
    m_listedDevices.clear();
    m_nNext = 0;
    m_bListed = true;
    std::vector<std::function<void()>> waiting;
    waiting.swap(m_onListed);
    for (auto& onListed : waiting) {
        onListed(); // may list again
    }
}

void CAcquisition::Shutdown() {
    if (m_lister.joinable()) {
        m_onListed.clear();
        FinishListing(); // waits for a slow backend: SANE cannot be left mid-call
    }
    if (m_job) {
        m_job->cancel = true;
        m_job->thread.join();
        std::error_code ec;
        std::filesystem::remove(m_job->path, ec); // finished but never delivered
        m_ui.KillTimer(kScanTimerId);
        m_progress.reset();
        m_job.reset();
    }
    if (m_bStarted) {
        m_devices.clear();
        sane_exit();
        m_bStarted = false;
    }
    if (m_bOwnFolder) {
        // Only when empty: scans the user did not save elsewhere stay.
        std::error_code ec;
        if (std::filesystem::remove(m_scanFolder, ec)) {
            m_scanFolder.clear();
            m_bOwnFolder = false;
        }
    }
}

std::vector<CAcquisition::Device> CAcquisition::ReadDevices() {
    std::vector<Device> devices;
    const SANE_Device** list = nullptr;
    if (sane_get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list) {
        return devices;
    }
    std::map<std::string, int> uses;
    for (const SANE_Device** d = list; *d; ++d) {
        std::string label =
            std::string((*d)->vendor ? (*d)->vendor : "") + " " + ((*d)->model ? (*d)->model : "");
        label.erase(0, label.find_first_not_of(' '));
        label.erase(label.find_last_not_of(' ') + 1);
        if (label.empty()) {
            label = (*d)->name;
        }
        ++uses[label];
        devices.push_back(
            {label, (*d)->name, (*d)->vendor ? (*d)->vendor : "", (*d)->model ? (*d)->model : ""});
    }
    for (Device& device : devices) {
        if (uses[device.label] > 1) {
            device.label += " (" + device.saneName + ")";
        }
    }
    return devices;
}

bool CAcquisition::FirstSource(std::string& name) {
    m_nNext = 0;
    return NextSource(name);
}

bool CAcquisition::NextSource(std::string& name) {
    if (m_nNext >= m_devices.size()) {
        return false;
    }
    name = m_devices[m_nNext++].label;
    return true;
}

const CAcquisition::Device* CAcquisition::FindSource(const std::string& name) const {
    auto it = std::find_if(m_devices.begin(), m_devices.end(),
                           [&](const Device& d) { return d.label == name; });
    return it != m_devices.end() ? &*it : nullptr;
}

bool CAcquisition::DefaultSource(std::string& name) {
    if (m_devices.empty()) {
        return false;
    }
    const char* named = std::getenv("SANE_DEFAULT_DEVICE");
    auto it = std::find_if(m_devices.begin(), m_devices.end(),
                           [named](const Device& d) { return named && d.saneName == named; });
    // Only a listed device: the stored list must name what the next enumeration offers.
    name = it != m_devices.end() ? it->label : m_devices.front().label;
    return true;
}

std::filesystem::path CAcquisition::NextScanPath() {
    std::error_code ec;
    if (m_scanFolder.empty()) {
        std::string pattern =
            (std::filesystem::temp_directory_path(ec) / "vexel-scan-XXXXXX").string();
        if (ec || !mkdtemp(pattern.data())) {
            return {};
        }
        m_scanFolder = pattern;
        m_bOwnFolder = true;
    }
    for (;;) {
        auto path = m_scanFolder / ("scan-" + std::to_string(++m_nScans) + ".png");
        if (!std::filesystem::exists(path, ec)) {
            return path;
        }
    }
}

bool CAcquisition::Acquire(const std::string& name) {
    if (!m_bStarted || m_job) {
        m_ui.Beep();
        return false;
    }
    auto job = std::make_unique<Job>();
    job->label = name;
    if (const Device* known = FindSource(name)) {
        job->saneName = known->saneName;
    }
    job->path = NextScanPath();
    if (job->path.empty()) {
        m_ui.MessageBox(res::LoadString(res::IDS_SCAN_NO_FOLDER), MsgButtons::Ok,
                        MsgIcon::Exclamation);
        return false;
    }
    m_progress = m_ui.OpenProgressDialog(res::FormatString(res::IDS_SCANNING_FROM, {name}), true);
    job->thread = std::thread(RunScan, std::ref(*job), std::ref(m_saneMutex), kResolutionDpi);
    m_job = std::move(job);
    m_ui.SetTimer(kScanTimerId, kScanTimerMs, [this] { Poll(); });
    return true;
}

void CAcquisition::Poll() {
    if (!m_job) {
        m_ui.KillTimer(kScanTimerId);
        return;
    }
    if (m_progress) {
        if (m_progress->Cancelled()) {
            m_job->cancel = true;
        }
        const long long total = m_job->bytesTotal;
        const long long done = std::min<long long>(m_job->bytesDone, total);
        if (total > 0) {
            m_progress->SetProgress(static_cast<int>(done * 1000 / total), 1000);
        } else {
            m_progress->SetProgress(0, 0);
        }
    }
    if (m_job->done.load(std::memory_order_acquire)) {
        FinishJob();
    }
}

void CAcquisition::FinishJob() {
    m_job->thread.join();
    std::unique_ptr<Job> job = std::move(m_job);
    m_ui.KillTimer(kScanTimerId);
    m_progress.reset();
    if (!job->error.empty()) {
        m_ui.MessageBox(job->error, MsgButtons::Ok, MsgIcon::Exclamation);
    } else if (!job->cancelled && m_onScanned) {
        m_onScanned(job->path.string()); // may start the next scan
    }
}

} // namespace vx
