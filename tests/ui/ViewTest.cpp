// The picture views, the Preview, the blend slider and the aspect-ratio dialog through real
// widgets and real events, headless.
#include "app/KeltApp.h"
#include "document/KeltDoc.h"
#include "imageio/DibAdapters.h"
#include "imageio/ImExp.h"
#include "profile/PrivateProfile.h"
#include "res/Resource.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"
#include "ui/AspectDlg.h"
#include "ui/CommandActions.h"
#include "ui/Cursors.h"
#include "ui/MainFrame.h"
#include "ui/MyFramePreview.h"
#include "ui/MyFrameWnd.h"
#include "ui/PlacementDlg.h"
#include "ui/ProjectFrame.h"
#include "ui/ViewPreview.h"

#include <QApplication>
#include <QBitmap>
#include <QDoubleSpinBox>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <deque>
#include <gtest/gtest.h>
#include <numbers>

namespace vx {
namespace {

std::unique_ptr<CDibImage> Uniform(int w, int h, uint8_t value) {
    auto picture = std::make_unique<CDibImage>(w, h);
    for (int y = 0; y < h; ++y) {
        std::fill(picture->Row(y), picture->Row(y) + 3 * w, value);
    }
    return picture;
}

void Send(QWidget& view, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(view.mapToGlobal(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&view, &event);
}
void Press(QWidget& view, QPoint at) {
    Send(view, QEvent::MouseButtonPress, at, Qt::LeftButton);
}
void Drag(QWidget& view, QPoint at) {
    Send(view, QEvent::MouseMove, at, Qt::LeftButton);
}
void Release(QWidget& view, QPoint at) {
    Send(view, QEvent::MouseButtonRelease, at, Qt::NoButton);
}

// A document with both pictures and a Preview buffer, and a 1024 x 1024 view of one slot, where
// a crop unit is one pixel from the centre.
struct ViewGestures : ::testing::Test {
    test::ScriptedPlatform ui;
    CKeltDoc doc{ui, ui};
    ui::CViewPict view{doc, true, nullptr};
    const QPoint centre{512, 512};

    void SetUp() override {
        view.resize(1024, 1024);
        doc.InstallPicture(ESlot::Source, Uniform(400, 300, 10));
        doc.InstallPicture(ESlot::Target, Uniform(300, 400, 90));
        doc.CreatePreviewBuffers(64, 64);
        ASSERT_EQ(doc.OutputToCrop(512 + 7, 512 - 9, 1024, 1024), (CPoint{7, -9}));
    }
    CPictFrame& Frame() { return *doc.GetSourceFrame(); }
    QPoint At(int x, int y) const { return centre + QPoint(x, y); }
};

TEST_F(ViewGestures, MoveZoomAndRotateFollowThePointerExactly) {
    doc.m_nEditMode = res::EDIT_MODE_MOVE;
    Frame().SetOffset(5, 6);
    Press(view, At(30, 40));
    EXPECT_TRUE(view.m_bDragging);
    Drag(view, At(40, 60));
    EXPECT_EQ(Frame().offset, (CPoint{5 - 10, 6 + 20}));
    EXPECT_FALSE(doc.m_bSourceSaved);
    Release(view, At(40, 60));
    EXPECT_FALSE(view.m_bDragging);

    doc.m_nEditMode = res::EDIT_MODE_ZOOM;
    const double zoom = Frame().zoom;
    Press(view, At(100, 0));
    Drag(view, At(200, 0));
    EXPECT_EQ(Frame().zoom, zoom * 0.25);
    Drag(view, At(0, 100));
    EXPECT_EQ(Frame().zoom, zoom);
    Release(view, At(0, 100));

    doc.m_nEditMode = res::EDIT_MODE_ROTATE;
    const double angle = Frame().angle;
    Press(view, At(0, -100)); // above the centre, then clockwise to its right
    Drag(view, At(100, 0));
    EXPECT_DOUBLE_EQ(Frame().angle, angle + std::numbers::pi / 2);
    Release(view, At(100, 0));

    // At an angle the offset is measured along the picture's own axes.
    doc.m_nEditMode = res::EDIT_MODE_MOVE;
    Frame().SetOffset(0, 0);
    Frame().SetAngle(std::numbers::pi / 2);
    Press(view, At(0, 0));
    Drag(view, At(0, 50));
    EXPECT_EQ(Frame().offset, (CPoint{-50, 0}));
    Release(view, At(0, 50));
}

// Marking: a click in a pane puts the next point on the picture pixel drawn under it (the
// 400 x 300 source is drawn 1024 x 768 from row 128, 2.56 pixels a picture pixel); the last point
// aligns, and the Preview shows each target point on its source point. A marker dragged in the
// Preview follows the pointer and moves no picture.
TEST_F(ViewGestures, MarkersArePlacedByClicksAndDraggedInThePreview) {
    doc.OnAlignByPoints();
    ASSERT_TRUE(doc.Marking());
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_FALSE(doc.Marking());
    doc.OnAlignByPoints();

    Press(view, {256, 128 + 256});
    Release(view, {256, 128 + 256});
    ASSERT_TRUE(doc.Marker(ESlot::Source, 0).has_value());
    // The picture pixel a point lies in; whole numbers are pixel centres.
    auto pixel = [](double v) { return int(std::floor(v + 0.5)); };
    EXPECT_EQ(pixel(doc.Marker(ESlot::Source, 0)->x), 256 * 400 / 1024);
    EXPECT_EQ(pixel(doc.Marker(ESlot::Source, 0)->y), 256 * 300 / 768);
    Press(view, {800, 600});
    Release(view, {800, 600});
    Press(view, {300, 300}); // the source has its two points
    EXPECT_EQ(ui.beeps, 1);
    Release(view, {300, 300});

    ui::CViewPict target{doc, false, nullptr}; // 300 x 400 drawn 768 x 1024 from column 128
    target.resize(1024, 1024);
    Press(target, {128 + 100, 200});
    Drag(target, {128 + 120, 210}); // a placed point follows the pointer until released
    Release(target, {128 + 120, 210});
    EXPECT_EQ(pixel(doc.Marker(ESlot::Target, 0)->x), 120 * 300 / 768);
    EXPECT_EQ(doc.GetTargetFrame()->Placement(), FramePlacement{});
    Press(target, {128 + 600, 900});
    Release(target, {128 + 600, 900});
    EXPECT_FALSE(doc.Marking());
    EXPECT_NE(doc.GetTargetFrame()->Placement(), FramePlacement{});

    ui::CViewPreview preview{doc, nullptr};
    preview.resize(400, 300);
    for (int i = 0; i < 2; ++i) {
        const auto source = preview.PictureToDevice(ESlot::Source, *doc.Marker(ESlot::Source, i));
        const auto aligned = preview.PictureToDevice(ESlot::Target, *doc.Marker(ESlot::Target, i));
        ASSERT_TRUE(source && aligned);
        EXPECT_LT(QLineF(*source, *aligned).length(), 1.0);
    }
    // Where two markers meet, the one of the slot the Preview edits is taken.
    const QPointF at = *preview.PictureToDevice(ESlot::Target, *doc.Marker(ESlot::Target, 1));
    const PicturePoint targetPoint = *doc.Marker(ESlot::Target, 1);
    const FramePlacement placed = doc.GetTargetFrame()->Placement();
    const QPoint from = at.toPoint();
    Press(preview, from);
    Drag(preview, from + QPoint(15, -6));
    Release(preview, from + QPoint(15, -6));
    const QPointF now = *preview.PictureToDevice(ESlot::Source, *doc.Marker(ESlot::Source, 1));
    EXPECT_LT(QLineF(now, QPointF(from + QPoint(15, -6)) + QPointF(0.5, 0.5)).length(), 0.01);
    EXPECT_EQ(doc.Marker(ESlot::Target, 1), targetPoint);
    EXPECT_EQ(doc.GetTargetFrame()->Placement(), placed);
}

TEST_F(ViewGestures, NoDragWithoutBothPicturesAndThePreviewOrWithoutMotion) {
    doc.m_nEditMode = res::EDIT_MODE_MOVE;
    const CPoint offset = Frame().offset;
    const int renders = ui.previewRepaints;
    Press(view, At(10, 10));
    Release(view, At(10, 10));
    EXPECT_EQ(Frame().offset, offset);
    EXPECT_EQ(ui.previewRepaints, renders); // no re-render for a click

    doc.m_pPreview.reset();
    Press(view, At(10, 10));
    EXPECT_FALSE(view.m_bDragging);
    Drag(view, At(50, 50));
    EXPECT_EQ(Frame().offset, offset);

    test::ScriptedPlatform ui2;
    CKeltDoc half(ui2, ui2);
    half.InstallPicture(ESlot::Source, Uniform(40, 30, 1));
    half.CreatePreviewBuffers(64, 64);
    ui::CViewPict lone(half, true, nullptr);
    lone.resize(100, 100);
    Press(lone, QPoint(60, 60));
    EXPECT_FALSE(lone.m_bDragging);
    const CPoint before = half.GetSourceFrame()->offset;
    QTest::keyClick(&lone, Qt::Key_Left);
    EXPECT_EQ(half.GetSourceFrame()->offset, before);
}

TEST_F(ViewGestures, AnArrowKeyDuringADragStepsCoarselyAndTheDragGoesOnWithoutAJump) {
    doc.m_nEditMode = res::EDIT_MODE_MOVE;
    Frame().SetOffset(0, 0);
    Press(view, At(0, 0));
    Drag(view, At(-30, 0));
    ASSERT_EQ(Frame().offset, (CPoint{30, 0}));
    QTest::keyClick(&view, Qt::Key_Left);
    EXPECT_EQ(Frame().offset, (CPoint{30 + 16, 0}));
    Drag(view, At(-30, 0)); // the pointer has not moved: nothing jumps
    EXPECT_EQ(Frame().offset, (CPoint{46, 0}));
    Drag(view, At(-40, 5));
    EXPECT_EQ(Frame().offset, (CPoint{56, 5}));
    Release(view, At(-40, 5));
    QTest::keyClick(&view, Qt::Key_Left); // fine again once released
    EXPECT_EQ(Frame().offset, (CPoint{57, 5}));
}

// The steps themselves are checked without a window with the document's edits; here, that the
// keys reach them.
struct ViewKeys : ViewGestures {
    CPictFrame Key(Qt::Key key, int mode, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        doc.m_nEditMode = mode;
        QTest::keyClick(&view, key, modifiers);
        return Frame();
    }
};

TEST_F(ViewKeys, PairsReturnAndOtherKeysChangeNothing) {
    const double zoom = Frame().zoom;
    Key(Qt::Key_Up, res::EDIT_MODE_ZOOM);
    EXPECT_DOUBLE_EQ(Frame().zoom, zoom * 1.0025);
    Key(Qt::Key_Down, res::EDIT_MODE_ZOOM);
    EXPECT_NEAR(Frame().zoom, zoom, 1e-12);
    Key(Qt::Key_Right, res::EDIT_MODE_ZOOM);
    Key(Qt::Key_Left, res::EDIT_MODE_ZOOM);
    EXPECT_NEAR(Frame().zoom, zoom, 1e-12);

    const double angle = Frame().angle;
    EXPECT_DOUBLE_EQ(Key(Qt::Key_Left, res::EDIT_MODE_ROTATE).angle, angle - 0.01745);
    EXPECT_NEAR(Key(Qt::Key_Right, res::EDIT_MODE_ROTATE).angle, angle, 1e-12);

    doc.m_bSourceSaved = true;
    const CPictFrame before = Frame();
    Key(Qt::Key_A, res::EDIT_MODE_MOVE);
    Key(Qt::Key_Home, res::EDIT_MODE_ROTATE);
    EXPECT_EQ(Frame().offset, before.offset);
    EXPECT_EQ(Frame().angle, before.angle);
    EXPECT_TRUE(doc.m_bSourceSaved);
    Key(Qt::Key_Up, res::EDIT_MODE_MOVE);
    EXPECT_FALSE(doc.m_bSourceSaved);
}

TEST(ViewPaint, FittedCentredUprightWithWhiteBands) {
    test::ScriptedPlatform ui;
    CKeltDoc doc(ui, ui);
    ui::CViewPict view(doc, true, nullptr);
    view.resize(200, 200);
    QImage empty = view.grab().toImage();
    EXPECT_EQ(empty.pixel(100, 100), qRgb(255, 255, 255));

    EXPECT_EQ(ui::CViewPict::FittedRect(400, 300, 200, 200), QRect(0, 25, 200, 150));
    EXPECT_EQ(ui::CViewPict::FittedRect(300, 400, 200, 200), QRect(25, 0, 150, 200));
    auto picture = Uniform(400, 300, 0);
    uint8_t* top = picture->Row(299); // the top row as displayed
    for (int x = 0; x < 400; ++x) {
        top[3 * x + 2] = 255; // red
    }
    doc.InstallPicture(ESlot::Source, std::move(picture));
    QImage shown = view.grab().toImage();
    EXPECT_EQ(shown.pixel(100, 24), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(100, 25), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(100, 26), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(199, 174), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(0, 175), qRgb(255, 255, 255));

    // Every pixel of a 4 x 2 picture becomes a 2 x 2 block of an 8 x 4 view, upright.
    auto small = std::make_unique<CDibImage>(4, 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            uint8_t* p = small->Row(y) + 3 * x;
            p[0] = uint8_t(10 * x);
            p[1] = uint8_t(100 + y);
            p[2] = 7;
        }
    }
    doc.InstallPicture(ESlot::Source, std::move(small));
    view.resize(8, 4);
    QImage blocks = view.grab().toImage();
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(blocks.pixel(x, y), qRgb(7, 100 + 1 - y / 2, 10 * (x / 2))) << x << "," << y;
        }
    }
    // Another picture of the same size in the slot is shown, not what was drawn before.
    doc.InstallPicture(ESlot::Source, Uniform(4, 2, 60));
    EXPECT_EQ(view.grab().toImage().pixel(5, 3), qRgb(60, 60, 60));
}

