// The program run without a window, as a script runs it: the real binary on real files, checked
// against what the document's own menu commands write.
#include "app/CommandLine.h"
#include "document/KeltDoc.h"
#include "imageio/DibAdapters.h"
#include "imageio/ImExp.h"
#include "profile/ProfileFile.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <numbers>
#include <sys/wait.h>
#include <unistd.h>

namespace vx {
namespace {

struct Outcome {
    int status = -1;
    std::string errors; // standard error
};

// The program in `folder` with no display and a window system that cannot start, so that a run
// which tried to open one would fail.
Outcome RunProgram(const std::filesystem::path& folder, const std::vector<std::string>& args) {
    const std::string errors = (folder / "stderr.txt").string();
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0) {
            _exit(127);
        }
        const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("QT_QPA_PLATFORM", "no-such-platform", 1);
        std::vector<char*> argv{const_cast<char*>(VEXEL_HELPER_PROGRAM)};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(VEXEL_HELPER_PROGRAM, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::ReadWholeFile(errors)};
    std::filesystem::remove(errors);
    return outcome;
}

// A picture whose every pixel differs from its neighbours, so that a placement off by one shows;
// or one grey all over, where nothing can be found.
std::string PictureFile(const test::TempDir& dir, const std::string& name, int w, int h,
                        bool flat = false) {
    CDibImage image(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < 3 * w; ++x) {
            image.Row(y)[x] = flat ? 128 : uint8_t(x * 7 + y * 13 + x * y);
        }
    }
    const std::string path = dir.File(name);
    auto writer = MakeWriteSource(image);
    int one = 1;
    EXPECT_EQ(ImExp_WriteFile(writer.get(), nullptr, path.c_str(), &one, nullptr, nullptr, 1), 1);
    return path;
}

