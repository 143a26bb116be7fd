// The replay tools play in a folder of their own, from the saves the data
// set ships: two timedemo runs of one script, one after the other on one data
// folder, are the same run frame for frame, and the data folder's own saves
// are left as they were (an earlier timedemo wrote its saves there, and the
// second run took another path from the title's slot list on).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> Saves(const TempDir& data) {
    std::map<std::string, std::string> saves;
    for (const auto& entry : fs::directory_iterator(data.path() / "savedata"))
        saves[entry.path().filename().string()] = data.Read("savedata/" + entry.path().filename().string());
    return saves;
}

TEST(PlayFolder, TwoTimedemoRunsAreTheSameRunAndLeaveTheDataFolderAlone) {
    // A data folder over the build's data set, with a save folder of its own.
    const fs::path built(KELVO_TOOL_DIR);
    TempDir data, out;
    for (const char* entry : {"bmp", "data", "rukbmp", "se"}) fs::create_directory_symlink(built / entry, data.path() / entry);
    data.Write("savedata/start1.dat", std::string("n\0\0\0\0", 5));
    data.Write("savedata/keep.txt", "a player's file");
    const auto savesBefore = Saves(data);
    const std::string script = std::string(KELVO_TEST_DATA_DIR) + "/playthrough/keys.txt";
    std::string report[2];
    for (int run = 0; run < 2; ++run) {
        const std::string command = "cd '" + out.str() + "' && KELVO_FRAME_HASHES=hashes" + std::to_string(run) +
                                    ".txt '" + built.string() + "/timedemo' '" + data.str() + "' '" + script +
                                    "' 1000 >report" + std::to_string(run) + ".txt 2>/dev/null";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        report[run] = out.Read("report" + std::to_string(run) + ".txt");
    }
    // "frames N in ..." : the same count; the hashes of every 100th frame
    // alike, written where the tool was started.
    EXPECT_EQ(report[0].substr(0, report[0].find(" in ")), "frames 1001");
    EXPECT_EQ(report[1].substr(0, report[1].find(" in ")), "frames 1001");
    const std::string hashes = out.Read("hashes0.txt");
    EXPECT_EQ(std::count(hashes.begin(), hashes.end(), '\n'), 10);
    EXPECT_EQ(out.Read("hashes1.txt"), hashes);
    EXPECT_EQ(Saves(data), savesBefore);
    // The links of the play folder went with it, and what they led to stayed.
    EXPECT_TRUE(fs::exists(built / "rukbmp"));
}

}  // namespace
