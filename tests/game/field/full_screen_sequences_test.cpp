// QUEST START, GAME OVER and the ending on the recording stand-in: how many
// frames each shows, their fades, the keys GAME OVER listens to, its penalty,
// and a closed window.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "field/full_screen_sequences.h"
#include "game/support/game_frame.h"
#include "game/support/working_dir.h"
#include "rules/gallery_flags.h"
#include "rules/player_record.h"
#include "world/monsters/damage_numbers.h"

namespace {

class SequencesTest : public GameFrameTest {};

// Per presented frame (1, 2, ...): the alpha under which the frame's letters
// of `firstLetter` were drawn, -1 without blending, -2 when not drawn.
std::vector<int> LetterAlphas(int firstLetter) {
    std::vector<int> alphas = {-2};
    int alpha = -1;
    bool drawn = false;
    for (const ApiCall& call : Recorder().Calls()) {
        if (call.name == "ApiSetBlendModeParam") alpha = call.Int(0) == 1 ? static_cast<int>(call.Int(1)) : -1;
        if (call.name == "ApiBlitGraph" && call.Int(2) == firstLetter && !drawn) {
            alphas.back() = alpha;
            drawn = true;
        }
        if (call.name == "ApiPresentScreen") {
            alphas.push_back(-2);
            drawn = false;
        }
    }
    return alphas;
}

TEST_F(SequencesTest, QuestStartShows380FramesFadingInAndStaying) {
    ShowQuestStart();
    EXPECT_EQ(Recorder().Count("ApiPresentScreen"), 380u);
    EXPECT_EQ(Recorder().Count("ApiClearDrawTarget"), 381u);
    const std::vector<int> q = LetterAlphas(kLetterBase + 'Q' - 'A');
    for (auto [n, alpha] : {std::pair{1, 1}, {127, 127}, {128, -1}, {255, -1}, {256, 512}, {380, 388}, {381, 387}})
        EXPECT_EQ(q.at(n - 1), alpha) << n;
    // QUEST at 210 ... 290, START at 330 ... 410, all at y 220.
    EXPECT_EQ(BlitsOf(kLetterBase + 'T' - 'A', 1).at(0), (Blit{kLetterBase + 'T' - 'A', 290, 220}));
    EXPECT_EQ(BlitsOf(kLetterBase + 'A' - 'A', 1).at(0), (Blit{kLetterBase, 370, 220}));

    Recorder().ClearCalls();
    Recorder().CloseWindowAfter(10);
    ShowQuestStart();
    EXPECT_EQ(Recorder().Count("ApiPresentScreen"), 10u);
}

TEST_F(SequencesTest, GameOverFadesThePictureInAndWaitsForANewPressFromFrame769) {
    struct Case {
        const char* what;
        std::vector<std::uint32_t> pads;  // from its first frame on
        std::size_t presents;
    };
    std::vector<std::uint32_t> early(800, 0);
    early[767] = 0x20;  // frame 768: too early
    early[768] = 0;
    early[769] = 0x10;  // frame 770
    std::vector<std::uint32_t> held(900, 0x40);  // held since frame 1: never new
    held.push_back(0);
    held.push_back(0x40);  // pressed again on frame 902
    for (const Case& c : {Case{"pressed on 768, then 770", early, 769}, Case{"held throughout", held, 901}}) {
        SCOPED_TRACE(c.what);
        ScopedWorkingDir dir;
        ResetGameFrame();
        Recorder().QueuePadStates(c.pads);
        g_DefeatPictureIndex = 5;
        ShowGameOver();
        EXPECT_EQ(Recorder().Count("ApiPresentScreen"), c.presents);
    }

    const std::vector<ApiCall>& calls = Recorder().Calls();
    // The eight music entries stop first.
    for (int i = 0; i < 8; ++i) EXPECT_EQ(calls.at(i).ToString(), "ApiStopSoundHandle(" + std::to_string(kMusicBase + i) + ")");
    // The picture, opaque; over it the black box at 255 - n until n = 254.
    EXPECT_EQ(BlitsOf(kGalleryBase + 5, 1).size(), 902u);
    std::vector<std::int64_t> boxAlphas;
    std::int64_t alpha = 0;
    for (const ApiCall& call : calls) {
        if (call.name == "ApiSetBlendModeParam") alpha = call.Int(1);
        if (call.name == "ApiPaintBox") boxAlphas.push_back(alpha);
    }
    ASSERT_EQ(boxAlphas.size(), 254u);
    EXPECT_EQ(boxAlphas.front(), 254);
    EXPECT_EQ(boxAlphas.back(), 1);
    const std::vector<int> g = LetterAlphas(kLetterBase + 'G' - 'A');
    for (auto [n, alpha] : {std::pair{512, -2}, {513, 1}, {766, 254}, {767, -1}, {900, -1}})
        EXPECT_EQ(g.at(n - 1), alpha) << n;
}

TEST_F(SequencesTest, GameOverPenaltyIsAppliedHoweverTheSequenceEnds) {
    struct Case {
        std::int32_t maxHp, maxSp, level, exp, hpAfter, spAfter, expAfter;
    };
    const Case cases[] = {
        {621, 210, 2, 5, 310, 105, 0},       // 100 / 10 taken from 5: not below 0
        {620, 211, 10, 1000, 310, 105, 870},  // 1300 / 10
        {1, 1, 89, 2000000000, 0, 0, 2000000000 - 121575219},
        {5000, 300, 0, 3, 2500, 150, 0},  // a level outside the table reads its end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "level " << c.level);
        ScopedWorkingDir dir;
        ResetGameFrame();
        Recorder().CloseWindowAfter(0);  // closed at once: no frame at all
        g_PlayerRecord.hp = 0;
        g_PlayerRecord.maxHp = c.maxHp, g_PlayerRecord.maxSp = c.maxSp;
        g_PlayerRecord.level = c.level, g_PlayerRecord.exp = c.exp;
        g_PlayerPopupRing.timer[29] = 7;
        g_DefeatPictureIndex = 31;
        ShowGameOver();
        EXPECT_EQ(Recorder().Count("ApiPresentScreen"), 0u);
        EXPECT_EQ(g_PlayerRecord.hp, c.hpAfter);
        EXPECT_EQ(g_PlayerRecord.sp, c.spAfter);
        EXPECT_EQ(g_PlayerRecord.exp, c.expAfter);
        EXPECT_EQ(g_PlayerPopupRing.timer[29], 0);
        // The picture is open, and the gallery file says so.
        std::ifstream file("savedata/sys.dat", std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
        ASSERT_EQ(bytes.size(), 32u);
        EXPECT_EQ(bytes[31], 1);
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 1), 1);
    }

