// Scanners through the real application: the Scan submenus, the device dialog, scans into the
// slots through the real completion path, failures, and the device list at exit. SANE runs its
// test backend from a folder of the tests' own.
#include "app/KeltApp.h"
#include "document/KeltDoc.h"
#include "profile/PrivateProfile.h"
#include "res/Resource.h"
#include "scanner/SaneTestSetup.h"
#include "scanner/TwainDevices.h"
#include "ui/CommandActions.h"
#include "ui/MainFrame.h"
#include "ui/ProgressDlg.h"
#include "ui/TwainDeviceDlg.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <deque>
#include <filesystem>
#include <optional>

namespace vx::test {
namespace {

const std::string kOne = "Noname frontend-tester";
std::string Device(int index) {
    return "Noname frontend-tester (test:" + std::to_string(index) + ")";
}

std::vector<std::string> Texts(QMenu* menu) {
    std::vector<std::string> out;
    for (QAction* a : menu->actions()) {
        out.push_back(a->isSeparator() ? "-" : a->text().toStdString());
    }
    return out;
}

std::vector<std::string> Rows(QListWidget* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i) {
        out.push_back(list->item(i)->text().toStdString());
    }
    return out;
}

class ScanShell : public SaneTest {
protected:
    ~ScanShell() override {
        app.reset();
        if (m_oldTmp) {
            setenv("TMPDIR", m_oldTmp->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }

    // The program as it starts, with the test backend configured by `testConf`.
    void Start(const std::string& testConf, bool listTestBackend = true, bool waitForList = true) {
        Configure(testConf, listTestBackend);
        if (const char* tmp = std::getenv("TMPDIR")) {
            m_oldTmp = tmp;
        }
        setenv("TMPDIR", m_tmp.Path().c_str(), 1); // the scan folder is made in here
        app = std::make_unique<CKeltApp>(ini);
        app->m_videoProbe = [] { return true; };
        app->Platform().SetMessageHook([this](const std::string& text, MsgButtons, MsgIcon) {
            messages.push_back(text);
            return MsgResult::No;
        });
        app->Platform().SetFileDialogHook([this](const FileDialogOptions& options) {
            saveOffers.push_back(options);
            std::optional<FileDialogResult> answer;
            if (!files.empty()) {
                if (!files.front().empty()) {
                    answer = FileDialogResult{files.front(), 0};
                }
                files.pop_front();
            }
            return answer;
        });
        ASSERT_TRUE(app->InitInstance());
        if (waitForList) {
            WaitForList();
        }
    }
    void WaitForList() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return List().Loaded(); }, 30000));
        PinSaneTestBackend(); // loaded by the listing at start-up
    }

    ui::CMainFrame& Main() { return *app->MainFrame(); }
    CKeltDoc& Doc() { return app->Doc(); }
    CTwainDevices& List() { return *app->TwainDevices(); }
    QAction* Action(unsigned id) { return Main().Actions().Get(id); }
    void OpenFileMenu() { emit Main().menuBar()->actions().at(0)->menu()->aboutToShow(); }
    void OpenScanMenus() {
        OpenFileMenu();
        for (int i = 0; i < 2; ++i) {
            emit Main().ScanMenu(i)->aboutToShow();
        }
    }
    void Store(int index, const std::string& name) {
        ASSERT_TRUE(
            WritePrivateProfileString("TWAIN", "DEVICE" + std::to_string(index), name, ini));
    }
    std::string Stored(int index) const {
        return GetPrivateProfileString("TWAIN", "DEVICE" + std::to_string(index), "<none>", ini);
    }
    bool ScanEnded() {
        return QTest::qWaitFor([this] { return !List().Library().Busy(); }, 30000);
    }
    ui::CProgressDlg* ScanDialog() { return Main().findChild<ui::CProgressDlg*>(); }
    std::string ScanDialogText() {
        ui::CProgressDlg* dialog = ScanDialog();
        return dialog ? dialog->findChild<QLabel*>()->text().toStdString() : "";
    }
    // The files in the scan folder (inside the test's own temporary folder).
    std::vector<std::filesystem::path> ScannedFiles() const {
        std::vector<std::filesystem::path> found;
        for (auto& entry : std::filesystem::recursive_directory_iterator(m_tmp.Path())) {
            if (entry.is_regular_file()) {
                found.push_back(entry.path());
            }
        }
        return found;
    }

    TempDir m_settings;
    TempDir m_tmp;
    std::optional<std::string> m_oldTmp;
    std::string ini = m_settings.File("Vexel.INI");
    std::unique_ptr<CKeltApp> app;
    std::vector<std::string> messages;
    std::vector<FileDialogOptions> saveOffers;
    std::deque<std::string> files; // answers to the file dialogs; "" declines
};

