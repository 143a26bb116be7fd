// Start-up on the recording stand-in: the framework settings, the images in
// their order with their grids, the loading screen frame by frame, and the
// release at the end.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine/frame_input.h"
#include "engine/handles.h"
#include "front/loading_screen.h"
#include "front/startup.h"
#include "front/startup_images.h"
#include "game/support/api_recorder.h"
#include "game/support/working_dir.h"

namespace {

// The images start-up loads, in order: file, then pieces, columns, rows and
// piece size; "whole" for an image loaded as one graphic. Written out from
// the loading table independently of the game's own table.
const char* const kExpectedLoads[] = {
    "rukbmp\\rukall.bmp 144 12 12 128 128",     "rukbmp\\suball.bmp 3 2 2 128 128",
    "rukbmp\\serifu.bmp 3 1 4 256 64",          "rukbmp\\fire.bmp 8 1 8 32 16",
    "rukbmp\\gass.bmp 8 4 2 32 32",             "rukbmp\\algall.bmp 17 6 3 128 128",
    "rukbmp\\encall.bmp 17 6 3 128 128",        "rukbmp\\fablall.bmp 17 6 3 128 128",
    "rukbmp\\flogall.bmp 17 6 3 128 128",       "rukbmp\\gokiall.bmp 17 6 3 128 128",
    "rukbmp\\gokibigall.bmp 17 6 3 128 128",    "rukbmp\\hidoraall.bmp 17 6 3 128 128",
    "rukbmp\\mandoraall.bmp 17 6 3 128 128",    "rukbmp\\marlinall.bmp 17 6 3 128 128",
    "rukbmp\\penomenaall.bmp 17 6 3 128 128",   "rukbmp\\polinall.bmp 17 6 3 128 128",
    "rukbmp\\popolinall.bmp 17 6 3 128 128",    "rukbmp\\taraflogall.bmp 17 6 3 128 128",
    "rukbmp\\tyonnall.bmp 17 6 3 128 128",      "rukbmp\\tyonn2all.bmp 17 6 3 128 128",
    "rukbmp\\tyonn3all.bmp 17 6 3 128 128",     "rukbmp\\tyonn3all.bmp 17 6 3 128 128",
    "rukbmp\\wilall.bmp 17 6 3 128 128",        "rukbmp\\lunaall.bmp 17 6 3 128 128",
    "rukbmp\\eldwilall.bmp 17 6 3 128 128",     "rukbmp\\lunadall.bmp 17 6 3 128 128",
    "rukbmp\\lunabigall.bmp 17 6 3 128 128",    "rukbmp\\juujiall.bmp 24 6 4 64 64",
    "rukbmp\\ball.bmp 32 8 4 64 64",            "rukbmp\\doroall.bmp 17 6 3 128 128",
    "rukbmp\\sporeall.bmp 17 6 3 128 128",      "rukbmp\\spore2all.bmp 17 6 3 128 128",
    "rukbmp\\hebiall.bmp 17 6 3 128 128",       "rukbmp\\hebi2all.bmp 17 6 3 128 128",
    "rukbmp\\hebi3all.bmp 17 6 3 128 128",      "rukbmp\\mandora2all.bmp 17 6 3 128 128",
    "rukbmp\\ougonall.bmp 17 6 3 128 128",      "rukbmp\\polinall.bmp 17 6 3 128 128",
    "rukbmp\\flogall.bmp 17 6 3 128 128",       "bmp\\water.bmp 1 1 1 640 480",
    "rukbmp\\algruk.bmp 1 1 1 640 480",         "rukbmp\\encruk.bmp 1 1 1 640 480",
    "rukbmp\\fablruk.bmp 1 1 1 640 480",        "rukbmp\\flogruk.bmp 1 1 1 640 480",
    "rukbmp\\gokiruk.bmp 1 1 1 640 480",        "rukbmp\\gokibigruk.bmp 1 1 1 640 480",
    "rukbmp\\hidoraruk.bmp 1 1 1 640 480",      "rukbmp\\mandoraruk.bmp 1 1 1 640 480",
    "rukbmp\\marlinruk.bmp 1 1 1 640 480",      "rukbmp\\penomenaruk.bmp 1 1 1 640 480",
    "rukbmp\\polinruk.bmp 1 1 1 640 480",       "rukbmp\\popolinruk.bmp 1 1 1 640 480",
    "rukbmp\\taraflogruk.bmp 1 1 1 640 480",    "rukbmp\\sporeruk.bmp 1 1 1 640 480",
    "rukbmp\\spore2ruk.bmp 1 1 1 640 480",      "rukbmp\\hebiruk.bmp 1 1 1 640 480",
    "rukbmp\\hebi2ruk.bmp 1 1 1 640 480",       "rukbmp\\hebi3ruk.bmp 1 1 1 640 480",
    "rukbmp\\mandora2ruk.bmp 1 1 1 640 480",    "rukbmp\\ougonruk.bmp 1 1 1 640 480",
    "rukbmp\\bigpolinruk.bmp 1 1 1 640 480",    "rukbmp\\bigflogruk.bmp 1 1 1 640 480",
    "rukbmp\\dororuk.bmp 1 1 1 640 480",        "rukbmp\\wilruk.bmp 1 1 1 640 480",
    "rukbmp\\lunaruk.bmp 1 1 1 640 480",        "rukbmp\\eldwilruk.bmp 1 1 1 640 480",
    "rukbmp\\lunadruk.bmp 1 1 1 640 480",       "rukbmp\\lunabigruk.bmp 1 1 1 640 480",
    "rukbmp\\tyonnruk.bmp 1 1 1 640 480",       "rukbmp\\tyonn2ruk.bmp 1 1 1 640 480",
    "rukbmp\\tyonn3ruk.bmp 1 1 1 640 480",      "rukbmp\\tyonnbruk.bmp 1 1 1 640 480",
    "rukbmp\\rukmon.bmp 33 4 9 70 53",          "rukbmp\\alffonts.bmp 108 13 9 32 32",
    "rukbmp\\numfonts.bmp 40 10 4 32 32",       "rukbmp\\hiru.bmp 2 1 2 128 32",
    "rukbmp\\bless.bmp 2 1 2 128 32",           "rukbmp\\guro.bmp 2 1 2 128 32",
    "rukbmp\\holy.bmp 2 1 2 128 32",            "rukbmp\\warp.bmp 6 3 2 128 128",
    "rukbmp\\yajirusi.bmp 30 10 3 48 48",       "rukbmp\\yajirusimini.bmp 30 10 3 16 16",
    "rukbmp\\ruktitle.bmp 1 1 1 470 320",       "rukbmp\\tatiruk.bmp 1 1 1 129 320",
    "rukbmp\\vact.bmp whole",
};

// Monster kind by the order of the 32 sheet loads.
const int kSheetKindsInLoadOrder[32] = {0,  1,  12, 13, 19, 25, 6,  8,  21, 7,  11, 17, 22, 28, 29, 30,
                                        31, 18, 14, 27, 24, 5,  10, 16, 23, 15, 20, 26, 9,  2,  3,  4};

std::string Describe(const ApiCall& call) {
    std::ostringstream out;
    if (call.name == "ApiLoadImageToGraph") {
        out << call.Text(0) << " whole";
        EXPECT_EQ(call.Int(1), 0);
    } else {
        out << call.Text(0) << ' ' << call.Int(1) << ' ' << call.Int(2) << ' ' << call.Int(3) << ' ' << call.Int(4)
            << ' ' << call.Int(5);
        EXPECT_EQ(call.Int(6), 0);
    }
    return out.str();
}

bool IsImageLoad(const ApiCall& call) {
    return call.name == "ApiLoadImageToGraph" || call.name == "ApiLoadImageToDivGraphs";
}

// The calls of each loading-screen frame: frame n is everything from its
// message check up to the next.
std::vector<std::vector<ApiCall>> SplitLoadingFrames(const std::vector<ApiCall>& calls) {
    std::vector<std::vector<ApiCall>> frames;
    for (const ApiCall& call : calls) {
        if (call.name == "ApiProcessMessage") frames.emplace_back();
        if (!frames.empty()) frames.back().push_back(call);
    }
    return frames;
}

std::vector<std::string> Strings(const std::vector<ApiCall>& calls, const char* name) {
    std::vector<std::string> found;
    for (const ApiCall& call : calls)
        if (call.name == name) found.push_back(call.ToString());
    return found;
}

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        Recorder().Reset();
        for (int& h : g_SoundEffectHandles) h = 0;
        for (int& h : g_MusicTable) h = 0;
        g_FrameInputState = {};
    }
    ScopedWorkingDir work_;
};

}  // namespace