TEST(ViewCursor, EachModeHasItsOwnCursorWithItsHotSpot) {
    const std::tuple<int, int, int> modes[] = {{res::EDIT_MODE_ZOOM, 16, 14},
                                               {res::EDIT_MODE_MOVE, 15, 15},
                                               {res::EDIT_MODE_ROTATE, 16, 14}};
    for (auto [mode, x, y] : modes) {
        QCursor cursor = ui::EditCursor(mode);
        EXPECT_EQ(cursor.bitmap().size(), QSize(32, 32));
        EXPECT_EQ(cursor.hotSpot(), QPoint(x, y));
    }
    test::ScriptedPlatform ui;
    CKeltDoc doc(ui, ui);
    ui::CViewPict view(doc, true, nullptr);
    doc.m_nEditMode = res::EDIT_MODE_ROTATE;
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(&view, &enter);
    EXPECT_EQ(view.cursor().hotSpot(), QPoint(16, 14));
    EXPECT_EQ(view.cursor().bitmap().toImage(),
              ui::EditCursor(res::EDIT_MODE_ROTATE).bitmap().toImage());
}

// The real program, headless, with files and answers instead of modal dialogs.
struct Program {
    explicit Program(const std::string& profile) : app(profile) {
        app.m_videoProbe = [] { return true; };
        app.Platform().SetMessageHook([this](const std::string& text, MsgButtons, MsgIcon) {
            messages.push_back(text);
            return MsgResult::No;
        });
        app.Platform().SetFileDialogHook([this](const FileDialogOptions&) {
            std::optional<FileDialogResult> answer;
            if (!files.empty()) {
                answer = FileDialogResult{files.front(), 0};
                files.pop_front();
            }
            return answer;
        });
        EXPECT_TRUE(app.InitInstance());
        Main().resize(1000, 700);
        Main().show();
        QApplication::processEvents();
    }
    ui::CMainFrame& Main() { return *app.MainFrame(); }
    CKeltDoc& Doc() { return app.Doc(); }
    ui::CViewPreview& Preview() { return *dynamic_cast<ui::CViewPreview*>(Main().PreviewView()); }
    void LoadBoth() {
        Doc().InstallPicture(ESlot::Source, Uniform(400, 300, 10));
        Doc().InstallPicture(ESlot::Target, Uniform(300, 400, 90));
    }
    void Run(unsigned id) { Main().Actions().Get(id)->trigger(); }
    QAction* Tool(unsigned id) { return Main().PreviewFrame()->ToolBarActions()->Get(id); }
    void RenderOut() {
        for (int i = 0; i < 50 && app.Platform().TimerRunning(CKeltDoc::kRenderTimerId); ++i) {
            Doc().OnRenderTimer();
        }
    }
    QRgb PreviewCentre() {
        QImage shown = Preview().grab().toImage();
        return shown.pixel(shown.width() / 2, shown.height() / 2);
    }
    CKeltApp app;
    std::vector<std::string> messages;
    std::deque<std::string> files;
};

