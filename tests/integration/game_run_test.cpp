// The game program started the way ./run.sh starts it on a machine without a
// display: it runs headless beside its data set, and ends by itself once its
// frame count is reached or its input script has run out, leaving the save
// folder as it was.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs the game in its own folder with the given environment; its exit code.
int RunGame(const std::string& environment) {
    const fs::path game = KELVO_GAME_PATH;
    std::string command = "cd '" + game.parent_path().string() +
                          "' && env -u KELVO_INPUT -u KELVO_FRAMES KELVO_PLATFORM=headless " + environment + " ./" +
                          game.filename().string() + " >/dev/null 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string SaveFolder() {
    std::string all;
    const fs::path folder = fs::path(KELVO_GAME_PATH).parent_path() / "savedata";
    for (const char* name : {"config.dat", "sys.dat", "start1.dat", "start2.dat", "start3.dat", "start4.dat"})
        all += Slurp(folder / name) + "|";
    return all;
}

}  // namespace

TEST(GameRun, EndsAfterItsFrameCount) {
    TempDir frames;
    const std::string saves = SaveFolder();
    ASSERT_EQ(RunGame("KELVO_FRAMES=300 KELVO_CAPTURE=" + frames.str() + " KELVO_CAPTURE_EVERY=100"), 0);
    // The loading screen's 264 presents, then the title's.
    for (const char* name : {"frame000001.png", "frame000100.png", "frame000200.png", "frame000300.png"})
        EXPECT_TRUE(fs::exists(frames.path() / name)) << name;
    EXPECT_FALSE(fs::exists(frames.path() / "frame000400.png"));
    EXPECT_EQ(SaveFolder(), saves);
}

TEST(GameRun, EndsWhenItsInputScriptRunsOut) {
    TempDir work;
    // Past the loading screen, then the decide key on the title and in the
    // main menu: the run ends in the file select, 290 frames in.
    work.Write("keys.txt", "# to the file select\n270* -\nX\n9* -\nX\n9* -\n");
    const std::string saves = SaveFolder();
    ASSERT_EQ(RunGame("KELVO_INPUT=" + work.str() + "/keys.txt KELVO_CAPTURE=" + work.str() +
                      " KELVO_CAPTURE_EVERY=10"),
              0);
    EXPECT_TRUE(fs::exists(work.path() / "frame000290.png"));
    EXPECT_FALSE(fs::exists(work.path() / "frame000300.png"));
    EXPECT_EQ(SaveFolder(), saves);
}