TEST_F(StartupTest, ImageTableCountsAndSums) {
    ASSERT_EQ(kStartupImageLoadCount, 85);
    int pieces = 0, sheets = 0, pictures = 0;
    for (const StartupImageLoad& load : kStartupImageLoads) {
        pieces += load.pieces;
        sheets += load.pieces == kMonsterSheetFrames;
        pictures += load.pieceWidth == 640 && load.pieceHeight == 480;
        if (load.pieces > 0) {
            EXPECT_LE(load.pieces, load.columns * load.rows) << load.file;
        }
    }
    EXPECT_EQ(pieces, 144 + 3 + 3 + 8 + 8 + 32 * 17 + 24 + 32 + 1 + 32 + 33 + 108 + 40 + 4 * 2 + 6 + 30 + 30 + 2);
    EXPECT_EQ(sheets, 32);
    EXPECT_EQ(pictures, 33);  // the water overlay and the 32 defeat pictures
}

TEST_F(StartupTest, WinMainLoadsEverythingInOrderAndEndsCleanly) {
    // The window closes at the title's first frame: the loading screen takes
    // 256 message checks.
    Recorder().CloseWindowAfter(256);
    Recorder().SetNextHandle(1);
    // Temporary files of writes a killed run left are gone after start-up.
    work_.dir().Write("savedata/start2.dat.tmp", "x");
    work_.dir().Write("savedata/config.dat.tmp", "x");
    ASSERT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    const std::vector<ApiCall>& calls = Recorder().Calls();
    EXPECT_FALSE(std::filesystem::exists(work_.dir().path() / "savedata/start2.dat.tmp"));
    EXPECT_FALSE(std::filesystem::exists(work_.dir().path() / "savedata/config.dat.tmp"));

    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(calls[0].ToString(), "ApiSetAllowDoubleStart(1)");
    EXPECT_EQ(calls[1].ToString(), "ApiSetLogEnabled(0)");
    EXPECT_EQ(calls[2].ToString(), "ApiInitFramework()");
    EXPECT_EQ(calls[3].ToString(), "ApiSetDefaultFontFace(\"Tahoma\", -1)");
    EXPECT_EQ(calls[4].ToString(), "ApiSetDefaultFontFace(\"Verdana\", -1)");

    std::vector<std::string> loads;
    std::size_t i = 5;
    for (; i < calls.size() && IsImageLoad(calls[i]); ++i) loads.push_back(Describe(calls[i]));
    EXPECT_EQ(loads, std::vector<std::string>(std::begin(kExpectedLoads), std::end(kExpectedLoads)));
    ASSERT_LT(i + 2, calls.size());
    EXPECT_EQ(calls[i].ToString(), "ApiSelectDrawTarget(-2)");
    EXPECT_EQ(calls[i + 1].ToString(), "ApiSetVBlankWait(0)");
    EXPECT_EQ(calls[i + 2].ToString(), "ApiSetDefaultFontSize(24)");

    // Handles are handed out in order from 1, so each array shows which load
    // filled it.
    int firstOfLoad[85];
    for (int n = 0, next = 1; n < 85; ++n) {
        firstOfLoad[n] = next;
        next += n == 84 ? 1 : static_cast<int>(calls[5 + n].Int(1));
    }
    EXPECT_EQ(g_PlayerSheet[0], 1);
    EXPECT_EQ(g_PlayerSheet[143], 144);
    EXPECT_EQ(g_ShopCaptionImages[2], firstOfLoad[2] + 2);
    EXPECT_EQ(g_FireEffectFrames[0], firstOfLoad[3]);
    for (int n = 0; n < 32; ++n) {
        int load = n < 22 ? 5 + n : 7 + n;  // juujiall and ball sit between the groups
        EXPECT_EQ(g_MonsterSheets[kSheetKindsInLoadOrder[n]][0], firstOfLoad[load]) << "sheet load " << n + 1;
        EXPECT_EQ(g_MonsterSheets[kSheetKindsInLoadOrder[n]][16], firstOfLoad[load] + 16);
    }
    EXPECT_EQ(g_CrossEffectSheet[0], firstOfLoad[27]);
    EXPECT_EQ(g_BallEffectSheet[31], firstOfLoad[28] + 31);
    EXPECT_EQ(g_WaterOverlay[0], firstOfLoad[39]);
    for (int p = 0; p < 32; ++p) EXPECT_EQ(g_GalleryPictureTable[p], firstOfLoad[40 + p]) << p;
    EXPECT_EQ(g_GalleryThumbnails[32], firstOfLoad[72] + 32);
    EXPECT_EQ(g_GlyphLetters[107], firstOfLoad[73] + 107);
    EXPECT_EQ(g_GlyphDigits[0], firstOfLoad[74]);
    EXPECT_EQ(g_HealCaption[1], firstOfLoad[75] + 1);
    EXPECT_EQ(g_HolyCaption[0], firstOfLoad[78]);
    EXPECT_EQ(g_WarpDoorFrames[5], firstOfLoad[79] + 5);
    EXPECT_EQ(g_CursorFrames[29], firstOfLoad[80] + 29);
    EXPECT_EQ(g_SmallCursorFrames[0], firstOfLoad[81]);
    EXPECT_EQ(g_TitleLogo[0], firstOfLoad[82]);
    EXPECT_EQ(g_TitlePortrait[0], firstOfLoad[83]);
    EXPECT_EQ(g_LoadingPicture, firstOfLoad[84]);

    // The sounds, in order, all with three buffers; entries 0 and 7 of the
    // music table stay empty.
    std::vector<std::string> sounds = Strings(calls, "ApiLoadSoundFile");
    const std::vector<std::string> expectedSounds = {
        "ApiLoadSoundFile(\"se\\die.wav\", 3, -1)",  "ApiLoadSoundFile(\"se\\item.wav\", 3, -1)",
        "ApiLoadSoundFile(\"se\\senntaku.wav\", 3, -1)", "ApiLoadSoundFile(\"se\\select.wav\", 3, -1)",
        "ApiLoadSoundFile(\"se\\th.wav\", 3, -1)",   "ApiLoadSoundFile(\"se\\th2.wav\", 3, -1)",
        "ApiLoadSoundFile(\"se\\bomb.wav\", 3, -1)", "ApiLoadSoundFile(\"se\\cancel.wav\", 3, -1)",
        "ApiLoadSoundFile(\"se\\takara.wav\", 3, -1)", "ApiLoadSoundFile(\"se\\t1.wav\", 3, -1)",
        "ApiLoadSoundFile(\"se\\t2.wav\", 3, -1)",   "ApiLoadSoundFile(\"se\\t3.wav\", 3, -1)",
        "ApiLoadSoundFile(\"se\\t4.wav\", 3, -1)",   "ApiLoadSoundFile(\"se\\t5.wav\", 3, -1)",
        "ApiLoadSoundFile(\"se\\t6.wav\", 3, -1)",
    };
    EXPECT_EQ(sounds, expectedSounds);
    EXPECT_EQ(g_MusicTable[0], 0);
    EXPECT_EQ(g_MusicTable[7], 0);
    EXPECT_NE(g_MusicTable[6], 0);

    // After the game loop: everything released and the framework ended, last.
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[calls.size() - 3].ToString(), "ApiReleaseAllGraphs(0)");
    EXPECT_EQ(calls[calls.size() - 2].ToString(), "ApiDeleteAllSounds(0)");
    EXPECT_EQ(calls[calls.size() - 1].ToString(), "ApiEndFramework()");
    // The title started (its background loaded) and saw the closed window.
    EXPECT_EQ(Recorder().Count("ApiLoadImageToGraph"), 3u);
    EXPECT_EQ(Recorder().Count("ApiGetPadState"), 0u);
}