void WritePicture(const CDibImage& picture, const std::string& path) {
    auto writer = MakeWriteSource(picture);
    int one = 1;
    ASSERT_EQ(ImExp_WriteFile(writer.get(), nullptr, path.c_str(), &one, nullptr, nullptr, 1), 1);
}

TEST(PreviewView, EditSourceAndTargetMoveTheCheckAndTheGestures) {
    test::TempDir dir;
    Program program(dir.File("app.INI"));
    ui::CViewPreview& preview = program.Preview();
    program.Main().UpdateCommandUI();
    EXPECT_TRUE(program.Tool(res::ID_EDIT_SOURCE)->isChecked());
    EXPECT_FALSE(program.Tool(res::ID_EDIT_TARGET)->isChecked());
    program.Tool(res::ID_EDIT_TARGET)->trigger();
    program.Main().UpdateCommandUI();
    EXPECT_FALSE(program.Tool(res::ID_EDIT_SOURCE)->isChecked());
    EXPECT_TRUE(program.Tool(res::ID_EDIT_TARGET)->isChecked());

    program.Doc().InstallPicture(ESlot::Source, Uniform(64, 48, 10));
    program.Doc().InstallPicture(ESlot::Target, Uniform(64, 48, 15));
    const CPoint source = program.Doc().GetSourceFrame()->offset;
    const QPoint mid(preview.width() / 2, preview.height() / 2);
    Press(preview, mid);
    Drag(preview, mid + QPoint(20, 0));
    Release(preview, mid + QPoint(20, 0));
    EXPECT_EQ(program.Doc().GetSourceFrame()->offset, source);
    EXPECT_LT(program.Doc().GetTargetFrame()->offset.x, 0);

    // The menu item reaches the Preview only while it is the active child.
    program.Main().MdiArea()->setActiveSubWindow(program.Main().ProjectFrame());
    program.Main().UpdateCommandUI();
    EXPECT_FALSE(program.Main().Actions().Get(res::ID_EDIT_SOURCE)->isEnabled());
    EXPECT_TRUE(program.Tool(res::ID_EDIT_SOURCE)->isEnabled());
    program.Main().MdiArea()->setActiveSubWindow(program.Main().PreviewFrame());
    program.Main().UpdateCommandUI();
    EXPECT_TRUE(program.Main().Actions().Get(res::ID_EDIT_SOURCE)->isEnabled());
}

