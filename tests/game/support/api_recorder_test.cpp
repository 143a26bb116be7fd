// The recording stand-in is what every game test stands on: these check that
// it records faithfully and that its scripting does what tests expect.
#include <gtest/gtest.h>

#include <kelvo/api.h>

#include "game/support/api_recorder.h"

TEST(ApiRecorder, RecordsCallsInOrderWithArguments) {
    Recorder().Reset();
    ApiBlitGraph(10, -20, 5, 1);
    ApiRotateBlitGraph(71, 228, 1.0, 0.5, 7, 1, 0);
    ApiDrawTextFormatted(100, 400, 0, "LV %d %s", 12, "up");
    ASSERT_EQ(Recorder().Calls().size(), 3u);
    EXPECT_EQ(Recorder().Calls()[0].ToString(), "ApiBlitGraph(10, -20, 5, 1)");
    EXPECT_EQ(Recorder().Calls()[1].Real(3), 0.5);
    EXPECT_EQ(Recorder().Calls()[2].Text(3), "LV 12 up");
    EXPECT_EQ(Recorder().Count("ApiBlitGraph"), 1u);
}

TEST(ApiRecorder, LoadsHandOutHandlesAndFailOnRequest) {
    Recorder().Reset();
    Recorder().SetNextHandle(50);
    int pieces[4] = {-7, -7, -7, -7};
    EXPECT_EQ(ApiLoadImageToDivGraphs("rukbmp\\a.bmp", 3, 3, 1, 32, 32, pieces, 0), 0);
    EXPECT_EQ(pieces[0], 50);
    EXPECT_EQ(pieces[2], 52);
    EXPECT_EQ(pieces[3], -7);
    EXPECT_EQ(ApiLoadImageToGraph("bmp\\b.bmp", 0), 53);
    Recorder().FailLoadsOf("se\\t1.wav");
    EXPECT_EQ(ApiLoadSoundFile("se\\t1.wav", 3, -1), -1);
    EXPECT_EQ(ApiLoadSoundFile("se\\t2.wav", 3, -1), 54);
    Recorder().FailLoadsOf("rukbmp\\c.bmp");
    EXPECT_EQ(ApiLoadImageToDivGraphs("rukbmp\\c.bmp", 2, 2, 1, 8, 8, pieces, 0), -1);
    EXPECT_EQ(pieces[0], 50);
}

TEST(ApiRecorder, ScriptsPadClockWindowAndResults) {
    Recorder().Reset();
    Recorder().QueuePadStates({0x1, 0x11});
    EXPECT_EQ(ApiGetPadState(0x1001), 0x1);
    EXPECT_EQ(ApiGetPadState(0x1001), 0x11);
    EXPECT_EQ(ApiGetPadState(0x1001), 0x11);

    Recorder().SetClock(0xFFFFFFFEu, 3);
    EXPECT_EQ(static_cast<std::uint32_t>(ApiGetMilliseconds(0)), 0xFFFFFFFEu);
    EXPECT_EQ(ApiGetMilliseconds(0), 1);

    Recorder().CloseWindowAfter(2);
    EXPECT_EQ(ApiProcessMessage(), 0);
    EXPECT_EQ(ApiProcessMessage(), 0);
    EXPECT_NE(ApiProcessMessage(), 0);

    Recorder().SetResult("ApiPlaySoundHandle", -1);
    EXPECT_EQ(ApiPlaySoundHandle(0, 1, 1), -1);
    Recorder().SetKeyDown(1, true);
    EXPECT_EQ(ApiIsKeyDown(1), 1);
    EXPECT_EQ(ApiIsKeyDown(2), 0);
    EXPECT_EQ(ApiMakeColorCode(255, 128, 1), 0xFF8001u);
}