TEST_F(StartupTest, FailedFrameworkStartEndsAtOnce) {
    Recorder().SetResult("ApiInitFramework", -1);
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), -1);
    EXPECT_EQ(Recorder().Trace(), "ApiSetAllowDoubleStart(1)\nApiSetLogEnabled(0)\nApiInitFramework()\n");
}

TEST_F(StartupTest, MissingImagesLeaveTheirHandlesAndStartupGoesOn) {
    g_TitleLogo[0] = 0;
    g_CursorFrames[3] = 0;
    Recorder().FailLoadsOf("rukbmp\\ruktitle.bmp");
    Recorder().FailLoadsOf("rukbmp\\yajirusi.bmp");
    Recorder().FailLoadsOf("rukbmp\\vact.bmp");
    LoadStartupImages();
    EXPECT_EQ(Recorder().Count("ApiLoadImageToDivGraphs") + Recorder().Count("ApiLoadImageToGraph"), 85u);
    EXPECT_EQ(g_TitleLogo[0], 0);
    EXPECT_EQ(g_CursorFrames[3], 0);
    EXPECT_EQ(g_LoadingPicture, -1);
    EXPECT_NE(g_TitlePortrait[0], 0);
}

TEST_F(StartupTest, LoadingScreenFrameByFrame) {
    g_LoadingPicture = 77;
    ShowLoadingScreen();
    const std::vector<ApiCall>& calls = Recorder().Calls();
    ASSERT_EQ(calls[0].ToString(), "ApiSetDefaultFontSize(24)");
    EXPECT_EQ(Recorder().Count("ApiPresentScreen"), 264u);
    EXPECT_EQ(Recorder().Count("ApiProcessMessage"), 256u);
    std::vector<std::vector<ApiCall>> frames = SplitLoadingFrames(calls);
    ASSERT_EQ(frames.size(), 256u);

    const std::string white = "ApiPaintBox(0, 0, 640, 480, 16777215, 1)";
    const std::string picture = "ApiBlitGraph(64, 90, 77, 1)";
    const std::string text = "ApiDrawTextFormatted(100, 400, 0, \"Now Loading...\")";
    const std::string barBox = "ApiPaintBox(300, 400, 500, 424, 0, 1)";
    auto bar = [](int right) { return "ApiPaintBox(300, 402, " + std::to_string(right) + ", 422, 13107200, 1)"; };

    // The blend of the picture, text and bar, frame by frame: a fade in to
    // 254, opaque at 128, then a fade out from 125 whose parameters go below
    // 0 (the framework clamps them).
    for (int n = 1; n <= 256; ++n) {
        const std::vector<ApiCall>& frame = frames[n - 1];
        std::vector<std::string> blends = Strings(frame, "ApiSetBlendModeParam");
        std::string expected = n < 128   ? "ApiSetBlendModeParam(1, " + std::to_string(2 * n) + ")"
                               : n > 128 ? "ApiSetBlendModeParam(1, " + std::to_string(383 - 2 * n) + ")"
                                         : "ApiSetBlendModeParam(0, 0)";
        ASSERT_EQ(blends.size(), 2u) << n;
        EXPECT_EQ(blends[0], expected) << n;
        EXPECT_EQ(blends[1], "ApiSetBlendModeParam(0, 0)") << n;
        EXPECT_EQ(Strings(frame, "ApiPresentScreen").size(), n == 128 ? 10u : n == 256 ? 0u : 1u) << n;
        EXPECT_EQ(Strings(frame, "ApiGetPadState").size(), 0u);
    }
    EXPECT_EQ(Strings(frames[126], "ApiSetBlendModeParam")[0], "ApiSetBlendModeParam(1, 254)");
    EXPECT_EQ(Strings(frames[128], "ApiSetBlendModeParam")[0], "ApiSetBlendModeParam(1, 125)");

    // Frame 127: white, then the faded picture and text, no bar yet.
    std::vector<std::string> drawn;
    for (const ApiCall& call : frames[126])
        if (call.name == "ApiPaintBox" || call.name == "ApiBlitGraph" || call.name == "ApiDrawTextFormatted")
            drawn.push_back(call.ToString());
    EXPECT_EQ(drawn, (std::vector<std::string>{white, picture, text}));
    // Frame 129 adds the full bar under the fade.
    drawn.clear();
    for (const ApiCall& call : frames[128])
        if (call.name == "ApiPaintBox" || call.name == "ApiBlitGraph" || call.name == "ApiDrawTextFormatted")
            drawn.push_back(call.ToString());
    EXPECT_EQ(drawn, (std::vector<std::string>{white, picture, text, barBox, bar(500)}));

    // Frame 128: the effects load, then each present shows the bar one step
    // further, with a music track loaded after each of six steps; the frame
    // itself is drawn once more with the full bar and presented.
    std::vector<std::string> events;
    std::string lastBar;
    for (std::size_t k = 1; k < frames[127].size(); ++k) {
        const ApiCall& call = frames[127][k];
        if (call.name == "ApiPaintBox" && call.Int(1) == 402) lastBar = std::to_string(call.Int(2));
        if (call.name == "ApiPresentScreen") events.push_back("present " + lastBar);
        if (call.name == "ApiLoadSoundFile") events.push_back(call.Text(0));
        if (call.name == "ApiGetMilliseconds" && !events.empty()) events.push_back("clock");
        if (call.name == "ApiProcessMessage") events.push_back("messages");
    }
    const std::vector<std::string> expectedEvents = {
        "se\\die.wav",  "se\\item.wav",  "se\\senntaku.wav", "se\\select.wav", "se\\th.wav",   "se\\th2.wav",
        "se\\bomb.wav", "se\\cancel.wav", "se\\takara.wav",  "present 320",    "present 340", "se\\t1.wav",
        "present 360",  "se\\t2.wav",    "present 380",      "se\\t3.wav",     "present 400", "se\\t4.wav",
        "present 420",  "se\\t5.wav",    "present 440",      "se\\t6.wav",     "present 460", "present 480",
        "present 500",
    };
    EXPECT_EQ(events, expectedEvents);
    for (const ApiCall& call : frames[127]) {
        if (call.name == "ApiSetBlendModeParam") {
            EXPECT_EQ(call.Int(0), 0);
        }
    }
}