TEST(PreviewView, TheSliderBlendsExactlyAndOnlyWithBothPictures) {
    test::TempDir dir;
    Program program(dir.File("app.INI"));
    QSlider* slider = program.Main().PreviewFrame()->Slider();
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->width(), 100);
    EXPECT_EQ(slider->value(), 50);
    program.Main().UpdateCommandUI();
    EXPECT_FALSE(slider->isEnabled());

    CKeltDoc& doc = program.Doc();
    doc.InstallPicture(ESlot::Source, Uniform(64, 48, 10));
    program.Main().UpdateCommandUI();
    EXPECT_FALSE(slider->isEnabled());
    doc.InstallPicture(ESlot::Target, Uniform(64, 48, 15));
    program.Main().UpdateCommandUI();
    EXPECT_TRUE(slider->isEnabled());
    program.RenderOut();
    EXPECT_EQ(program.PreviewCentre(), qRgb(12, 12, 12));
    slider->setValue(0);
    EXPECT_EQ(doc.m_nBlend, 0);
    EXPECT_EQ(program.PreviewCentre(), qRgb(10, 10, 10));
    slider->setValue(100);
    EXPECT_EQ(program.PreviewCentre(), qRgb(15, 15, 15));

    doc.InstallPicture(ESlot::Source, Uniform(64, 48, 15));
    doc.InstallPicture(ESlot::Target, Uniform(64, 48, 10));
    slider->setValue(50);
    program.RenderOut();
    EXPECT_EQ(program.PreviewCentre(), qRgb(13, 13, 13));

    // A resize rebuilds the buffers at the client size, and the next paint the shared bitmap.
    program.Main().PreviewFrame()->resize(program.Main().PreviewFrame()->size() + QSize(31, 17));
    QApplication::processEvents();
    ui::CViewPreview& preview = program.Preview();
    ASSERT_NE(doc.m_pPreview, nullptr);
    EXPECT_EQ(QSize(doc.m_pPreview->Width(), doc.m_pPreview->Height()), preview.size());
    program.RenderOut();
    EXPECT_EQ(program.PreviewCentre(), qRgb(13, 13, 13));
    ASSERT_NE(ui::CViewPreview::OffscreenImage(), nullptr);
    EXPECT_EQ(ui::CViewPreview::OffscreenImage()->size(), preview.size());
}

