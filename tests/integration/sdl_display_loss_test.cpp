// The game's display going away under it (its X server ended with SIGTERM, as
// a display that shuts down or a session that ends does) at the title, in a
// stage and as the system menu's EXIT is pressed: the game ends as for a close
// it did not choose, with status 0, never a signal, and its save is whole;
// a display gone before the game reached it is a start that fails.
// Each run has an X server of its own. Run with the window tests (under
// xvfb-run); skipped without a display or without Xvfb (and xdotool, which
// plays the keys, for the runs into a stage).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "integration/support/game_process.h"
#include "integration/support/x_server.h"
#include "rules/player_record.h"
#include "rules/save_data.h"
#include "support/temp_dir.h"

namespace {

bool Have(const char* program) { return std::system(("command -v " + std::string(program) + " >/dev/null 2>&1").c_str()) == 0; }

std::string Contents(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The save folder's files by name.
std::map<std::string, std::string> SaveFolder(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder + "/savedata"))
        files[entry.path().filename().string()] = Contents(entry.path());
    return files;
}

class SdlDisplayLoss : public ::testing::Test {
protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0' || !Have("Xvfb")) GTEST_SKIP() << "no display or no Xvfb";
        ASSERT_EQ(std::system((std::string(KELVO_DATAGEN_PATH) + " " + folder_.str() + " >/dev/null").c_str()), 0);
    }

    // Starts the game on an X server of its own and waits for the title.
    void StartToTitle(bool glx) {
        server_ = std::make_unique<xserver::XServer>(glx);
        ASSERT_TRUE(server_->started());
        std::remove(counters().c_str());
        game_ = gameprocess::Start(folder_.str(), server_->name(), counters());
        ASSERT_GT(game_, 0);
        ASSERT_TRUE(gameprocess::WaitForTitle(game_, counters())) << "the game reached the title";
    }

    // The keyboard's focus on the game's window (there is no window manager
    // to give it).
    void FocusGame() {
        xserver::WindowWatch watch(server_->name());
        const unsigned long window = watch.MappedWindowOf(game_);
        watch.Close();
        ASSERT_NE(window, 0u);
        ASSERT_EQ(Xdotool("mousemove --window " + std::to_string(window) + " 320 240 windowfocus --sync " +
                          std::to_string(window)),
                  0);
    }

    int Xdotool(const std::string& command) {
        return std::system(("DISPLAY=" + server_->name() + " xdotool " + command + " >/dev/null 2>&1").c_str());
    }

    // A key held for 20 of the game's frames, then let go for 20.
    void Press(const std::string& key) {
        ASSERT_EQ(Xdotool("keydown " + key), 0);
        WaitFrames(20);
        ASSERT_EQ(Xdotool("keyup " + key), 0);
        WaitFrames(20);
    }

    void WaitFrames(long long frames) {
        ASSERT_TRUE(gameprocess::WaitForFrames(game_, counters(), gameprocess::Counter(counters(), "presented"), frames));
    }

    // From the title into the first stage: GAME MODE, the first slot, NORMAL,
    // and QUEST START played out.
    void IntoTheFirstStage() {
        ASSERT_NO_FATAL_FAILURE(FocusGame());
        for (int i = 0; i < 4; ++i) ASSERT_NO_FATAL_FAILURE(Press("x"));
        ASSERT_NO_FATAL_FAILURE(WaitFrames(500));
    }

    // Ends the game's X server and expects the game to end by itself, with
    // status 0.
    void LoseTheDisplay(const char* where) {
        ASSERT_TRUE(server_->End());
        const gameprocess::End end = gameprocess::WaitForEnd(game_, 30000);
        std::printf("display ended %s: the game %s %d\n", where,
                    !end.ended ? "was still running" : end.signalled ? "died of signal" : "exited with status",
                    end.code);
        ASSERT_TRUE(end.ended) << "the game ended by itself";
        EXPECT_FALSE(end.signalled) << "signal " << end.code;
        EXPECT_EQ(end.code, 0);
        EXPECT_GE(gameprocess::Counter(counters(), "close"), 0) << "the loss reached the game as a close";
    }

    // The first slot's save, whole and of a game in the first stage.
    void ExpectTheFirstSlotSaved() {
        const auto files = SaveFolder(folder_.str());
        for (const auto& [name, bytes] : files)
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << name << " left behind";
        ASSERT_EQ(files.count("file1.dat"), 1u) << "the game was saved";
        const std::string& save = files.at("file1.dat");
        std::printf("the save: file1.dat, %zu bytes\n", save.size());
        ASSERT_EQ(save.size(), kSaveRecordSize);
        std::uint8_t bytes[kSaveRecordSize];
        std::copy(save.begin(), save.end(), bytes);
        PlayerRecord record{};
        ASSERT_TRUE(DecodeSaveRecord(bytes, record)) << "the save reads back";
        EXPECT_EQ(record.stage, 1);
    }

    std::string counters() const { return folder_.str() + "/counters"; }

    TempDir folder_;
    std::unique_ptr<xserver::XServer> server_;
    pid_t game_ = -1;
};

