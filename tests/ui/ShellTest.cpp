// The application shell through its real windows, headless.
#include "app/CommandLine.h"
#include "app/KeltApp.h"
#include "document/KeltDoc.h"
#include "imageio/DibAdapters.h"
#include "imageio/ImExp.h"
#include "profile/PrivateProfile.h"
#include "res/Resource.h"
#include "res/UiTables.h"
#include "support/TempDir.h"
#include "support/TestData.h"
#include "ui/CameraDlg.h"
#include "ui/ChooseFrameDlg.h"
#include "ui/CommandActions.h"
#include "ui/FixedSplitter.h"
#include "ui/HelpDialog.h"
#include "ui/InstalledFiles.h"
#include "ui/MainFrame.h"
#include "ui/MyFramePreview.h"
#include "ui/MyFrameWnd.h"
#include "ui/ProjectFrame.h"
#include "ui/QtPlatform.h"
#include "ui/ViewPreview.h"

#include <QApplication>
#include <QImage>
#include <QMdiArea>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <gtest/gtest.h>

#include <filesystem>

namespace vx {
namespace {

struct Shell {
    explicit Shell(const std::string& profile) : app(profile) {
        app.m_videoProbe = [] { return true; };
        // Never the user's own configuration folder.
        app.m_strConfigBase = (std::filesystem::path(profile).parent_path() / "config").string();
        app.Platform().SetMessageHook([this](const std::string& text, MsgButtons, MsgIcon) {
            messages.push_back(text);
            return MsgResult::Ok;
        });
        EXPECT_TRUE(app.InitInstance());
    }
    ui::CMainFrame& Main() { return *app.MainFrame(); }
    // The maximised frame and its area reach their final size as the show is processed.
    void Shown() { QCoreApplication::processEvents(); }
    QRect Area() { return Main().MdiArea()->viewport()->rect(); }
    QAction* Action(unsigned id) { return Main().Actions().Get(id); }
    CKeltApp app;
    std::vector<std::string> messages;
};

std::vector<std::string> Texts(QMenu* menu) {
    std::vector<std::string> out;
    for (QAction* a : menu->actions()) {
        out.push_back(a->isSeparator() ? "-" : a->text().toStdString());
    }
    return out;
}

QMenu* TopMenu(ui::CMainFrame& main, int index) {
    return main.menuBar()->actions().at(index)->menu();
}

TEST(Shell, MenuTreeTextsAndIds) {
    test::TempDir dir;
    Shell shell(dir.File("app.INI"));
    auto top = shell.Main().menuBar()->actions();
    ASSERT_EQ(top.size(), 4);
    EXPECT_EQ(top[0]->text().toStdString(), "&File");
    EXPECT_EQ(top[3]->text().toStdString(), "&Help");
    EXPECT_EQ(Texts(TopMenu(shell.Main(), 1)), (std::vector<std::string>{"&Undo\tAlt+Backspace",
                                                                         "Re&do\tCtrl+Y",
                                                                         "-",
                                                                         "&Zoom\tCtrl+Z",
                                                                         "&Move\tCtrl+M",
                                                                         "&Rotate\tCtrl+R",
                                                                         "-",
                                                                         "&Source\tCtrl+S",
                                                                         "&Target\tCtrl+T",
                                                                         "-",
                                                                         "&Quick\tCtrl+Q",
                                                                         "-",
                                                                         "S&et aspect ratio...",
                                                                         "&Placement\u2026",
                                                                         "S&wap Source and Target",
                                                                         "-",
                                                                         "Align &by points",
                                                                         "Al&ign target to source",
                                                                         "Align e&yes",
                                                                         "C&lear alignment points",
                                                                         "-",
                                                                         "Restore &all\tF5",
                                                                         "Restore sour&ce",
                                                                         "Restore tar&get"}));
    QMenu* source = TopMenu(shell.Main(), 0)->actions().at(0)->menu();
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->actions().at(0)->data().toUInt(), res::ID_SOURCE_IMAGE);
    EXPECT_EQ(source->actions().at(0)->text().toStdString(), "&Image...\tCtrl+I");
    QMenu* scan = source->actions().at(2)->menu();
    ASSERT_NE(scan, nullptr);
    EXPECT_EQ(Texts(scan), (std::vector<std::string>{"No TWAIN devices", "-", "&Add device..."}));
}

TEST(Shell, TheScanSubmenusOfferACameraOnlyWhileOneIsConnected) {
    test::TempDir dir;
    Shell shell(dir.File("app.INI"));
    emit TopMenu(shell.Main(), 0)->aboutToShow();
    const bool connected = !ui::CCameraDlg::Cameras().isEmpty();
    for (int i = 0; i < 2; ++i) {
        emit shell.Main().ScanMenu(i)->aboutToShow();
        std::vector<std::string> expected{"No TWAIN devices", "-", "&Add device..."};
        if (connected) {
            expected.insert(expected.begin() + 1, "Camera\u2026");
        }
        EXPECT_EQ(Texts(shell.Main().ScanMenu(i)), expected);
    }
}

// Needs a camera: the live view comes up, Capture fills the slot and nothing else changes.
TEST(Shell, ACameraCaptureFillsTheChosenSlotLikeAScan) {
    test::TempDir dir;
    Shell shell(dir.File("app.INI"));
    shell.app.Platform().SetFileDialogHook(
        [](const FileDialogOptions&) { return std::optional<FileDialogResult>(); });
    if (ui::CCameraDlg::Cameras().isEmpty()) {
        // Unplugged after the menu opened: said so, and nothing changes.
        shell.Main().Actions().Get(res::ID_CAMERA_SOURCE)->trigger();
        EXPECT_EQ(shell.messages, std::vector<std::string>{"No camera is connected."});
        EXPECT_EQ(shell.app.Doc().m_pSource, nullptr);
        EXPECT_FALSE(shell.app.Doc().CanUndo());
        GTEST_SKIP() << "no camera on this machine (no /dev/video* device): nothing captured";
    }
    QTimer::singleShot(0, [] {
        auto* dialog = dynamic_cast<ui::CCameraDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        if (QTest::qWaitFor([dialog] { return dialog->CaptureButton()->isEnabled(); }, 20000)) {
            dialog->CaptureButton()->click();
        } else {
            dialog->CancelButton()->click();
        }
    });
    shell.Main().Actions().Get(res::ID_CAMERA_TARGET)->trigger();
    if (!shell.messages.empty()) {
        GTEST_SKIP() << "the camera can't be used here: " << shell.messages[0];
    }
    ASSERT_NE(shell.app.Doc().m_pTarget, nullptr);
    EXPECT_GT(shell.app.Doc().m_pTarget->Width(), 0);
    EXPECT_EQ(shell.app.Doc().m_pSource, nullptr);
    EXPECT_FALSE(shell.app.Doc().m_bTargetSaved);
    EXPECT_TRUE(shell.app.Doc().CanUndo());
}

TEST(Shell, AcceleratorsBindTheTableOnly) {
    test::TempDir dir;
    Shell shell(dir.File("app.INI"));
    std::map<std::string, unsigned> bound;
    for (auto& [id, action] : shell.Main().Actions().Actions()) {
        if (!action->shortcut().isEmpty()) {
            bound[action->shortcut().toString().toStdString()] = id;
        }
    }
    EXPECT_EQ(bound.size(), 13u);
    EXPECT_EQ(bound["Ctrl+Z"], res::ID_EDIT_ZOOM);
    EXPECT_EQ(bound["Alt+Backspace"], res::ID_EDIT_UNDO);
    EXPECT_EQ(bound["Ctrl+Y"], res::ID_EDIT_REDO);
    EXPECT_EQ(shell.Action(res::ID_EDIT_REDO)->shortcuts().size(), 2);
    EXPECT_EQ(bound["Ctrl+D"], res::ID_VIEW_DIFFERENCE);
    EXPECT_EQ(bound["Ctrl+S"], res::ID_EDIT_SOURCE);
    EXPECT_EQ(bound["Ctrl+T"], res::ID_EDIT_TARGET);
    EXPECT_EQ(bound["Ctrl+N"], res::ID_FILE_NEW);
    EXPECT_EQ(bound["F1"], res::ID_HELP_FINDER);
    EXPECT_EQ(bound.count("Ctrl+I"), 0u);
    EXPECT_EQ(bound.count("Ctrl+Shift+I"), 0u);
}

TEST(Shell, ChecksFollowCommandsAndUnhandledIsDisabled) {
    test::TempDir dir;
    Shell shell(dir.File("app.INI"));
    QMenu* edit = TopMenu(shell.Main(), 1);
    emit edit->aboutToShow();
    EXPECT_TRUE(shell.Action(res::ID_EDIT_MOVE)->isChecked());
    EXPECT_FALSE(shell.Action(res::ID_EDIT_RESTORE_ALL)->isEnabled());
    shell.Action(res::ID_EDIT_ZOOM)->trigger();
    shell.Action(res::ID_EDIT_ROTATE)->trigger();
    emit edit->aboutToShow();
    EXPECT_TRUE(shell.Action(res::ID_EDIT_ROTATE)->isChecked());
    EXPECT_FALSE(shell.Action(res::ID_EDIT_ZOOM)->isChecked());
    EXPECT_FALSE(shell.Action(res::ID_EDIT_MOVE)->isChecked());
    // The Preview is the active window: its view answers Edit source / target.
    EXPECT_TRUE(shell.Action(res::ID_EDIT_SOURCE)->isChecked());
    shell.Action(res::ID_EDIT_TARGET)->trigger();
    EXPECT_TRUE(shell.Action(res::ID_EDIT_TARGET)->isChecked());
    // With the Project window active nobody handles them.
    shell.Main().MdiArea()->setActiveSubWindow(shell.Main().ProjectFrame());
    shell.Main().UpdateCommandUI();
    EXPECT_FALSE(shell.Action(res::ID_EDIT_SOURCE)->isEnabled());
}

TEST(Shell, ClosingPreviewHidesAndTheViewItemFollows) {
    test::TempDir dir;
    Shell shell(dir.File("app.INI"));
    ui::CMyFrameWnd* preview = shell.Main().PreviewFrame();
    shell.Main().UpdateCommandUI();
    EXPECT_TRUE(shell.Action(res::ID_VIEW_PREVIEW)->isChecked());
    preview->close();
    EXPECT_FALSE(preview->isVisible());
    shell.Main().UpdateCommandUI();
    EXPECT_FALSE(shell.Action(res::ID_VIEW_PREVIEW)->isChecked());
    shell.Action(res::ID_VIEW_PREVIEW)->trigger();
    EXPECT_TRUE(preview->isVisible());
    EXPECT_TRUE(shell.Action(res::ID_VIEW_PREVIEW)->isChecked());
    EXPECT_EQ(preview->minimumSize(), QSize(300, 200));
    // Minimised it shows only its title: not checked, and the item brings it back on top.
    shell.Main().MdiArea()->setActiveSubWindow(shell.Main().ProjectFrame());
    preview->showMinimized();
    shell.Main().UpdateCommandUI();
    EXPECT_FALSE(shell.Action(res::ID_VIEW_PREVIEW)->isChecked());
    shell.Action(res::ID_VIEW_PREVIEW)->trigger();
    EXPECT_FALSE(preview->isMinimized());
    EXPECT_EQ(shell.Main().MdiArea()->activeSubWindow(), preview);
    shell.Main().UpdateCommandUI();
    EXPECT_TRUE(shell.Action(res::ID_VIEW_PREVIEW)->isChecked());
}

// Once the window system has shown the maximised frame: the Preview, created last, is the active
// child above the Project window, and with no placement stored it is centred in the final area.
TEST(Shell, StartsWithThePreviewActiveOnTopAndCentred) {
    test::TempDir dir;
    Shell shell(dir.File("app.INI"));
    const QSize before = shell.Area().size();
    shell.Shown();
    ASSERT_NE(shell.Area().size(), before);
    QMdiArea* area = shell.Main().MdiArea();
    ui::CMyFramePreview* preview = shell.Main().PreviewFrame();
    EXPECT_EQ(area->activeSubWindow(), preview);
    EXPECT_EQ(area->subWindowList(QMdiArea::StackingOrder).last(), preview);
    EXPECT_EQ(QApplication::focusWidget(), preview->View());
    shell.Main().UpdateCommandUI();
    EXPECT_TRUE(shell.Action(res::ID_EDIT_SOURCE)->isEnabled());
    const auto centred = [&] {
        const QPoint off = preview->geometry().center() - shell.Area().center();
        return std::abs(off.x()) <= 1 && std::abs(off.y()) <= 1;
    };
    EXPECT_TRUE(centred());
    // It stays centred while the area changes, until the user places it.
    shell.Main().showNormal();
    shell.Main().resize(700, 560);
    shell.Shown();
    EXPECT_TRUE(centred());
    preview->move(10, 10);
    shell.Main().resize(760, 600);
    shell.Shown();
    EXPECT_EQ(preview->pos(), QPoint(10, 10));
}

TEST(Placement, ClampsToTheScreen) {
    QSize screen(1024, 768);
    auto p = ui::ComputePlacement(100, 100, 5000, 300, screen, QSize(1000, 700));
    EXPECT_TRUE(p.moveAndSize);
    EXPECT_EQ(p.rect.width(), 1024);
    EXPECT_EQ(ui::ComputePlacement(0, 100, 400, 300, screen, {}).rect.x(), 64);
    EXPECT_EQ(ui::ComputePlacement(1000, 100, 400, 300, screen, {}).rect.x(), 960);
    auto none = ui::ComputePlacement(-1, -1, -1, -1, screen, QSize(1000, 700));
    EXPECT_FALSE(none.moveAndSize);
    EXPECT_EQ(none.rect, QRect(244, 158, 512, 384));
    // Then into the frame area; where it is too small, the top-left corner stays in.
    const QSize area(796, 700), least(300, 200);
    EXPECT_EQ(ui::KeepInside(QRect(64, 48, 1024, 768), area, least), QRect(0, 0, 796, 700));
    EXPECT_EQ(ui::KeepInside(QRect(960, 720, 400, 300), area, least), QRect(396, 400, 400, 300));
    EXPECT_EQ(ui::KeepInside(QRect(50, 50, 400, 300), QSize(200, 100), least),
              QRect(0, 0, 300, 200));
}

TEST(Placement, WrittenAtExitAndReadAtStart) {
    test::TempDir dir;
    std::string ini = dir.File("app.INI");
    ui::CMyFrameWnd::SetScreenSizeOverride(QSize(1024, 768));
    {
        Shell shell(ini);
        shell.Main().PreviewFrame()->setGeometry(100, 120, 400, 300);
    }
    EXPECT_EQ(GetPrivateProfileInt("", "X", -1, ini), 100);
    EXPECT_EQ(GetPrivateProfileInt("", "WIDTH", -1, ini), 400);
    WritePrivateProfileString("", "WIDTH", "5000", ini);
    {
        Shell shell(ini);
        shell.Shown();
        // As wide as the screen, then as the area.
        EXPECT_EQ(shell.Main().PreviewFrame()->geometry(),
                  QRect(0, 120, shell.Area().width(), 300));
    }
    ui::CMyFrameWnd::SetScreenSizeOverride(QSize());
}

// Whatever was stored, the Preview opens whole inside the frame area, above the Project window,
// and the stored values themselves are left as they were.
TEST(Placement, StoredPlacementOpensInsideTheAreaOnTop) {
    test::TempDir dir;
    const std::string ini = dir.File("app.INI");
    {
        Shell shell(ini);
        shell.Shown();
        shell.Main().PreviewFrame()->showMaximized();
        shell.Shown();
        shell.Main().SavePreviewPlacement();
        EXPECT_EQ(GetPrivateProfileInt("", "WIDTH", -1, ini), shell.Area().width());
    }
    const std::vector<std::vector<std::string>> stored{
        {}, {"5000", "5000", "400", "300"}, {"-900", "-900", "5000", "5000"}};
    for (const auto& values : stored) {
        if (!values.empty()) {
            WritePrivateProfileStrings(
                "",
                {{"X", values[0]}, {"Y", values[1]}, {"WIDTH", values[2]}, {"HEIGHT", values[3]}},
                ini);
        }
        Shell shell(ini);
        shell.Shown();
        ui::CMyFramePreview* preview = shell.Main().PreviewFrame();
        EXPECT_TRUE(shell.Area().contains(preview->geometry())) << preview->geometry().x();
        EXPECT_FALSE(preview->isMaximized());
        EXPECT_EQ(shell.Main().MdiArea()->subWindowList(QMdiArea::StackingOrder).last(), preview);
        shell.Main().UpdateCommandUI();
        EXPECT_TRUE(shell.Action(res::ID_VIEW_PREVIEW)->isChecked());
        if (!values.empty()) {
            EXPECT_EQ(GetPrivateProfileString("", "X", "", ini), values[0]);
        }
        shell.Main().PreviewFrame()->setGeometry(100, 120, 400, 300); // what the next run stores
    }
}

TEST(Placement, MinimisedPreviewStoresItsSizeBeforeMinimising) {
    test::TempDir dir;
    std::string ini = dir.File("app.INI");
    {
        Shell shell(ini);
        ui::CMyFrameWnd* preview = shell.Main().PreviewFrame();
        preview->setGeometry(150, 130, 420, 310);
        QSize client = preview->widget()->size();
        preview->showMinimized();
        QCoreApplication::processEvents();
        EXPECT_EQ(preview->RestoreRect(), QRect(QPoint(0, 0), client));
    }
    EXPECT_EQ(GetPrivateProfileInt("", "X", -1, ini), 0);
    EXPECT_EQ(GetPrivateProfileInt("", "Y", -1, ini), 0);
    EXPECT_GT(GetPrivateProfileInt("", "WIDTH", -1, ini), 300);
}

TEST(Placement, ReadOnlySettingsFolderDoesNotCrash) {
    // A settings path in a folder that does not exist cannot be written.
    test::TempDir dir;
    std::string ini = dir.File("missing/deeper/app.INI");
    { Shell shell(ini); }
    EXPECT_EQ(GetPrivateProfileInt("", "X", -1, ini), -1);
}

TEST(Placement, UnusableSettingsFileGivesWayToTheConfigFolder) {
    // A folder where the settings file should be, and a file too big to be settings.
    for (const bool folder : {true, false}) {
        test::TempDir dir;
        const std::string ini = dir.File("app.INI");
        const std::string used = dir.File("config/vexel-helper/app.INI");
        if (folder) {
            std::filesystem::create_directory(ini);
        } else {
            test::WriteWholeFile(ini, "[]\r\nX=1\r\n");
            std::filesystem::resize_file(ini, 50u << 20);
        }
        const auto written = std::filesystem::last_write_time(ini);
        ui::CMyFrameWnd::SetScreenSizeOverride(QSize(1024, 768));
        {
            Shell shell(ini);
            EXPECT_EQ(shell.app.ProfilePath(), used);
            shell.Main().PreviewFrame()->setGeometry(100, 120, 400, 300);
        }
        EXPECT_EQ(GetPrivateProfileInt("", "X", -1, used), 100);
        {
            Shell shell(ini);
            EXPECT_EQ(shell.app.ProfilePath(), used);
            EXPECT_EQ(shell.Main().PreviewFrame()->geometry(), QRect(100, 120, 400, 300));
        }
        ui::CMyFrameWnd::SetScreenSizeOverride(QSize());
        if (folder) {
            EXPECT_TRUE(std::filesystem::is_empty(ini));
        } else {
            EXPECT_EQ(std::filesystem::file_size(ini), 50u << 20);
        }
        EXPECT_EQ(std::filesystem::last_write_time(ini), written);
    }
}

TEST(Splitter, ColumnsShareTheWidth) {
    EXPECT_EQ(ui::CFixedSplitter::ColumnWidth(408), 200);
    EXPECT_EQ(ui::CFixedSplitter::ColumnWidth(20), 10);
    ui::CFixedSplitter splitter(nullptr);
    splitter.addWidget(new QWidget);
    splitter.addWidget(new QWidget);
    splitter.resize(408, 100);
    splitter.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(splitter.sizes(), (QList<int>{200, 200}));
}

TEST(Seam, MessageBoxAndFilterMapping) {
    using P = ui::CQtPlatform;
    EXPECT_EQ(P::ToQtButtons(MsgButtons::YesNo), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(P::ToQtButtons(MsgButtons::OkCancel), QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(P::ToQtIcon(MsgIcon::Exclamation), QMessageBox::Warning);
    EXPECT_EQ(P::ToQtIcon(MsgIcon::Stop), QMessageBox::Critical);
    EXPECT_EQ(P::FromQt(QMessageBox::No, MsgButtons::YesNo), MsgResult::No);
    EXPECT_EQ(P::FromQt(QMessageBox::Cancel, MsgButtons::YesNoCancel), MsgResult::Cancel);
    EXPECT_EQ(P::ToQtFilters("Video files (*.mpg; *.mpeg; *.avi)|*.mpg; *.mpeg; *.avi||"),
              QStringList{"Video files (*.mpg *.mpeg *.avi)"});
    EXPECT_EQ(P::ToQtFilters("A|*.a|B (*.b)|*.b"), (QStringList{"A (*.a)", "B (*.b)"}));
}

TEST(Shell, StartupAsksWhenMoviesCannotBeRead) {
    test::TempDir dir;
    CKeltApp app(dir.File("app.INI"));
    app.m_videoProbe = [] { return false; };
    std::string asked;
    app.Platform().SetMessageHook([&](const std::string& text, MsgButtons b, MsgIcon) {
        asked = text;
        return b == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
    });
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(asked, "Bad DirectShow. Can't read/write video.\nContinue anyway?");
    // Ended before the scanner list was read: nothing is written back at exit either.
    EXPECT_EQ(app.TwainDevices(), nullptr);
    app.ExitInstance();
    EXPECT_EQ(GetPrivateProfileString("TWAIN", "DEVICE0", "<none>", dir.File("app.INI")), "<none>");
}

// Exit asks before edits are lost, and Cancel keeps the program running.
TEST(Shell, ExitWithUnsavedEditsAsksAndCancelStays) {
    test::TempDir dir;
    Shell shell(dir.File("app.INI"));
    shell.app.Doc().InstallPicture(ESlot::Source, std::make_unique<CDibImage>(40, 30));
    shell.app.Doc().InstallPicture(ESlot::Target, std::make_unique<CDibImage>(30, 40));
    shell.app.Doc().ApplyPlacement(ESlot::Source, {{5, 5}}, EditKind::Move);
    MsgResult answer = MsgResult::Cancel;
    shell.app.Platform().SetMessageHook([&](const std::string& text, MsgButtons, MsgIcon) {
        shell.messages.push_back(text);
        return answer;
    });
    shell.Action(res::ID_APP_EXIT)->trigger();
    EXPECT_TRUE(shell.Main().isVisible());
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].rfind("The placement of a framed picture was changed", 0), 0u);
    answer = MsgResult::No;
    shell.Action(res::ID_APP_EXIT)->trigger();
    EXPECT_FALSE(shell.Main().isVisible());
}

// The Edit menu names the step Undo and Redo would take; their keys work beside Ctrl+Z's Zoom.
TEST(Shell, UndoAndRedoNameTheirStepAndAnswerTheirKeys) {
    test::TempDir dir;
    Shell shell(dir.File("app.INI"));
    CKeltDoc& doc = shell.app.Doc();
    doc.InstallPicture(ESlot::Source, std::make_unique<CDibImage>(40, 30));
    doc.InstallPicture(ESlot::Target, std::make_unique<CDibImage>(30, 40));
    doc.ApplyPlacement(ESlot::Target, {{}, 1.0, 0.5}, EditKind::Rotate);
    QMenu* edit = TopMenu(shell.Main(), 1);
    emit edit->aboutToShow();
    EXPECT_EQ(shell.Action(res::ID_EDIT_UNDO)->text().toStdString(),
              "&Undo Rotate Target\tAlt+Backspace");
    EXPECT_FALSE(shell.Action(res::ID_EDIT_REDO)->isEnabled());
    EXPECT_EQ(shell.Action(res::ID_EDIT_REDO)->text().toStdString(), "Re&do\tCtrl+Y");
    shell.Main().show();
    shell.Main().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&shell.Main()));
    QTest::keyClick(&shell.Main(), Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(doc.GetTargetFrame()->angle, 0.0);
    EXPECT_EQ(shell.Action(res::ID_EDIT_REDO)->text().toStdString(), "Re&do Rotate Target\tCtrl+Y");
    QTest::keyClick(&shell.Main(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(doc.GetTargetFrame()->angle, 0.5);
    EXPECT_EQ(doc.m_nEditMode, res::EDIT_MODE_MOVE); // not the Zoom mode of Ctrl+Z
    shell.Action(res::ID_EDIT_SWAP)->trigger();
    EXPECT_EQ(doc.GetSourceFrame()->angle, 0.5);
}

// [ and ] move the blend in the Preview, also with its toolbar hidden.
TEST(Shell, BracketsMoveTheBlendWithTheToolbarHidden) {
    test::TempDir dir;
    Shell shell(dir.File("app.INI"));
    ui::CMyFramePreview* preview = shell.Main().PreviewFrame();
    shell.Action(res::ID_VIEW_TOOLBAR)->trigger();
    ASSERT_FALSE(preview->ToolBar()->isVisible());
    shell.Main().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&shell.Main()));
    preview->View()->setFocus();
    QTest::keyClick(preview->View(), Qt::Key_BracketRight);
    QTest::keyClick(preview->View(), Qt::Key_BracketRight);
    QTest::keyClick(preview->View(), Qt::Key_BracketLeft);
    EXPECT_EQ(preview->Slider()->value(), 55);
    EXPECT_EQ(shell.Main().m_nSliderPos, 55);
}

