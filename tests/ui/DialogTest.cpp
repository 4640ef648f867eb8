// Progress dialog, help behaviour and the last catch around commands.
#include "app/KeltApp.h"
#include "base/MyException.h"
#include "res/Resource.h"
#include "support/TempDir.h"
#include "ui/CommandActions.h"
#include "ui/HelpDialog.h"
#include "ui/MainFrame.h"
#include "ui/ProgressDlg.h"
#include "ui/QtPlatform.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <gtest/gtest.h>
#include <stdexcept>

namespace vx {
namespace {

TEST(ProgressDlg, WholeTotalAndCancelOnlyWhereAllowed) {
    ui::CProgressDlg save("out.png", false, nullptr);
    save.SetProgress(100, 70000);
    EXPECT_EQ(save.Bar()->maximum(), 70000);
    EXPECT_EQ(save.Bar()->value(), 100);
    EXPECT_FALSE(save.CancelButton()->isEnabled());
    QTest::keyClick(&save, Qt::Key_Escape);
    EXPECT_FALSE(save.Cancelled());
    EXPECT_TRUE(save.isVisible()); // stays until its owner ends it

    ui::CProgressDlg read("in.png", true, nullptr);
    read.CancelButton()->click();
    EXPECT_TRUE(read.Cancelled());
    EXPECT_TRUE(read.isVisible());
}

class CThrowing : public CCmdTarget {
public:
    CThrowing() {
        OnCommand(1, [] { throw std::runtime_error("broken"); });
        OnCommand(2, [this] { ++m_nRuns; });
        OnCommand(4, [] { throw CMyException(4, "scan.png: the PNG data is damaged"); });
    }
    int m_nRuns = 0;
};

// A name typed without an extension takes the chosen filter's: JPEG chosen gives .jpg, not the
// default .png; a filter without one falls back to the default.
TEST(FileDialog, TheSuffixFollowsTheChosenFilter) {
    FileDialogOptions options;
    options.save = true;
    options.defaultExt = "png";
    options.filter =
        "PNG image (*.png)|*.png|JPEG image (*.jpg;*.jpeg)|*.jpg;*.jpeg|All files (*.*)|*.*";
    options.filterIndex = 1;
    std::vector<std::string> seen;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        seen.push_back(dialog->defaultSuffix().toStdString());
        for (int i : {0, 2, 1}) {
            const QString filter = dialog->nameFilters().at(i);
            dialog->selectNameFilter(filter);
            emit dialog->filterSelected(filter);
            seen.push_back(dialog->defaultSuffix().toStdString());
        }
        dialog->reject();
    });
    ui::CQtPlatform platform;
    EXPECT_FALSE(platform.FileDialog(options));
    EXPECT_EQ(seen, (std::vector<std::string>{"jpg", "png", "png", "jpg"}));
}

// The coded text is the box's text; the file and the reason are the smaller informative text.
TEST(MessageBox, DetailsAreTheInformativeText) {
    QString text, informative;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        text = box->text();
        informative = box->informativeText();
        box->accept();
    });
    ui::CQtPlatform platform;
    CMyException(9, "movie.mp4: no video track").Report(platform);
    EXPECT_EQ(text.toStdString(), CMyException(9).Message());
    EXPECT_EQ(informative.toStdString(), "movie.mp4: no video track");
}

TEST(Commands, AnExceptionIsReportedAndTheProgramGoesOn) {
    test::TempDir dir;
    CKeltApp app(dir.File("app.INI"));
    std::vector<std::string> shown;
    app.Platform().SetMessageHook([&](const std::string& text, MsgButtons, MsgIcon) {
        shown.push_back(text);
        return MsgResult::Ok;
    });
    CThrowing target;
    ui::CCommandActions actions([&] { return std::vector<CCmdTarget*>{&target}; }, app.Platform(),
                                nullptr);
    actions.Get(1)->trigger();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], CCommandRouter::GenericFailureText());
    EXPECT_EQ(app.Platform().LastMessageDetails(), "");
    // A coded error that leaves a command still says what it knows beneath the generic text.
    actions.Get(4)->trigger();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1], CCommandRouter::GenericFailureText());
    EXPECT_EQ(app.Platform().LastMessageDetails(), "scan.png: the PNG data is damaged");
    actions.Get(2)->trigger();
    EXPECT_EQ(target.m_nRuns, 1);
    QAction* unhandled = actions.Get(3);
    actions.UpdateAll();
    EXPECT_FALSE(unhandled->isEnabled());
    EXPECT_TRUE(actions.Get(2)->isEnabled());
}

TEST(Help, F1InADialogAndHelpTopicsOpenTheGuide) {
    test::TempDir dir;
    CKeltApp app(dir.File("app.INI"));
    app.m_videoProbe = [] { return true; };
    ASSERT_TRUE(app.InitInstance());
    ui::CHelpDialog dialog(app.MainFrame());
    QTest::keyClick(&dialog, Qt::Key_F1);
    ASSERT_NE(app.HelpWindow(), nullptr);
    EXPECT_TRUE(app.HelpWindow()->isVisible());
    EXPECT_TRUE(app.HelpWindow()->toPlainText().contains("Export project"));

    // From a modal dialog the guide is that dialog's own window, so it is above it and usable.
    bool shown = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        QTest::keyClick(modal, Qt::Key_F1);
        shown = app.HelpWindow()->isVisible() && app.HelpWindow()->parentWidget() == modal;
        modal->close();
    });
    ui::CHelpDialog modal(app.MainFrame());
    modal.exec();
    EXPECT_TRUE(shown);
}

// After a message box the keyboard is back where it was.
TEST(FocusReturn, AMessageBoxGivesTheKeyboardBack) {
    test::TempDir dir;
    CKeltApp app(dir.File("app.INI"));
    app.m_videoProbe = [] { return true; };
    ASSERT_TRUE(app.InitInstance());
    QWidget* view = app.MainFrame()->PreviewView();
    app.MainFrame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(app.MainFrame()));
    view->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), view);
    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            box->close();
        }
    });
    app.Platform().MessageBox("Done.", MsgButtons::Ok, MsgIcon::Information);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), app.MainFrame());
    EXPECT_EQ(QApplication::focusWidget(), view);
}

} // namespace
} // namespace vx