TEST(Batch, SavesAndExportsWhatTheMenuCommandsWrite) {
    const std::string kPoints = "points:12,9.5,50,30:3,4,25,28";
    test::TempDir dir;
    PictureFile(dir, "a.png", 61, 43);
    const std::string movie = test::TestDataPath("movie/h264_30x32.mp4");
    std::vector<std::string> job = {"--batch", "--source", "a.png", "--target", movie};
    for (const char* option :
         {"--target-frame 1", "--aspect 4:3", "--zoom-source 1.25", "--angle-source -12.5",
          "--offset-source +40,-17", "--angle-target=7", "--save-source s.png",
          "--save-target t.jpg", "--export p"}) {
        const std::string words = option;
        const size_t space = words.find(' ');
        job.push_back(words.substr(0, space));
        if (space != words.npos) {
            job.push_back(words.substr(space + 1));
        }
    }
    job.insert(job.end(), {"--align", kPoints});
    const Outcome run = RunProgram(dir.Path(), job);
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.errors, "");

    // The same job through the menu commands of a document with the scripted platform.
    test::ScriptedPlatform ui;
    CKeltDoc doc(ui, ui);
    ui.aspectAnswers.push_back(std::pair{4, 3});
    doc.OnSetAspectRatio();
    doc.LoadFile(ESlot::Source, dir.File("a.png"));
    ui.frameAnswers.push_back(1);
    doc.LoadFile(ESlot::Target, movie);
    FramePlacement source = doc.GetSourceFrame()->Placement();
    source.zoom = 1.25;
    source.angle = -12.5 * std::numbers::pi / 180;
    source.offset = {40, -17};
    doc.ApplyPlacement(ESlot::Source, source, EditKind::Placement);
    FramePlacement target = doc.GetTargetFrame()->Placement();
    target.angle = 7 * std::numbers::pi / 180;
    doc.ApplyPlacement(ESlot::Target, target, EditKind::Placement);
    // The alignment starts from the placements the options set.
    ASSERT_TRUE(doc.AlignTarget(
        ParseCommandLine({"--batch", "--project", "p", "--align", kPoints}).batch.points));
    EXPECT_NE(doc.GetTargetFrame()->Placement(), target);
    ui.AnswerFile(dir.File("menu-s.png"));
    ASSERT_TRUE(doc.OnSaveAs(ESlot::Source));
    ui.AnswerFile(dir.File("menu-t.jpg"));
    ASSERT_TRUE(doc.OnSaveAs(ESlot::Target));
    EXPECT_EQ(test::ReadWholeFile(dir.File("s.png")), test::ReadWholeFile(dir.File("menu-s.png")));
    EXPECT_EQ(test::ReadWholeFile(dir.File("t.jpg")), test::ReadWholeFile(dir.File("menu-t.jpg")));

    // The project took the dialog's extension, names the saved pictures and keeps the framing.
    CProfileFile project;
    ASSERT_TRUE(project.Load(dir.File("p.vpj")));
    const OutputSize s = doc.GetOutputSize(ESlot::Source);
    const OutputSize t = doc.GetOutputSize(ESlot::Target);
    EXPECT_EQ(project.GetString("Vexelo", "OutputWidth", ""),
              std::to_string(std::max(s.width, t.width)));
    EXPECT_EQ(project.GetString("Vexelo", "OutputHeight", ""),
              std::to_string(std::max(s.height, t.height)));
    EXPECT_EQ(project.GetString("Images", "Source", ""), dir.File("s.png"));
    EXPECT_EQ(project.GetString("Images", "Target", ""), dir.File("t.jpg"));
    const std::optional<ProjectFraming> framing = ReadProjectFraming(project);
    ASSERT_TRUE(framing);
    EXPECT_EQ(framing->aspectX, 4);
    EXPECT_EQ(framing->source.placement, source);
    EXPECT_EQ(framing->target.frameIndex, 1);
    EXPECT_EQ(framing->target.placement, doc.GetTargetFrame()->Placement());

    // Reopened, the project saves the same bytes again; changed, it must be saved before export.
    ASSERT_EQ(RunProgram(dir.Path(), {"--batch", "--project", "p.vpj", "--save-source", "s2.png",
                                      "--save-target", "t2.jpg"})
                  .status,
              0);
    EXPECT_EQ(test::ReadWholeFile(dir.File("s2.png")), test::ReadWholeFile(dir.File("s.png")));
    EXPECT_EQ(test::ReadWholeFile(dir.File("t2.jpg")), test::ReadWholeFile(dir.File("t.jpg")));
    const std::string exported = test::ReadWholeFile(dir.File("p.vpj"));
    const Outcome changed = RunProgram(
        dir.Path(), {"--batch", "--project", "p.vpj", "--zoom-target", "2", "--export", "p.vpj"});
    EXPECT_EQ(changed.status, 1);
    EXPECT_NE(changed.errors.find("--save-source and --save-target"), std::string::npos);
    EXPECT_EQ(test::ReadWholeFile(dir.File("p.vpj")), exported);
}

TEST(Batch, FailuresAreReportedAndLoseNothing) {
    test::TempDir dir;
    PictureFile(dir, "a.png", 20, 30);
    test::WriteWholeFile(dir.File("bad.png"), "\x89PNG\r\n\x1a\n not a picture");
    test::WriteWholeFile(dir.File("kept.png"), "kept");
    const std::string movie = test::TestDataPath("movie/h264_30x32.mp4");
    const auto fails = [&](std::vector<std::string> args, const std::string& message) {
        args.insert(args.begin(), "--batch");
        const Outcome run = RunProgram(dir.Path(), args);
        EXPECT_EQ(run.status, 1) << args[2];
        EXPECT_NE(run.errors.find(message), std::string::npos) << run.errors;
        EXPECT_EQ(test::ReadWholeFile(dir.File("kept.png")), "kept");
    };
    const std::vector<std::string> save = {"--save-source", "kept.png"};
    auto with = [&](std::vector<std::string> args) {
        args.insert(args.end(), save.begin(), save.end());
        return args;
    };
    fails(with({"--source", "gone.png", "--target", "a.png"}),
          "Error number 4\nCan't read file!\nPossible cause - disk reading error, bad picture "
          "format, etc.\ngone.png: ");
    fails(with({"--source", "a.png", "--target", "bad.png"}), "Error number 4\n");
    fails(with({"--source", "a.png", "--target", "a.png", "--save-target", "no/t.png"}),
          "Error number 8\nCan't create file!");
    fails(with({"--source", "a.png", "--target", movie, "--target-frame", "2"}),
          "The movie has no frame 2: its frames are 0 to 1.");
    fails(with({"--source", "a.png", "--source-frame", "0", "--target", "a.png"}),
          "a.png is not a movie");
    fails(with({"--source", "a.png", "--target", "a.png", "--zoom-source", "1e999"}),
          "--zoom-source: \"1e999\" is not a number from 0.0001 to 1000\n"
          "Try 'vexel-helper --help'.");
    fails(with({"--project", "gone.vpj"}), "Can't open the project.");
    PictureFile(dir, "flat.png", 40, 40, true);
    fails(with({"--source", "a.png", "--target", "flat.png", "--align", "scene"}),
          "The pictures have too few features in common to align them.");
    fails(with({"--source", "flat.png", "--target", "a.png", "--align", "eyes"}),
          "No face was found in the source picture.");
    fails(with({"--source", "a.png", "--target", "a.png", "--align", "points:0,0,5,5:0,0,5,30"}),
          "The point 5, 30 lies outside the target picture of 20 x 30 pixels.");
}