// The panes are named in the status bar while the pointer is over them.
TEST(Shell, ThePaneUnderThePointerIsNamedInTheStatusBar) {
    test::TempDir dir;
    Shell shell(dir.File("app.INI"));
    shell.app.Doc().InstallPicture(ESlot::Target, std::make_unique<CDibImage>(40, 30));
    ui::CProjectFrame* project = shell.Main().ProjectFrame();
    QStatusBar* bar = shell.Main().statusBar();
    QEvent enter(QEvent::Enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(project->SourceView(), &enter);
    EXPECT_EQ(bar->currentMessage().toStdString(), "Source");
    QApplication::sendEvent(project->TargetView(), &enter);
    EXPECT_EQ(bar->currentMessage().toStdString(), "Target: 40 x 30 pixels");
    QApplication::sendEvent(project->TargetView(), &leave);
    EXPECT_TRUE(bar->currentMessage().isEmpty());
}

// An install tree anywhere: the help page and the icons are found from the program's folder,
// and a program without one falls back to its built-in copies.
TEST(InstalledFiles, FoundBesideTheProgramElseBuiltIn) {
    test::TempDir dir;
    const QString bin = QString::fromStdString((dir.Path() / "usr/bin").string());
    EXPECT_EQ(ui::HelpPageUrl(bin).scheme(), "qrc");
    EXPECT_FALSE(ui::ApplicationIcon(bin).isNull());

    const auto share = dir.Path() / "usr/share";
    std::filesystem::create_directories(share / "vexel-helper/help");
    test::WriteWholeFile((share / "vexel-helper/help/index.html").string(), "<html></html>");
    const auto icons = share / "icons/hicolor/32x32/apps";
    std::filesystem::create_directories(icons);
    QImage(32, 32, QImage::Format_RGB32)
        .save(QString::fromStdString((icons / (VEXEL_TEST_APP_ID ".png")).string()));

    const QUrl page = ui::HelpPageUrl(bin);
    EXPECT_TRUE(page.isLocalFile());
    EXPECT_EQ(page.toLocalFile().toStdString(), (share / "vexel-helper/help/index.html").string());
    EXPECT_EQ(ui::ApplicationIcon(bin).availableSizes(), QList<QSize>{QSize(32, 32)});
}

// At any scale factor (the suite runs these once more at 2): the Preview renders one buffer pixel
// for each pixel of the screen and shows them unscaled, so that its one-pixel outline stays one
// pixel wide; a drag follows the pointer whatever the scale.
TEST(Scale, PreviewIsRenderedAtTheScreensPixels) {
    test::TempDir dir;
    Shell shell(dir.File("app.INI"));
    shell.Shown();
    CKeltDoc& doc = shell.app.Doc();
    auto grey = [](uint8_t level) {
        auto picture = std::make_unique<CDibImage>(300, 200);
        std::fill(picture->Bits(), picture->Bits() + picture->RasterBytes(), level);
        return picture;
    };
    doc.InstallPicture(ESlot::Source, grey(20));
    doc.InstallPicture(ESlot::Target, grey(200));
    QWidget& view = *shell.Main().PreviewView();
    const qreal ratio = view.devicePixelRatioF();
    const QSize device = (QSizeF(view.size()) * ratio).toSize();
    doc.RequestRender(0);
    while (doc.m_nSourceStep > 1 || doc.m_nTargetStep > 1) {
        doc.RenderPass(0);
    }
    ASSERT_TRUE(doc.m_pPreview);
    EXPECT_EQ(QSize(doc.m_pPreview->Width(), doc.m_pPreview->Height()), device);

    const QImage shown = view.grab().toImage();
    ASSERT_EQ(shown.size(), device);
    const int y = device.height() / 2;
    std::vector<int> green;
    for (int x = 0; x < device.width(); ++x) {
        if (shown.pixel(x, y) == qRgb(0, 255, 0)) {
            green.push_back(x);
        }
    }
    ASSERT_EQ(green.size(), 2u) << "the outline crosses the middle row twice, one pixel each";
    EXPECT_GT(green[1] - green[0], device.width() / 4);

    // From the crop's centre to its left edge in points: half the crop, 512 crop units.
    const CRect crop = doc.GetCropRect(*doc.GetOutputFrame(device.width(), device.height()),
                                       device.width(), device.height());
    const QPointF from =
        QPointF(crop.left + crop.Width() / 2, crop.top + crop.Height() / 2) / ratio;
    const QPointF to = from - QPointF(crop.Width() / 2 / ratio, 0);
    doc.m_nEditMode = res::EDIT_MODE_MOVE;
    auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButtons held) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, view.mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    EXPECT_NEAR(doc.GetSourceFrame()->offset.x, 512, 2);
    EXPECT_NEAR(doc.GetSourceFrame()->offset.y, 0, 2);
}

