// The tools' command lines: each prints its usage for --help and refuses an
// option it does not know, and neither ever takes an option for a folder or
// file to write.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace {

struct ToolRun {
    int code;
    std::string out, err;
};

// Runs a tool inside `dir` with the arguments (shell-quoted by the caller).
ToolRun RunTool(const TempDir& dir, const std::string& tool, const std::string& arguments) {
    std::string command = "cd '" + dir.str() + "' && '" + std::string(KELVO_TOOL_DIR) + "/" + tool + "' " +
                          arguments + " >out.txt 2>err.txt";
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, dir.Read("out.txt"), dir.Read("err.txt")};
}

TEST(ToolOptions, HelpPrintsTheUsageAndUnknownOptionsAreRefused) {
    struct Case {
        const char* tool;
        const char* arguments;
        int code;  // 0: the usage on the output; 2: the usage on the error stream
    };
    const Case cases[] = {
        {"datagen", "--help", 0},          {"datagen", "--bogus", 2},     {"datagen", "-x", 2},
        {"datagen", "--help extra", 2},    {"datagen", "--map 99", 2},    {"datagen", "--contact", 2},
        {"kvapack", "--help", 0},          {"kvapack", "--bogus dir", 2}, {"kvapack", "--version", 2},
        {"kvapack", "dir --help", 0},      {"stagecapture", "--help", 0}, {"stagecapture", "--bogus", 2},
        {"stagecapture", ". 2 --frames", 2}, {"stagecapture", ". 0", 2},  {"stagecapture", ". 2 ten", 2},
        {"stagecapture", "", 2},           {"playthrough", "--help", 0},  {"playthrough", "--bogus", 2},
        {"playthrough", "data", 2},        {"timedemo", "--help", 0},     {"timedemo", "data -x", 2},
        {"timedemo", "", 2},               {"netload", "--help", 0},      {"netload", "--bogus", 2},
        {"netload", "--seconds", 2},       {"netload", "--only nothing", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tool) + " " + c.arguments);
        TempDir dir;
        ToolRun run = RunTool(dir, c.tool, c.arguments);
        EXPECT_EQ(run.code, c.code);
        const std::string& usage = c.code == 0 ? run.out : run.err;
        EXPECT_NE(usage.find("usage: "), std::string::npos) << run.out << run.err;
        EXPECT_NE(usage.find(std::string(c.tool) + " --help"), std::string::npos);
        // Nothing was written: only the two captured streams are there.
        std::size_t entries = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) entries += entry.exists();
        EXPECT_EQ(entries, 2u);
    }
}

}  // namespace
