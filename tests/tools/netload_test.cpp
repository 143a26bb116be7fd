// The network load tool, run short: every run ends as it should (no slot
// held after the churn, every flood pass under the bar), so the figures it
// gives at full length come from a tool that works.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

namespace {

TEST(NetLoad, AShortRunOfEveryLoadEndsWell) {
    TempDir dir;
    std::string command = "cd '" + dir.str() + "' && '" + std::string(KELVO_TOOL_DIR) +
                          "/netload' --seconds 0.2 --connections 64 --cycles 300 >out.txt 2>err.txt";
    int status = std::system(command.c_str());
    std::string out = dir.Read("out.txt");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << out << dir.Read("err.txt");
    EXPECT_NE(out.find("flood, nobody reads"), std::string::npos) << out;
    EXPECT_NE(out.find("idle, 64 connections"), std::string::npos) << out;
    EXPECT_NE(out.find("churn: 300 connect-and-close cycles"), std::string::npos) << out;
    EXPECT_NE(out.find(": 0 slots held; a peer after them accepted"), std::string::npos) << out;
    EXPECT_EQ(out.find("FAILED"), std::string::npos) << out;
}

}  // namespace