TEST_F(ScanShell, ThreeDevicesAreListedLastFirstAndEachItemScansItsOwnDeviceIntoItsSlot) {
    for (int i = 0; i < 3; ++i) {
        Store(i, Device(i));
    }
    Start(Devices(3));
    // Nothing is filled before the menu bar first opens.
    EXPECT_EQ(Texts(Main().ScanMenu(0)),
              (std::vector<std::string>{"No TWAIN devices", "-", "&Add device..."}));
    OpenScanMenus();
    EXPECT_TRUE(Main().m_bTwainMenuBuilt);
    const std::vector<std::string> listed{Device(2) + "...", Device(1) + "...", Device(0) + "...",
                                          "-", "&Add device..."};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Texts(Main().ScanMenu(i)), listed);
        for (int row = 0; row < 3; ++row) {
            QAction* item = Main().ScanMenu(i)->actions().at(row);
            EXPECT_EQ(item->data().toUInt(),
                      (i == 0 ? res::ID_SCAN_SOURCE_FIRST : res::ID_SCAN_TARGET_FIRST) + 2 - row);
            EXPECT_TRUE(item->isEnabled());
        }
    }
    // Opening again changes nothing.
    OpenScanMenus();
    EXPECT_EQ(Texts(Main().ScanMenu(0)), listed);

    // D2... in the Source submenu scans D2 into the source; the save offer is taken.
    files = {m_settings.File("kept.png")};
    Main().ScanMenu(0)->actions().at(0)->trigger();
    EXPECT_TRUE(Main().m_bScanToSource);
    EXPECT_EQ(ScanDialogText(), "Scanning from " + Device(2));
    ASSERT_TRUE(QTest::qWaitFor([this] { return Doc().m_pSource != nullptr; }, 30000));
    EXPECT_EQ(Doc().m_pSource->Width(), 118);
    EXPECT_EQ(Doc().m_pSource->Height(), 236);
    EXPECT_EQ(Doc().m_pSource->Row(100)[30], 255);
    EXPECT_EQ(Doc().m_pTarget, nullptr);
    EXPECT_FALSE(Doc().m_bSourceSaved);
    ASSERT_EQ(saveOffers.size(), 1u);
    EXPECT_TRUE(saveOffers[0].save);
    EXPECT_TRUE(std::filesystem::exists(m_settings.File("kept.png")));
    EXPECT_FALSE(std::filesystem::exists(Main().m_strTwainFile)); // saved elsewhere: removed
    EXPECT_EQ(ScanDialog(), nullptr);
    EXPECT_TRUE(messages.empty());

    // D0... in the Target submenu fills the target; a declined offer keeps the scanner's file.
    const CDibImage* source = Doc().m_pSource.get();
    files = {""};
    Main().ScanMenu(1)->actions().at(2)->trigger();
    EXPECT_FALSE(Main().m_bScanToSource);
    EXPECT_EQ(ScanDialogText(), "Scanning from " + Device(0));
    ASSERT_TRUE(QTest::qWaitFor([this] { return Doc().m_pTarget != nullptr; }, 30000));
    EXPECT_EQ(Doc().m_pSource.get(), source);
    EXPECT_EQ(Doc().m_pTarget->Width(), 118);
    EXPECT_FALSE(Doc().m_bTargetSaved);
    EXPECT_NE(Doc().m_pPreview, nullptr);
    EXPECT_EQ(saveOffers.size(), 2u);
    EXPECT_EQ(ScannedFiles(), std::vector<std::filesystem::path>{Main().m_strTwainFile});
    EXPECT_TRUE(messages.empty());
}

TEST_F(ScanShell, WithoutSourcesTheItemIsTheDisabledPlaceholder) {
    Start(Devices(2), false);
    OpenScanMenus();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Texts(Main().ScanMenu(i)),
                  (std::vector<std::string>{"No TWAIN devices", "-", "&Add device..."}));
        EXPECT_FALSE(Main().ScanMenu(i)->actions().at(0)->isEnabled());
        EXPECT_TRUE(Main().ScanMenu(i)->actions().at(2)->isEnabled());
    }
    Action(res::ID_SCAN_SOURCE_FIRST)->trigger(); // disabled, yet sent: nothing happens
    EXPECT_FALSE(List().Library().Busy());
    EXPECT_EQ(ScanDialog(), nullptr);
}

