// The game benchmarks' peer draws the game's own frames: the drawing calls
// of field frames on the busiest stage, kept as the game made them and drawn
// again by SDL2's blitter with the pictures taken from the framework, give
// the picture the framework draws from the same calls, every channel of
// every pixel within one step (the two round blends differently), with
// mirrored monsters, boxes, glyphs and text among the draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "field/game_loop.h"
#include "front/startup.h"
#include "integration/support/generated_game_folder.h"
#include "rules/key_config.h"
#include "rules/player_record.h"
#include "rules/save_data.h"
#include "support/frame_draws.h"
#include "support/game_data_field.h"
#include "world/stages/stage_state.h"

namespace {

TEST(FrameReplay, SdlDrawsTheGamesFramesFromTheirCalls) {
    GeneratedGameFolder game;
    ASSERT_NO_FATAL_FAILURE(game.Start());
    LoadStartupImages();
    ApiSelectDrawTarget(kDrawTargetBack);
    LoadKeyConfig();
    ApplyKeyConfig();
    InitNewGame();
    g_PlayerRecord.stage = static_cast<std::int8_t>(BusiestStage());
    g_PlayerRecord.arrivalCameraX = kCameraLeftBound + 1000;
    g_PlayerRecord.arrivalPlayerY = 200;
    g_PlayerRecord.arrivalScreenX = 320;
    g_LoadedGameFlag = 1;
    StartGame();
    g_StageState.fadeCounter = 0;

    std::vector<RecordedFrame> frames;
    {
        DrawRecorder recorder;
        for (int i = 0; i < 8; ++i) {
            g_PlayerRecord.hp = g_PlayerRecord.maxHp = 1'000'000;
            ASSERT_EQ(RunGameFrame(), FrameResult::kPresented);
        }
        frames = recorder.Frames();
    }
    ASSERT_EQ(frames.size(), 8u);
    const DrawCounts n = CountDraws(frames);
    EXPECT_GT(n.blits, 20);
    EXPECT_GT(n.mirrored, 0);
    EXPECT_GT(n.boxes, 0);
    EXPECT_GT(n.texts, 0);

    SdlFrameReplay sdl(frames);
    ASSERT_TRUE(sdl.Ready());
    for (std::size_t f = 0; f < frames.size(); ++f) {
        SCOPED_TRACE(f);
        // The frame's calls but its present, so that the back screen is
        // taken as they left it.
        RecordedFrame calls = frames[f];
        ASSERT_EQ(calls.back().call.kind, ApiDrawKind::kPresent);
        calls.pop_back();
        ReplayThroughFramework(calls);
        const ScreenPicture ours = TakeBackScreen();
        sdl.Draw(frames[f]);
        ASSERT_EQ(ours.width, 640);
        ASSERT_EQ(ours.height, 480);
        const SDL_Surface* s = sdl.Screen();
        int worst = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                const int a = reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(s->pixels) +
                                                                     y * s->pitch)[x];
                const int b = ours.pixels[static_cast<std::size_t>(y) * 640 + x];
                worst = std::max({worst, std::abs((a >> 11) - (b >> 11)), std::abs((a >> 5 & 63) - (b >> 5 & 63)),
                                  std::abs((a & 31) - (b & 31))});
            }
        EXPECT_LE(worst, 1);
    }
    EXPECT_EQ(sdl.Unmatched(), 0);
    game.End();
}

}  // namespace