// However small the screen in points (a scale factor of 2 halves it), the Project window and the
// dialogs open inside it with their title bars and buttons in reach.
TEST(Scale, WindowsOpenInsideTheScreen) {
    test::TempDir dir;
    Shell shell(dir.File("app.INI"));
    shell.Shown();
    const QRect area = shell.Area();
    EXPECT_TRUE(area.contains(shell.Main().ProjectFrame()->geometry()))
        << "area " << area.width() << " x " << area.height();
    EXPECT_TRUE(area.contains(shell.Main().PreviewFrame()->geometry()));

    ui::CHelpDialog dialog(&shell.Main());
    dialog.resize(5000, 4000);
    dialog.show();
    QCoreApplication::processEvents();
    const QRect screen = dialog.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(dialog.frameGeometry()));
}

// ---- Opening files: dropped, named on the command line, chosen from the recent lists ----

// A small picture file of its own on disk; its path.
std::string PictureFile(const test::TempDir& dir, const std::string& name, int w, int h) {
    CDibImage image(w, h);
    const std::string path = dir.File(name);
    auto writer = MakeWriteSource(image);
    int one = 1;
    EXPECT_EQ(ImExp_WriteFile(writer.get(), nullptr, path.c_str(), &one, nullptr, nullptr, 1), 1);
    return path;
}