// Runs `act` on the modal dialog once it is open.
template <class Dialog> void OnDialog(std::function<void(Dialog&)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
        if (dialog->isVisible()) {
            dialog->reject(); // never leave the test waiting
        }
    });
}
void OnAspectDialog(std::function<void(ui::CAspectDlg&)> act) {
    OnDialog(std::move(act));
}
void OnPlacementDialog(std::function<void(ui::CPlacementDlg&)> act) {
    OnDialog(std::move(act));
}

TEST(AspectDialog, PresetsOkCancelAndRefusedTerms) {
    test::TempDir dir;
    Program program(dir.File("app.INI"));
    CKeltDoc& doc = program.Doc();
    OnAspectDialog([](ui::CAspectDlg& dialog) {
        EXPECT_EQ(dialog.WidthEdit()->text(), "1");
        EXPECT_EQ(dialog.HeightEdit()->text(), "1");
        dialog.Preset(3)->click(); // 16 : 9
        dialog.OkButton()->click();
    });
    program.Run(res::ID_EDIT_ASPECT);
    EXPECT_EQ(doc.m_nAspectX, 16);
    EXPECT_EQ(doc.m_nAspectY, 9);
    EXPECT_EQ(doc.m_dAspect, 0.5625);

    OnAspectDialog([](ui::CAspectDlg& dialog) {
        dialog.Preset(4)->click();
        EXPECT_EQ(dialog.WidthEdit()->text(), "25");
        dialog.reject();
    });
    program.Run(res::ID_EDIT_ASPECT);
    EXPECT_EQ(doc.m_dAspect, 0.5625);

    // Terms outside 1 ... 10000 are refused on their field; the dialog stays open.
    OnAspectDialog([&](ui::CAspectDlg& dialog) {
        dialog.WidthEdit()->clear();
        QTest::keyClicks(dialog.WidthEdit(), "0");
        dialog.OkButton()->click();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.WidthEdit()->hasFocus() || !QApplication::focusWidget());
        dialog.Preset(2)->click();
        dialog.HeightEdit()->clear();
        QTest::keyClicks(dialog.HeightEdit(), "20000");
        dialog.OkButton()->click();
        EXPECT_TRUE(dialog.isVisible());
        dialog.HeightEdit()->stepBy(1); // the buttons stay within the range
        EXPECT_EQ(dialog.HeightEdit()->value(), 10000);
        dialog.HeightEdit()->setValue(3);
        dialog.OkButton()->click();
        EXPECT_FALSE(dialog.isVisible());
    });
    program.Run(res::ID_EDIT_ASPECT);
    ASSERT_EQ(program.messages.size(), 2u);
    EXPECT_EQ(program.messages[1], "Please enter an integer between 1 and 10000.");
    EXPECT_EQ(doc.m_dAspect, 0.75);

    // With both pictures both frames follow the ratio and the output frame is rebuilt.
    doc.InstallPicture(ESlot::Source, Uniform(400, 300, 10));
    doc.InstallPicture(ESlot::Target, Uniform(300, 400, 90));
    CPictFrame source = *doc.GetSourceFrame();
    CPictFrame target = *doc.GetTargetFrame();
    source.SetAspect(0.64);
    target.SetAspect(0.64);
    OnAspectDialog([](ui::CAspectDlg& dialog) {
        dialog.Preset(4)->click();
        dialog.OkButton()->click();
    });
    program.Run(res::ID_EDIT_ASPECT);
    EXPECT_EQ(doc.m_dAspect, 0.64);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(doc.GetSourceFrame()->corners[i], source.corners[i]);
        EXPECT_EQ(doc.GetTargetFrame()->corners[i], target.corners[i]);
        EXPECT_EQ(doc.m_pOutputFrame->corners[i], CPictFrame(0.64).corners[i]);
    }
}