TEST(CommandLine, BatchOptionsAreReadStrictly) {
    using A = CommandLine::Action;
    const auto parse = [](std::vector<std::string> args) {
        args.insert(args.begin(), {"--batch", "--source", "a.png", "--target", "b.mp4"});
        return ParseCommandLine(args);
    };
    const CommandLine line =
        parse({"--source-frame=0", "--target-frame", "12", "--aspect", "16:9", "--align",
               "points:1,2.5,-0.5,4:5,6,7,8e1", "--zoom-target", "0.5", "--angle-source", "-1e2",
               "--offset-target", "-3,+4", "--export", "p.vpj"});
    ASSERT_EQ(line.action, A::Batch) << line.error;
    EXPECT_EQ(line.batch.target.frame, 12);
    EXPECT_EQ(line.batch.aspect, (std::pair{16, 9}));
    EXPECT_EQ(line.batch.align, BatchAlign::Points);
    EXPECT_EQ(line.batch.points, (PointPairs{{{{1, 2.5}, {-0.5, 4}}}, {{{5, 6}, {7, 80}}}}));
    EXPECT_EQ(line.batch.source.angleDegrees, -100);
    EXPECT_EQ(line.batch.target.offset, (std::pair{-3, 4}));
    EXPECT_FALSE(line.batch.source.zoom);
    EXPECT_EQ(parse({"--align", "eyes"}).batch.align, BatchAlign::Eyes);
    EXPECT_EQ(ParseCommandLine({"--batch", "--project", "p.vpj"}).action, A::Batch);
    EXPECT_EQ(ParseCommandLine({"--batch", "--help"}).action, A::Help);

    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--zoom-source", "nan"},
                                               {"--zoom-source", "inf"},
                                               {"--zoom-source", "0"},
                                               {"--zoom-source", "1.5x"},
                                               {"--angle-target", "2e6"},
                                               {"--angle-target", "+-1"},
                                               {"--offset-source", "1,2,3"},
                                               {"--offset-source", "1.5,2"},
                                               {"--offset-source", "1048577,0"},
                                               {"--aspect", "0:1"},
                                               {"--aspect", "4:3:1"},
                                               {"--aspect", "10001:1"},
                                               {"--source-frame", "-1"},
                                               {"--source-frame", "99999999999999999999"},
                                               {"--align", "points:1,2,3:4,5,6,7"},
                                               {"--align", "points:1,2,3,4:5,6,7,nan"},
                                               {"--align", "points:1,2,1.5,2.5:5,6,7,8"},
                                               {"--align", "faces"},
                                               {"--save-source"},
                                               {"--export", ""},
                                               {"--aspect", "1:1", "--aspect", "2:1"},
                                               {"--project", "p.vpj"},
                                               {"--quiet"},
                                               {"stray.png"}}) {
        const CommandLine refused = parse(bad);
        EXPECT_EQ(refused.action, A::Fail) << bad[0];
        EXPECT_FALSE(refused.error.empty());
    }
    EXPECT_EQ(ParseCommandLine({"--batch", "--source", "a.png"}).error,
              "--batch needs --source and --target, or --project instead of both");
    EXPECT_EQ(ParseCommandLine({"--batch", "--project", "p.vpj", "--target-frame", "1"}).error,
              "--target-frame goes with --target");
}

} // namespace
} // namespace vx
