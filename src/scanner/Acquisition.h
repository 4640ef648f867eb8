// Image acquisition from scanners and cameras over SANE, in the shape of the seven operations
// the device list relies on: message filter, start-up, shut-down, first, next and default
// source, acquire. A scan runs on a worker thread; its progress dialog, the failure message and
// the completion all happen on the user-interface thread, from a timer of the main window.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vx {

class IPlatform;
class IProgressDialog;

class CAcquisition {
public:
    // One listed device: the name shown, and what SANE says of it.
    struct Device {
        std::string label;
        std::string saneName;
        std::string vendor;
        std::string model;
    };

    // Receives the path of the scanned PNG file; the scanner message of the main window.
    using Completion = std::function<void(const std::string& path)>;

    // The timer of the main window that watches a running scan.
    static constexpr unsigned kScanTimerId = 0x518;
    static constexpr unsigned kScanTimerMs = 50;
    // The timer that watches a running listing of the devices.
    static constexpr unsigned kListTimerId = 0x519;
    static constexpr unsigned kListTimerMs = 20;
    // The resolution asked for, or the nearest the device offers.
    static constexpr int kResolutionDpi = 150;

    // Scans are written into scanFolder; empty: a fresh folder in the system's temporary folder,
    // made at the first scan.
    explicit CAcquisition(IPlatform& ui, std::filesystem::path scanFolder = {});
    ~CAcquisition(); // shuts down
    CAcquisition(const CAcquisition&) = delete;
    CAcquisition& operator=(const CAcquisition&) = delete;

    // Our scan dialog is an ordinary dialog of the platform, so no message is ever consumed.
    bool MessageFilter() const { return false; }
    // Initialises SANE and lists its devices on a worker thread, so that a slow backend never
    // holds up the windows; completions go to onScanned. onListed runs as List's does.
    void Startup(Completion onScanned, std::function<void()> onListed = {});
    // Lists the devices again on the worker. onListed runs on the user-interface thread, from a
    // window timer, once the list is in; asked while a listing runs, that listing answers both.
    void List(std::function<void()> onListed);
    // Blocks until a running listing is in, then runs its onListed.
    void WaitListed();
    // A listing has come in since start-up.
    bool Listed() const { return m_bListed; }
    // Stops a running scan (its file is removed, nothing is delivered) and closes SANE.
    void Shutdown();

    // The latest listing, by a name the user recognises ("Vendor Model", the SANE device name
    // added in brackets when two devices would look the same). False when there is no (further)
    // source; none before the first listing is in.
    bool FirstSource(std::string& name);
    bool NextSource(std::string& name);
    // The device of the latest listing shown as `name`; nullptr when there is none.
    const Device* FindSource(const std::string& name) const;
    // The listed device that SANE_DEFAULT_DEVICE names, else the first one; false when none.
    bool DefaultSource(std::string& name);

    // Starts a colour scan from the named source (an enumerated name or a SANE device name).
    // False, with a beep, while another scan is running or before start-up.
    bool Acquire(const std::string& name);
    bool Busy() const { return m_job != nullptr; }

private:
    struct Job;

    static void RunScan(Job& job, std::mutex& saneMutex, int dpi);
    static std::vector<Device> ReadDevices(); // SANE's mutex held
    void PollListing();
    void FinishListing();
    std::filesystem::path NextScanPath();
    void Poll();
    void FinishJob();

    IPlatform& m_ui;
    std::filesystem::path m_scanFolder;
    bool m_bOwnFolder = false; // made here; removed at shut-down when empty
    Completion m_onScanned;
    bool m_bStarted = false;
    std::vector<Device> m_devices; // of the latest enumeration
    std::size_t m_nNext = 0;
    int m_nScans = 0;
    std::mutex m_saneMutex; // enumeration and opening are not left to run side by side
    std::unique_ptr<Job> m_job;
    std::unique_ptr<IProgressDialog> m_progress;

    std::thread m_lister;
    std::atomic<bool> m_listDone{false};
    bool m_bInitDone = false;            // written by the lister, read after joining it
    std::vector<Device> m_listedDevices; // likewise
    std::vector<std::function<void()>> m_onListed;
    bool m_bListed = false;
};

} // namespace vx