// A double-click on a pane opens the dialog; what is typed applies at once, Cancel takes it all
// back, and OK keeps it as one undo step.
TEST(PlacementDialog, TypedValuesApplyLiveAsOneStep) {
    test::TempDir dir;
    Program program(dir.File("app.INI"));
    CKeltDoc& doc = program.Doc();
    program.LoadBoth();
    doc.ApplyPlacement(ESlot::Target, {{-8, 3}, 0.8, std::numbers::pi / 4}, EditKind::Move);
    ui::CViewPict& pane = *program.Main().ProjectFrame()->TargetView();
    OnPlacementDialog([&](ui::CPlacementDlg& dialog) {
        EXPECT_EQ(dialog.ZoomEdit(ESlot::Target)->value(), 80.0);
        EXPECT_EQ(dialog.AngleEdit(ESlot::Target)->value(), 45.0);
        EXPECT_EQ(dialog.OffsetXEdit(ESlot::Target)->value(), -8);
        EXPECT_EQ(dialog.OffsetYEdit(ESlot::Source)->value(), 0);
        dialog.ZoomEdit(ESlot::Source)->setValue(125.5);
        EXPECT_DOUBLE_EQ(doc.GetSourceFrame()->zoom, 1.255);
        dialog.OffsetYEdit(ESlot::Target)->setValue(20);
        // The untouched values stay exact, not as the fields round them.
        EXPECT_EQ(doc.GetTargetFrame()->Placement(),
                  (FramePlacement{{-8, 20}, 0.8, std::numbers::pi / 4}));
        dialog.reject();
    });
    QTest::mouseDClick(&pane, Qt::LeftButton, Qt::NoModifier, pane.rect().center());
    EXPECT_EQ(doc.GetSourceFrame()->Placement(), FramePlacement{});
    EXPECT_EQ(doc.GetTargetFrame()->offset, (CPoint{-8, 3}));
    EXPECT_FALSE(doc.CanRedo());

    OnPlacementDialog([&](ui::CPlacementDlg& dialog) {
        dialog.AngleEdit(ESlot::Source)->setValue(-12.34);
        dialog.OffsetXEdit(ESlot::Source)->setValue(40);
        dialog.accept();
    });
    program.Run(res::ID_EDIT_PLACEMENT);
    EXPECT_DOUBLE_EQ(doc.GetSourceFrame()->angle, -12.34 * std::numbers::pi / 180);
    EXPECT_EQ(doc.GetSourceFrame()->offset, (CPoint{40, 0}));
    QAction* undo = program.Main().Actions().Get(res::ID_EDIT_UNDO);
    program.Main().UpdateCommandUI();
    EXPECT_EQ(undo->text().toStdString(), "&Undo Placement Source\tAlt+Backspace");
    program.Run(res::ID_EDIT_UNDO);
    EXPECT_EQ(doc.GetSourceFrame()->Placement(), FramePlacement{});
    EXPECT_EQ(undo->text().toStdString(), "&Undo Move Target\tAlt+Backspace");
}