std::string Loaded(Shell& shell, ESlot slot) {
    const CDibImage* picture = shell.app.Doc().GetPicture(slot);
    return picture ? picture->GetPath() : std::string();
}

// Drops the files on the view at `at`, as the window system does, and lets the load run.
bool Drop(QWidget* view, QPoint at, const std::vector<std::string>& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& file : files) {
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(file)));
    }
    data.setUrls(urls);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &drop);
    QCoreApplication::processEvents();
    return true;
}

// Once the Choose Frame dialog is up: one frame on, then OK.
void ChooseSecondFrame() {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer] {
        if (auto* dialog = qobject_cast<ui::CChooseFrameDlg*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            dialog->Button(res::IDC_FRAME_NEXT)->click();
            dialog->Button(1)->click();
        }
    });
    timer->start();
}

TEST(OpenFiles, DroppedFilesLoadIntoTheSlotUnderThem) {
    test::TempDir dir;
    Shell shell(dir.File("app.INI"));
    shell.Shown();
    const std::string a = PictureFile(dir, "a.png", 40, 30);
    const std::string b = PictureFile(dir, "b.png", 30, 40);
    ui::CProjectFrame* project = shell.Main().ProjectFrame();
    QWidget* preview = shell.Main().PreviewView();

    ASSERT_TRUE(Drop(project->TargetView(), {5, 5}, {a}));
    EXPECT_EQ(Loaded(shell, ESlot::Target), a);
    EXPECT_EQ(Loaded(shell, ESlot::Source), "");
    ASSERT_TRUE(Drop(preview, {preview->width() / 4, 5}, {b}));
    EXPECT_EQ(Loaded(shell, ESlot::Source), b);
    ASSERT_TRUE(Drop(preview, {preview->width() * 3 / 4, 5}, {b}));
    EXPECT_EQ(Loaded(shell, ESlot::Target), b);
    // Two files fill both slots in their order, wherever they land.
    ASSERT_TRUE(Drop(project->TargetView(), {5, 5}, {b, a}));
    EXPECT_EQ(Loaded(shell, ESlot::Source), b);
    EXPECT_EQ(Loaded(shell, ESlot::Target), a);
    EXPECT_TRUE(shell.messages.empty());

    // A movie asks for its frame.
    const std::string movie = test::TestDataPath("movie/h264_30x32.mp4");
    ChooseSecondFrame();
    ASSERT_TRUE(Drop(preview, {preview->width() - 5, 5}, {movie}));
    EXPECT_EQ(Loaded(shell, ESlot::Target), movie);
    EXPECT_EQ(shell.app.Doc().GetPicture(ESlot::Target)->FrameIndex(), 1);

    // What cannot be read is reported as the menus report it, and the slot keeps its picture.
    test::WriteWholeFile(dir.File("bad.png"), "not a picture");
    ASSERT_TRUE(Drop(project->SourceView(), {5, 5}, {dir.File("bad.png")}));
    ASSERT_EQ(shell.messages.size(), 2u);
    EXPECT_EQ(shell.messages[0], "Can't read file. Locate file?");
    EXPECT_EQ(shell.messages[1].rfind("Error number 4\n", 0), 0u);
    EXPECT_EQ(Loaded(shell, ESlot::Source), b);

    // Nothing but local files is taken.
    QMimeData text;
    text.setText("a.png");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(project->SourceView(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST(OpenFiles, CommandLineNamesPicturesOrAProject) {
    using A = CommandLine::Action;
    EXPECT_EQ(ParseCommandLine({"--version"}).action, A::Version);
    EXPECT_EQ(ParseCommandLine({"a.png", "b.mp4"}).files,
              (std::vector<std::string>{"a.png", "b.mp4"}));
    const CommandLine batch = ParseCommandLine({"--project", "p.vpj"});
    EXPECT_EQ(batch.action, A::Fail);
    EXPECT_EQ(batch.error, "--project goes with --batch");
    EXPECT_EQ(ParseCommandLine({"--nope"}).error, "unknown option --nope");
    EXPECT_EQ(ParseCommandLine({"--", "-odd.png"}).files, std::vector<std::string>{"-odd.png"});

    test::TempDir dir;
    const std::string a = PictureFile(dir, "a.png", 40, 30);
    const std::string b = PictureFile(dir, "b.png", 30, 40);
    {
        Shell shell(dir.File("app.INI"));
        shell.app.OpenFiles({a, b});
        EXPECT_EQ(Loaded(shell, ESlot::Source), a);
        EXPECT_EQ(Loaded(shell, ESlot::Target), b);
        // A third file is not opened, and the user is told.
        shell.app.OpenFiles({b, a, dir.File("c.png")});
        EXPECT_EQ(Loaded(shell, ESlot::Source), b);
        ASSERT_EQ(shell.messages.size(), 1u);
        EXPECT_EQ(shell.messages[0].rfind("Only a source and a target picture", 0), 0u);
    }
    test::WriteWholeFile(dir.File("p.vpj"), "[Vexelo]\nOutputWidth=40\nOutputHeight=40\n"
                                            "[Images]\nSource=b.png\nTarget=a.png\n");
    Shell shell(dir.File("app.INI"));
    shell.app.OpenFiles({dir.File("p.vpj")});
    EXPECT_EQ(Loaded(shell, ESlot::Source), b);
    EXPECT_EQ(Loaded(shell, ESlot::Target), a);
    EXPECT_TRUE(shell.messages.empty());
    shell.Main().UpdateCommandUI();
    EXPECT_TRUE(shell.Action(res::ID_FILE_EXPORT)->isEnabled()); // its saved pictures are there
}

TEST(OpenFiles, RecentListsKeepTheLastEightAndDropWhatIsGone) {
    test::TempDir dir;
    const std::string ini = dir.File("app.INI");
    std::vector<std::string> pictures;
    {
        Shell shell(ini);
        std::string next;
        shell.app.Platform().SetFileDialogHook([&](const FileDialogOptions&) {
            return std::optional<FileDialogResult>(FileDialogResult{next, 0});
        });
        for (int i = 0; i < 9; ++i) {
            pictures.push_back(PictureFile(dir, "p" + std::to_string(i) + ".png", 8, 8));
            next = pictures.back();
            shell.Action(i % 2 ? res::ID_TARGET_IMAGE : res::ID_SOURCE_IMAGE)->trigger();
        }
        next = pictures[3]; // again: to the front, once
        shell.Action(res::ID_SOURCE_IMAGE)->trigger();
    }
    EXPECT_EQ(GetPrivateProfileString("Recent files", "Picture1", "", ini), pictures[3]);
    EXPECT_EQ(GetPrivateProfileString("Recent files", "Picture8", "", ini), pictures[1]);

    Shell shell(ini);
    emit TopMenu(shell.Main(), 0)->aboutToShow();
    QMenu* recent = shell.Main().RecentMenu(0);
    ASSERT_EQ(recent->actions().size(), 8);
    EXPECT_EQ(recent->actions()[0]->text().toStdString(), "&1 p3.png");
    EXPECT_EQ(recent->actions()[1]->text().toStdString(), "&2 p8.png");
    QMenu* second = recent->actions()[1]->menu();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Texts(second), (std::vector<std::string>{"Into &source", "Into &target"}));
    second->actions()[1]->trigger();
    EXPECT_EQ(Loaded(shell, ESlot::Target), pictures[8]);

    // A file that is gone leaves the list when chosen, with a word why.
    std::filesystem::remove(pictures[7]);
    emit TopMenu(shell.Main(), 0)->aboutToShow();
    ASSERT_EQ(recent->actions()[2]->text().toStdString(), "&3 p7.png");
    recent->actions()[2]->menu()->actions()[0]->trigger();
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0],
              pictures[7] + " is no longer there.\nIt has been removed from the list.");
    emit TopMenu(shell.Main(), 0)->aboutToShow();
    EXPECT_EQ(recent->actions().size(), 7);
    EXPECT_EQ(recent->actions()[2]->text().toStdString(), "&3 p6.png");

    // Projects: listed once opened, reopened from the list, dropped once gone.
    QMenu* projects = shell.Main().RecentMenu(1);
    EXPECT_EQ(Texts(projects), std::vector<std::string>{"No recent projects"});
    EXPECT_FALSE(projects->actions()[0]->isEnabled());
    test::WriteWholeFile(dir.File("p.vpj"), "[Images]\nSource=p1.png\nTarget=p2.png\n");
    shell.app.OpenFiles({dir.File("p.vpj")});
    emit TopMenu(shell.Main(), 0)->aboutToShow();
    EXPECT_EQ(Texts(projects), std::vector<std::string>{"&1 p.vpj"});
    shell.app.OpenFiles({pictures[5]});
    projects->actions()[0]->trigger();
    EXPECT_EQ(Loaded(shell, ESlot::Source), pictures[1]);
    std::filesystem::remove(dir.File("p.vpj"));
    projects->actions()[0]->trigger();
    EXPECT_EQ(shell.messages.size(), 2u);
    emit TopMenu(shell.Main(), 0)->aboutToShow();
    EXPECT_EQ(Texts(projects), std::vector<std::string>{"No recent projects"});
}

} // namespace
} // namespace vx
