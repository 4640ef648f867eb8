#include "base/MyException.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "support/ScriptedPlatform.h"

#include <gtest/gtest.h>

using vx::CMyException;

TEST(MyException, MessagesOfEveryCode) {
    EXPECT_EQ(CMyException(4).Message(),
              "Error number 4\nCan't read file!\nPossible cause - disk reading error, bad picture "
              "format, etc.\n");
    EXPECT_EQ(CMyException(1).Message(),
              "Error number 1\nCan't open movie.\nPossible cause - a problem with DirectDraw or "
              "DirectShow. ");
    EXPECT_EQ(CMyException(3).Message(),
              "Error number 3\nLow memory!\nCan't allocate enough memory.");
    EXPECT_EQ(CMyException(8).Message(), "Error number 8\nCan't create file!\nPossible cause - "
                                         "file is in use or no free disk space.");
    EXPECT_EQ(CMyException(9).Message(),
              "Error number 9\nError in Tutorial runtime.\nUser has pressed something wrong way.");
    EXPECT_EQ(CMyException(12).Message(), "Error number 12\nContact Oradel Software support team.");
    EXPECT_EQ(CMyException(100).Message(),
              "Error number 100\nContact Oradel Software support team.");
}

TEST(MyException, ReportShowsOkBoxOnlyForPositiveCodes) {
    vx::test::ScriptedPlatform ui;
    CMyException(2).Report(ui);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Error number 2\nVexel can't create one of Project, Source, Target or Preview "
              "windows.");
    EXPECT_EQ(ui.messages[0].buttons, vx::MsgButtons::Ok);
    EXPECT_EQ(ui.messages[0].icon, vx::MsgIcon::None);
    EXPECT_EQ(ui.messages[0].details, "");
    CMyException(0, "x.png: nothing").Report(ui);
    CMyException(-3).Report(ui);
    EXPECT_EQ(ui.messages.size(), 1u);

    // Details go beneath the coded text, which stays exactly as it was.
    CMyException(4, CMyException::FileDetails("/some/folder/photo.png", "the PNG data is damaged"))
        .Report(ui);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, CMyException(4).Message());
    EXPECT_EQ(ui.messages[1].details, "photo.png: the PNG data is damaged");
    EXPECT_EQ(CMyException::FileDetails("movie.mp4", ""), "movie.mp4");
    EXPECT_EQ(CMyException::FileDetails("", "no video track"), "no video track");
}

TEST(StringTable, FormatFillsThePlaceholdersInOrderAndNeverTheArguments) {
    using res::FormatString;
    EXPECT_EQ(FormatString(res::IDS_SCAN_FAILED, {"50%s off", "Device busy"}),
              "Scanning from \"50%s off\" failed.\nDevice busy");
    EXPECT_EQ(FormatString(res::IDS_SCAN_OPEN_FAILED, {"A"}), "Can't open the scanner \"A\".\n%s");
    EXPECT_EQ(FormatString(res::IDS_SCAN_EMPTY, {"unused"}),
              "The scanner delivered an empty picture.");
    EXPECT_EQ(FormatString(1, {"x"}), "");
}