    // A picture index outside the gallery opens nothing and reads nothing.
    ScopedWorkingDir dir;
    ResetGameFrame();
    Recorder().CloseWindowAfter(1);
    g_DefeatPictureIndex = 32;
    ShowGameOver();
    EXPECT_TRUE(BlitsOf(kGalleryBase, 64).empty());
    EXPECT_FALSE(std::filesystem::exists("savedata/sys.dat"));
}

TEST_F(SequencesTest, TheEndingCyclesItsTitleColoursAndShows768Frames) {
    ShowEnding();
    EXPECT_EQ(Recorder().Count("ApiPresentScreen"), 768u);
    // The C of CONGRATULATIONS steps through the colour sets every 7 frames.
    std::vector<int> sets;
    for (const Blit& b : BlitsOf(kLetterBase, 104))
        if (b.x == 170) sets.push_back((b.handle - kLetterBase) / 26);
    ASSERT_EQ(sets.size(), 769u);
    for (auto [n, set] : {std::pair{1, 0}, {6, 0}, {7, 1}, {14, 2}, {21, 3}, {28, 0}, {769, 1}})
        EXPECT_EQ(sets.at(n - 1), set) << n;
    const std::vector<int> congratulations = LetterAlphas(kLetterBase + 26 * 2 + 'C' - 'A');
    EXPECT_EQ(congratulations.at(13), 14);
    // THANK YOU FOR PLAYING: from frame 256, fading in until 511.
    const std::vector<int> thank = LetterAlphas(kLetterBase + 'H' - 'A');
    for (auto [n, alpha] : {std::pair{255, -2}, {256, 0}, {511, 255}, {512, -1}})
        EXPECT_EQ(thank.at(n - 1), alpha) << n;
    EXPECT_EQ(BlitsOf(kLetterBase + 'G' - 'A', 1).back(), (Blit{kLetterBase + 'G' - 'A', 520, 320}));
}

}  // namespace