TEST_F(StartupTest, ClosedWindowEndsTheLoadingScreenEarly) {
    for (int closeAfter : {0, 50, 127, 128}) {
        SCOPED_TRACE(closeAfter);
        Recorder().Reset();
        for (int& h : g_SoundEffectHandles) h = 0;
        for (int& h : g_MusicTable) h = 0;
        Recorder().CloseWindowAfter(closeAfter);
        ShowLoadingScreen();
        const bool loaded = closeAfter >= 128;
        EXPECT_EQ(Recorder().Count("ApiLoadSoundFile"), loaded ? 15u : 0u);
        EXPECT_EQ(g_SoundEffectHandles[0] != 0, loaded);
        EXPECT_EQ(g_MusicTable[1] != 0, loaded);
        EXPECT_EQ(Recorder().Count("ApiPresentScreen"), static_cast<std::size_t>(closeAfter + (loaded ? 9 : 0)));
    }
}

TEST_F(StartupTest, LoadingScreenPacesOnTheSharedFrameTime) {
    Recorder().SetClock(1000, 1);
    g_FrameInputState.lastFrameTime = 998;
    ShowLoadingScreen();
    // 256 frames of at least 5 ms each, paced from the stored time.
    EXPECT_GE(g_FrameInputState.lastFrameTime, 998u + 256 * 5);
    EXPECT_LE(g_FrameInputState.lastFrameTime, 998u + 256 * 7);
}
