// The committed playthrough replayed through the game program headless, on a
// freshly generated data set: the frame hash of every 100th frame and the
// save files afterwards must be what they were when the script was made.
// Every run replays its opening (through the first stages) and a run
// recorded by hand; KELVO_LONG=1 replays the whole bot run.
//
// After a deliberate change of what the game shows or saves, run the test
// with KELVO_REFRESH=1 to write the new expectations, and look at them.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const fs::path kFolder = fs::path(KELVO_TEST_DATA_DIR) / "playthrough";

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Hex(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::uint64_t Fnv(const std::string& bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ull;
    return hash;
}

// Size and hash of every save file the run in `work` left.
std::string SaveAccount(const TempDir& work) {
    std::map<std::string, std::string> saves;
    for (const auto& entry : fs::directory_iterator(work.path() / "savedata"))
        saves[entry.path().filename().string()] = Slurp(entry.path());
    std::string account;
    for (const auto& [name, bytes] : saves)
        account += name + " " + std::to_string(bytes.size()) + " " + Hex(Fnv(bytes)) + "\n";
    return account;
}

// Plays `script` for at most `frames` presented frames on a fresh data set in
// `work` (the window is closed then, so the game saves as on a quit); the
// run's account: the frame hashes, then the save files.
std::string Replay(const TempDir& work, const fs::path& script, std::uint64_t frames,
                   const std::string& environment = "") {
    const std::string generate = std::string(KELVO_DATAGEN_PATH) + " " + work.str() + " >/dev/null";
    EXPECT_EQ(std::system(generate.c_str()), 0);
    const std::string run = "cd '" + work.str() + "' && env -u KELVO_CAPTURE -u KELVO_RECORD KELVO_PLATFORM=headless " +
                            environment + " KELVO_INPUT='" + script.string() + "' KELVO_FRAMES=" +
                            std::to_string(frames) + " KELVO_FRAME_HASHES=hashes.txt " + KELVO_GAME_PATH +
                            " >/dev/null 2>&1";
    const int status = std::system(run.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    return Slurp(work.path() / "hashes.txt") + SaveAccount(work);
}

// The number of frames an expectation file was made for (its first line).
std::uint64_t FramesOf(const std::string& expectation) {
    std::istringstream in(expectation);
    std::string word;
    std::uint64_t frames = 0;
    in >> word >> frames;
    return word == "frames" ? frames : 0;
}

void Check(const char* name) {
    const fs::path path = kFolder / name;
    const std::string expected = Slurp(path);
    const std::uint64_t frames = FramesOf(expected);
    ASSERT_GT(frames, 0u) << path << " names no frame count";
    const std::string header = "frames " + std::to_string(frames) + "\n";
    TempDir work;
    const std::string account = header + Replay(work, kFolder / "keys.txt", frames);
    if (std::getenv("KELVO_REFRESH") != nullptr) {
        std::ofstream(path, std::ios::binary) << account;
        GTEST_SKIP() << "wrote " << path;
    }
    EXPECT_EQ(account, expected) << "the replay went another way; if that was meant, refresh " << path;
}

// The save-file lines of an account (those that do not start with a frame
// number).
std::string SavesOf(const std::string& account) {
    std::istringstream in(account);
    std::string line, saves;
    while (std::getline(in, line))
        if (!line.empty() && !std::isdigit(static_cast<unsigned char>(line[0])) && line.rfind("frames ", 0) != 0)
            saves += line + "\n";
    return saves;
}

// The same script on the Direct3D road: its frames differ from the software
// road's by rounding, its play and saves not at all.
void CheckSavesOnDirect3D(const char* name) {
    const std::string expected = Slurp(kFolder / name);
    const std::uint64_t frames = FramesOf(expected);
    ASSERT_GT(frames, 0u);
    TempDir work;
    const std::string account = Replay(work, kFolder / "keys.txt", frames, "KELVO_D3D=1");
    ASSERT_FALSE(SavesOf(expected).empty());
    EXPECT_EQ(SavesOf(account), SavesOf(expected)) << "the Direct3D road played another way";
}

TEST(PlaythroughReplay, TheOpeningReplaysToTheSameFramesAndSaves) { Check("opening.txt"); }

TEST(PlaythroughReplay, TheOpeningReplaysToTheSameSavesOnTheDirect3DRoad) { CheckSavesOnDirect3D("opening.txt"); }

TEST(PlaythroughReplay, TheWholeScriptReplaysToTheSameFramesAndSaves) {
    const char* longRun = std::getenv("KELVO_LONG");
    if (longRun == nullptr || std::string(longRun) != "1") GTEST_SKIP() << "the whole script replays with KELVO_LONG=1";
    Check("whole.txt");
}

TEST(PlaythroughReplay, TheWholeScriptReplaysToTheSameSavesOnTheDirect3DRoad) {
    const char* longRun = std::getenv("KELVO_LONG");
    if (longRun == nullptr || std::string(longRun) != "1") GTEST_SKIP() << "the whole script replays with KELVO_LONG=1";
    CheckSavesOnDirect3D("whole.txt");
}

// A run played by hand in a window (keys pressed by xdotool under Xvfb and
// kept with KELVO_RECORD, see scripts/record_by_hand.sh) replays headless to
// the save files the window run left. Recorded again while it replays, the
// keys come out as the same script, frame for frame.
TEST(PlaythroughReplay, AHandRecordedRunReplaysToItsSavesAndRecordsTheSameKeys) {
    TempDir work;
    Replay(work, kFolder / "by_hand.txt", 100'000, "KELVO_RECORD=again.txt");
    EXPECT_EQ(SaveAccount(work), Slurp(kFolder / "by_hand_saves.txt"));
    EXPECT_EQ(Slurp(work.path() / "again.txt"), Slurp(kFolder / "by_hand.txt"));
}

}  // namespace
