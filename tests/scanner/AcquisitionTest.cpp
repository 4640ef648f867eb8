#include "SaneTestSetup.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace vx::test {
namespace {

class AcquisitionTest : public SaneTest {
protected:
    void Start(const std::string& testConf) {
        Configure(testConf);
        library = std::make_unique<CAcquisition>(ui, m_scans.Path());
        library->Startup([this](const std::string& path) {
            delivered.push_back(path);
            deliveredOnUiThread = std::this_thread::get_id() == uiThread;
        });
        library->WaitListed();
    }

    std::vector<std::string> Sources() {
        std::vector<std::string> names;
        std::string name;
        for (bool more = library->FirstSource(name); more; more = library->NextSource(name)) {
            names.push_back(name);
        }
        return names;
    }

    // Runs one scan through to its end, as the main window's timer would.
    void ScanToEnd(const std::string& name) {
        ASSERT_TRUE(library->Acquire(name));
        ASSERT_TRUE(Pump([this] { return !library->Busy(); }));
    }

    std::size_t FilesInScanFolder() const {
        auto it = std::filesystem::directory_iterator(m_scans.Path());
        return static_cast<std::size_t>(std::distance(it, {}));
    }

    std::thread::id uiThread = std::this_thread::get_id();
    std::unique_ptr<CAcquisition> library;
    std::vector<std::string> delivered;
    bool deliveredOnUiThread = false;
};

TEST_F(AcquisitionTest, EnumeratesRecognisableDistinctNamesAndPicksTheDefault) {
    Start(Devices(3));
    const std::vector<std::string> names = Sources();
    ASSERT_EQ(names.size(), 3u);
    // Three devices of one model: the SANE name tells them apart.
    EXPECT_EQ(names[0], "Noname frontend-tester (test:0)");
    EXPECT_EQ(names[2], "Noname frontend-tester (test:2)");
    std::string name;
    EXPECT_FALSE(library->NextSource(name)); // stays over

    ASSERT_TRUE(library->DefaultSource(name));
    EXPECT_EQ(name, names[0]);
    setenv("SANE_DEFAULT_DEVICE", "test:2", 1);
    ASSERT_TRUE(library->DefaultSource(name));
    EXPECT_EQ(name, names[2]);
    setenv("SANE_DEFAULT_DEVICE", "test:9", 1); // not connected
    ASSERT_TRUE(library->DefaultSource(name));
    EXPECT_EQ(name, names[0]);
    unsetenv("SANE_DEFAULT_DEVICE");
}

TEST_F(AcquisitionTest, OneDeviceKeepsItsPlainNameAndNoDeviceGivesNoSource) {
    Start(Devices(1));
    EXPECT_EQ(Sources(), std::vector<std::string>{"Noname frontend-tester"});
    library->Shutdown();

    Configure(Devices(1), false);
    library->Startup([](const std::string&) {});
    library->WaitListed();
    std::string name;
    EXPECT_FALSE(library->FirstSource(name));
    EXPECT_FALSE(library->DefaultSource(name));
}

// Start-up and listing run on a worker: nothing is listed and no scan starts until the window
// timer sees the list in, and every caller waiting for it is answered, on the UI thread.
TEST_F(AcquisitionTest, ListsOnAWorkerAndAnswersEveryCallerOnTheUiThread) {
    Configure(Devices(2));
    library = std::make_unique<CAcquisition>(ui, m_scans.Path());
    std::vector<std::string> answered;
    library->Startup({}, [&] {
        answered.push_back(std::this_thread::get_id() == uiThread ? "start" : "worker");
    });
    library->List([&] { answered.push_back("again"); });
    std::string name;
    EXPECT_FALSE(library->Listed());
    EXPECT_FALSE(library->FirstSource(name));
    EXPECT_FALSE(library->Acquire("test:0"));
    EXPECT_TRUE(answered.empty());
    ASSERT_TRUE(ui.TimerRunning(CAcquisition::kListTimerId));
    for (int i = 0; i < 6000 && !library->Listed(); ++i) {
        ui.FireTimer(CAcquisition::kListTimerId);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(library->Listed());
    EXPECT_FALSE(ui.TimerRunning(CAcquisition::kListTimerId));
    EXPECT_EQ(answered, (std::vector<std::string>{"start", "again"}));
    EXPECT_EQ(Sources().size(), 2u);
    // Shut down in the middle of a listing: it is waited for, and nobody is answered.
    library->List([&] { answered.push_back("late"); });
    library->Shutdown();
    EXPECT_EQ(answered.size(), 2u);
    EXPECT_FALSE(ui.TimerRunning(CAcquisition::kListTimerId));
}

TEST_F(AcquisitionTest, ScanDeliversAPngOfTheScannedSizeOnTheUiThread) {
    Start(Devices(2));
    const std::string name = Sources().at(1);
    ScanToEnd(name);

    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_TRUE(deliveredOnUiThread);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(ui.TimerRunning(CAcquisition::kScanTimerId));
    ASSERT_EQ(ui.progressDialogs.size(), 1u);
    EXPECT_EQ(ui.progressDialogs[0].text, "Scanning from " + name);
    EXPECT_TRUE(ui.progressDialogs[0].cancelAllowed);
    EXPECT_FALSE(ui.progressDialogs[0].open);

    const PngPicture picture = ReadPng(delivered[0]);
    ASSERT_TRUE(picture.ok);
    EXPECT_EQ(picture.width, 118);
    EXPECT_EQ(picture.height, 236);
    EXPECT_TRUE(std::all_of(picture.rgb.begin(), picture.rgb.end(),
                            [](unsigned char v) { return v == 255; }));
    EXPECT_EQ(FilesInScanFolder(), 1u); // no temporary file left beside it

    // A second scan gets a file of its own; the first stays for its owner.
    ScanToEnd(name);
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_NE(delivered[0], delivered[1]);
    EXPECT_TRUE(std::filesystem::exists(delivered[0]));
}

// Deep samples and separate colour passes still end as 8-bit RGB.
TEST_F(AcquisitionTest, SixteenBitAndThreePassScansBecomeTwentyFourBit) {
    for (const char* options : {"depth 16\n", "three-pass true\n"}) {
        SCOPED_TRACE(options);
        delivered.clear();
        Start(Devices(1, options));
        ScanToEnd("Noname frontend-tester");
        ASSERT_EQ(delivered.size(), 1u);
        const PngPicture picture = ReadPng(delivered[0]);
        ASSERT_TRUE(picture.ok);
        EXPECT_EQ(picture.width, 118);
        EXPECT_EQ(picture.height, 236);
        EXPECT_TRUE(std::all_of(picture.rgb.begin(), picture.rgb.end(),
                                [](unsigned char v) { return v == 255; }));
        library.reset();
    }
}

TEST_F(AcquisitionTest, CancelDuringAScanDeliversNothingAndLeavesNoFile) {
    // Each buffer takes 0.2 s: the scan is still running when Cancel is pressed.
    Start(Devices(1, "read-limit true\nread-limit-size 1000\n"
                     "read-delay true\nread-delay-duration 200000\n"));
    ui.cancelProgressAfter = 2;
    ScanToEnd("Noname frontend-tester");
    EXPECT_TRUE(delivered.empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(ui.progressDialogs.at(0).open);
    EXPECT_EQ(FilesInScanFolder(), 0u);
    EXPECT_FALSE(ui.TimerRunning(CAcquisition::kScanTimerId));
}

TEST_F(AcquisitionTest, FailuresGiveAClearMessageAndNoCompletion) {
    Start(Devices(1, "read-status-code \"SANE_STATUS_IO_ERROR\"\n"));
    ScanToEnd("No such scanner");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.rfind("Can't open the scanner \"No such scanner\".\n", 0), 0u);
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Exclamation);

    ScanToEnd("Noname frontend-tester");
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text,
              "Scanning from \"Noname frontend-tester\" failed.\nError during device I/O");
    EXPECT_TRUE(delivered.empty());
    EXPECT_EQ(FilesInScanFolder(), 0u);
    EXPECT_FALSE(ui.progressDialogs.at(1).open);
}

TEST_F(AcquisitionTest, OneScanAtATimeAndShutDownStopsARunningScan) {
    Start(Devices(1, "read-limit true\nread-limit-size 1000\n"
                     "read-delay true\nread-delay-duration 200000\n"));
    ASSERT_TRUE(library->Acquire("Noname frontend-tester"));
    EXPECT_FALSE(library->Acquire("Noname frontend-tester"));
    EXPECT_EQ(ui.beeps, 1);
    library->Shutdown();
    EXPECT_FALSE(library->Busy());
    EXPECT_FALSE(ui.TimerRunning(CAcquisition::kScanTimerId));
    EXPECT_FALSE(ui.progressDialogs.at(0).open);
    EXPECT_EQ(FilesInScanFolder(), 0u);
    EXPECT_TRUE(delivered.empty());
    EXPECT_FALSE(library->Acquire("Noname frontend-tester")); // closed
}

} // namespace
} // namespace vx::test