TEST_F(ScanShell, FirstStartWithOneScannerOffersTheDefaultSource) {
    // Start-up does not wait for the devices: the menus offer none until the list is in, and
    // are filled again when it comes.
    Start(Devices(1), true, false);
    EXPECT_FALSE(List().Loaded());
    EXPECT_TRUE(Main().isVisible());
    OpenScanMenus();
    EXPECT_EQ(Texts(Main().ScanMenu(1)),
              (std::vector<std::string>{"No TWAIN devices", "-", "&Add device..."}));
    WaitForList();
    EXPECT_EQ(Texts(Main().ScanMenu(1)),
              (std::vector<std::string>{kOne + "...", "-", "&Add device..."}));
    EXPECT_TRUE(Main().ScanMenu(1)->actions().at(0)->isEnabled());
}

// The device dialog as the user works it: rows picked in the lists, buttons clicked.
TEST_F(ScanShell, DialogAddsAndRemovesInEnumerationOrderAndBeepsWithoutARow) {
    ui::CTwainDeviceDlg dialog(ui, {"A", "B", "C", "D"}, {"C", "Gone"}, nullptr);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Add/remove TWAIN device");
    EXPECT_EQ(Rows(dialog.AvailableList()), (std::vector<std::string>{"A", "B", "D"}));
    EXPECT_EQ(Rows(dialog.SelectedList()), std::vector<std::string>{"C"});

    dialog.AddButton()->click();
    dialog.RemoveButton()->click();
    EXPECT_EQ(ui.beeps, 2);
    EXPECT_EQ(Rows(dialog.AvailableList()), (std::vector<std::string>{"A", "B", "D"}));

    dialog.AvailableList()->setCurrentRow(2); // D
    dialog.AddButton()->click();
    dialog.AvailableList()->setCurrentRow(0); // A
    dialog.AddButton()->click();
    EXPECT_EQ(Rows(dialog.AvailableList()), std::vector<std::string>{"B"});
    EXPECT_EQ(Rows(dialog.SelectedList()), (std::vector<std::string>{"A", "C", "D"}));
    // The refilled lists have no row selected: another Add beeps.
    dialog.AddButton()->click();
    EXPECT_EQ(ui.beeps, 3);

    dialog.SelectedList()->setCurrentRow(1); // C
    dialog.RemoveButton()->click();
    EXPECT_EQ(Rows(dialog.AvailableList()), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(Rows(dialog.SelectedList()), (std::vector<std::string>{"A", "D"}));
    EXPECT_EQ(ui.beeps, 3);

    dialog.OkButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.m_selected, (std::vector<std::string>{"A", "D"}));
}

// Runs `work` on the device dialog once the Add device command has opened it.
void WhenTheDialogOpens(std::function<void(ui::CTwainDeviceDlg&)> work) {
    QTimer::singleShot(0, [work] {
        auto* dialog = dynamic_cast<ui::CTwainDeviceDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        work(*dialog);
    });
}