TEST_F(SdlDisplayLoss, AtTheTitleTheGameEndsAndLeavesItsSavesAlone) {
    for (const bool glx : {true, false}) {
        SCOPED_TRACE(glx ? "with GLX" : "without GLX");
        ASSERT_NO_FATAL_FAILURE(StartToTitle(glx));
        ASSERT_NO_FATAL_FAILURE(WaitFrames(10));
        const auto before = SaveFolder(folder_.str());
        ASSERT_NO_FATAL_FAILURE(LoseTheDisplay(glx ? "at the title (GLX)" : "at the title (no GLX)"));
        EXPECT_EQ(SaveFolder(folder_.str()), before);
    }
}

TEST_F(SdlDisplayLoss, InAStageTheGameSavesAndEnds) {
    if (!Have("xdotool")) GTEST_SKIP() << "no xdotool";
    ASSERT_NO_FATAL_FAILURE(StartToTitle(true));
    ASSERT_NO_FATAL_FAILURE(IntoTheFirstStage());
    ASSERT_EQ(SaveFolder(folder_.str()).count("file1.dat"), 0u);
    ASSERT_NO_FATAL_FAILURE(LoseTheDisplay("in a stage"));
    ExpectTheFirstSlotSaved();
}

TEST_F(SdlDisplayLoss, AsTheSystemMenusExitIsPressedTheGameSavesAndEnds) {
    if (!Have("xdotool")) GTEST_SKIP() << "no xdotool";
    ASSERT_NO_FATAL_FAILURE(StartToTitle(false));
    ASSERT_NO_FATAL_FAILURE(IntoTheFirstStage());
    ASSERT_NO_FATAL_FAILURE(Press("Escape"));
    ASSERT_NO_FATAL_FAILURE(Press("Up"));
    ASSERT_EQ(Xdotool("keydown x"), 0);
    ASSERT_NO_FATAL_FAILURE(LoseTheDisplay("as EXIT is pressed"));
    ExpectTheFirstSlotSaved();
}

// Ended before the game could reach it, the display gives SDL nothing but
// its invisible drivers: the game says it cannot start, rather than run on in
// a window no one can see or close.
TEST_F(SdlDisplayLoss, GoneBeforeTheGameReachesItTheGameEndsWithAFailure) {
    std::string gone;
    {
        xserver::XServer server(false);
        ASSERT_TRUE(server.started());
        gone = server.name();
    }
    const pid_t game = gameprocess::Start(folder_.str(), gone, counters());
    ASSERT_GT(game, 0);
    const gameprocess::End end = gameprocess::WaitForEnd(game, 30000);
    ASSERT_TRUE(end.ended) << "the game ended by itself";
    EXPECT_FALSE(end.signalled) << "signal " << end.code;
    EXPECT_NE(end.code, 0);
}

}  // namespace