// During a drag the status bar shows the slot's numbers; Shift turns in whole degrees.
TEST(PreviewView, ADragShowsItsNumbersAndShiftSnapsTheAngle) {
    test::TempDir dir;
    Program program(dir.File("app.INI"));
    CKeltDoc& doc = program.Doc();
    program.LoadBoth();
    ui::CViewPreview& preview = program.Preview();
    QStatusBar* bar = program.Main().statusBar();
    const QPoint mid(preview.width() / 2, preview.height() / 2);
    program.Run(res::ID_EDIT_ROTATE);
    Press(preview, mid + QPoint(60, 0));
    QMouseEvent shifted(QEvent::MouseMove, QPointF(mid + QPoint(60, 7)),
                        QPointF(preview.mapToGlobal(mid + QPoint(60, 7))), Qt::NoButton,
                        Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(&preview, &shifted);
    const double degrees = doc.GetSourceFrame()->angle * 180 / std::numbers::pi;
    EXPECT_NE(degrees, 0.0);
    EXPECT_NEAR(degrees, std::round(degrees), 1e-9);
    EXPECT_EQ(bar->currentMessage().toStdString(), doc.PlacementReadout(ESlot::Source));
    EXPECT_EQ(bar->currentMessage().left(20).toStdString(), "Source: zoom 100.00 ");
    Release(preview, mid + QPoint(60, 7));
    EXPECT_TRUE(bar->currentMessage().isEmpty());
}

TEST(EndToEnd, LoadPlaceSaveAndExportThroughTheRealWindows) {
    test::TempDir dir;
    Program program(dir.File("app.INI"));
    CKeltDoc& doc = program.Doc();
    CDibImage s(320, 240);
    CDibImage t(200, 260);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 3 * 320; ++x) {
            s.Row(y)[x] = uint8_t(x ^ y);
        }
    }
    for (int y = 0; y < 260; ++y) {
        for (int x = 0; x < 3 * 200; ++x) {
            t.Row(y)[x] = uint8_t(x + 3 * y);
        }
    }
    WritePicture(s, dir.File("s.png"));
    WritePicture(t, dir.File("t.bmp"));
    program.files = {dir.File("s.png"), dir.File("t.bmp")};
    program.Run(res::ID_SOURCE_IMAGE);
    program.Run(res::ID_TARGET_IMAGE);
    ASSERT_TRUE(doc.BothLoaded());

    ui::CViewPreview& preview = program.Preview();
    const QPoint mid(preview.width() / 2, preview.height() / 2);
    auto drag = [&](QWidget& view, QPoint from, QPoint to) {
        Press(view, from);
        Drag(view, (from + to) / 2);
        Drag(view, to);
        Release(view, to);
    };
    program.Run(res::ID_EDIT_ZOOM);
    drag(preview, mid + QPoint(80, 0), mid + QPoint(60, 0));
    program.Run(res::ID_EDIT_ROTATE);
    drag(preview, mid + QPoint(0, -80), mid + QPoint(20, -80));
    program.Tool(res::ID_EDIT_TARGET)->trigger();
    program.Run(res::ID_EDIT_MOVE);
    drag(preview, mid, mid + QPoint(-15, 10));
    ui::CViewPict& pane = *program.Main().ProjectFrame()->TargetView();
    program.Run(res::ID_EDIT_ZOOM);
    drag(pane, QPoint(pane.width() / 2 + 50, 10), QPoint(pane.width() / 2 + 40, 10));
    EXPECT_NE(doc.GetSourceFrame()->zoom, 1.0);
    EXPECT_NE(doc.GetSourceFrame()->angle, 0.0);
    EXPECT_NE(doc.GetTargetFrame()->offset, (CPoint{0, 0}));

    program.files = {dir.File("s_out.png"), dir.File("t_out.png"), dir.File("project.vpj")};
    program.Run(res::ID_FILE_SAVE_SOURCE);
    program.Run(res::ID_FILE_SAVE_TARGET);
    program.Main().UpdateCommandUI();
    ASSERT_TRUE(program.Main().Actions().Get(res::ID_FILE_EXPORT)->isEnabled());
    program.Run(res::ID_FILE_EXPORT);
    EXPECT_TRUE(program.messages.empty());

    for (ESlot slot : {ESlot::Source, ESlot::Target}) {
        const OutputSize size = doc.GetOutputSize(slot);
        CDibImage expected(size.width, size.height);
        doc.RenderFull(*doc.GetFrame(slot), expected);
        test::ScriptedPlatform quiet;
        CDibImage saved(quiet, dir.File(slot == ESlot::Source ? "s_out.png" : "t_out.png"), false);
        ASSERT_EQ(saved.Width(), size.width);
        ASSERT_EQ(saved.Height(), size.height);
        for (int y = 0; y < size.height; ++y) {
            ASSERT_EQ(0, std::memcmp(saved.Row(y), expected.Row(y), size_t(3 * size.width)));
        }
    }
    const std::string project = dir.File("project.vpj");
    const OutputSize a = doc.GetOutputSize(ESlot::Source);
    const OutputSize b = doc.GetOutputSize(ESlot::Target);
    EXPECT_EQ(GetPrivateProfileInt("Vexelo", "OutputWidth", -1, project),
              std::max(a.width, b.width));
    EXPECT_EQ(GetPrivateProfileInt("Vexelo", "OutputHeight", -1, project),
              std::max(a.height, b.height));
    EXPECT_EQ(GetPrivateProfileString("Images", "Source", "", project), dir.File("s_out.png"));
    EXPECT_EQ(GetPrivateProfileString("Images", "Target", "", project), dir.File("t_out.png"));
}

} // namespace
} // namespace vx