TEST_F(ScanShell, TwelveChosenTenKeptTheMenusRebuiltAndTheListSavedAtExit) {
    Start(Devices(12));
    OpenScanMenus();
    EXPECT_EQ(Texts(Main().ScanMenu(0)).size(), 3u); // the default source

    WhenTheDialogOpens([](ui::CTwainDeviceDlg& dialog) {
        EXPECT_EQ(Rows(dialog.SelectedList()), std::vector<std::string>{Device(0)});
        // Whole names, and what SANE says of each device in its tooltip.
        QListWidget* list = dialog.AvailableList();
        const QString name = list->item(0)->text();
        EXPECT_GE(list->viewport()->width(), list->fontMetrics().horizontalAdvance(name));
        EXPECT_EQ(list->item(0)->toolTip().toStdString(),
                  Device(1) + "\nVendor: Noname\nModel: frontend-tester\nDevice: test:1");
        while (dialog.AvailableList()->count() > 0) {
            dialog.AvailableList()->setCurrentRow(dialog.AvailableList()->count() - 1);
            dialog.AddButton()->click();
        }
        dialog.OkButton()->click();
    });
    Action(res::ID_SCAN_ADD_DEVICE)->trigger();
    ASSERT_EQ(List().Names().size(), 10u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(List().Names()[i], Device(i));
    }
    // The inserted items are gone until the menu bar opens again.
    EXPECT_FALSE(Main().m_bTwainMenuBuilt);
    EXPECT_EQ(Texts(Main().ScanMenu(1)),
              (std::vector<std::string>{Device(0) + "...", "-", "&Add device..."}));
    OpenScanMenus();
    for (int i = 0; i < 2; ++i) {
        const std::vector<std::string> texts = Texts(Main().ScanMenu(i));
        ASSERT_EQ(texts.size(), 12u);
        EXPECT_EQ(texts.front(), Device(9) + "...");
        EXPECT_EQ(texts[9], Device(0) + "...");
    }

    // Cancel changes nothing but still rebuilds the menus.
    WhenTheDialogOpens([](ui::CTwainDeviceDlg& dialog) {
        dialog.SelectedList()->setCurrentRow(0);
        dialog.RemoveButton()->click();
        dialog.CancelButton()->click();
    });
    Action(res::ID_SCAN_ADD_DEVICE)->trigger();
    EXPECT_EQ(List().Names().size(), 10u);
    EXPECT_FALSE(Main().m_bTwainMenuBuilt);
    EXPECT_EQ(Texts(Main().ScanMenu(0)).size(), 3u);

    app->ExitInstance();
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(Stored(i), Device(i));
    }
}

TEST_F(ScanShell, AFailingDeviceGivesAClearMessageAndLeavesTheSlots) {
    // The descriptor lets the scan wait only until the reader has set up before stopping it.
    Start(Devices(1, "read-status-code \"SANE_STATUS_IO_ERROR\"\nselect-fd true\n"));
    Doc().InstallPicture(ESlot::Source, std::make_unique<CDibImage>(30, 20));
    const CDibImage* source = Doc().m_pSource.get();
    OpenScanMenus();
    Main().ScanMenu(1)->actions().at(0)->trigger();
    ASSERT_TRUE(ScanEnded());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Scanning from \"" + kOne + "\" failed.\nError during device I/O");
    EXPECT_EQ(Doc().m_pSource.get(), source);
    EXPECT_EQ(Doc().m_pTarget, nullptr);
    EXPECT_TRUE(saveOffers.empty());
    EXPECT_TRUE(ScannedFiles().empty());
    EXPECT_EQ(ScanDialog(), nullptr);
}

// Each buffer of this device takes 0.2 s: a scan is still running when the test acts.
const std::string kSlow =
    "read-limit true\nread-limit-size 1000\nread-delay true\nread-delay-duration 200000\n";

TEST_F(ScanShell, CancelInTheScanDialogFillsNothingAndAScanRefusedMeanwhileKeepsTheSlot) {
    Start(Devices(1, kSlow));
    OpenScanMenus();
    Main().ScanMenu(0)->actions().at(0)->trigger();
    ASSERT_NE(ScanDialog(), nullptr);
    Main().ScanMenu(1)->actions().at(0)->trigger(); // one scan at a time
    EXPECT_TRUE(Main().m_bScanToSource);
    ASSERT_TRUE(QTest::qWaitFor([this] { return ScanDialog()->Bar()->value() > 0; }, 30000));
    ScanDialog()->CancelButton()->click();
    ASSERT_TRUE(ScanEnded());
    EXPECT_EQ(Doc().m_pSource, nullptr);
    EXPECT_EQ(Doc().m_pTarget, nullptr);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(saveOffers.empty());
    EXPECT_TRUE(ScannedFiles().empty());
}

TEST_F(ScanShell, LeavingDuringAScanStopsItSavesTheListAndLeavesNoFolder) {
    Start(Devices(1, kSlow));
    OpenScanMenus();
    Main().ScanMenu(0)->actions().at(0)->trigger();
    ASSERT_TRUE(List().Library().Busy());
    app->ExitInstance();
    EXPECT_EQ(app->TwainDevices(), nullptr);
    EXPECT_EQ(Stored(0), kOne);
    EXPECT_TRUE(std::filesystem::is_empty(m_tmp.Path()));
    EXPECT_TRUE(messages.empty());
}

} // namespace
} // namespace vx::test
