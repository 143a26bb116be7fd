// Plain files: whole-item reads, seeks, the reader thread, paths and
// temporary files.
#include <gtest/gtest.h>


#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/memory.h"
#include "files/file_functions.h"
#include "files/plain_file.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "support/no_progress.h"
#include "support/temp_dir.h"

namespace {

std::string WinPath(const TempDir& dir, const std::string& relative) {
    std::string path = PlatformWindowsPath(dir.str()) + "\\" + relative;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string Pattern(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
    return s;
}

class PlainFileTest : public ::testing::TestWithParam<int> {
protected:
    int async() const { return GetParam(); }
    TempDir dir_;
};

TEST_P(PlainFileTest, ReadsWholeItemsOnlyAndMarksTheEnd) {
    dir_.Write("ten.bin", "0123456789");
    PlainFileRecord* file = OpenPlainFile(WinPath(dir_, "ten.bin").c_str(), async(), 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->size, 10u);
    char buffer[16] = {};
    EXPECT_EQ(PlainFileRead(buffer, 4, 3, file), 2);
    EXPECT_EQ(std::string(buffer, 8), "01234567");
    EXPECT_EQ(PlainFileTell(file), 8);
    EXPECT_EQ(PlainFileEof(file), 0);
    // Two bytes are left, no whole item of four.
    EXPECT_EQ(PlainFileRead(buffer, 4, 3, file), 0);
    EXPECT_EQ(PlainFileEof(file), -1);
    EXPECT_EQ(PlainFileTell(file), 8);
    EXPECT_EQ(PlainFileSeek(file, 8, 0), 0);
    EXPECT_EQ(PlainFileEof(file), 0);
    EXPECT_EQ(PlainFileRead(buffer, 1, 5, file), 2);
    EXPECT_EQ(std::string(buffer, 2), "89");
    EXPECT_EQ(PlainFileRead(buffer, 1, 5, file), 0);
    EXPECT_EQ(PlainFileEof(file), -1);
    EXPECT_EQ(ClosePlainFile(file), 0);
}

TEST_P(PlainFileTest, SeeksFromEachOrigin) {
    dir_.Write("f.bin", "abcdefghij");
    PlainFileRecord* file = OpenPlainFile(WinPath(dir_, "f.bin").c_str(), async(), 0);
    ASSERT_NE(file, nullptr);
    char c[3] = {};
    EXPECT_EQ(PlainFileSeek(file, -3, 2), 0);
    EXPECT_EQ(PlainFileRead(c, 1, 1, file), 1);
    EXPECT_EQ(c[0], 'h');
    EXPECT_EQ(PlainFileSeek(file, -4, 1), 0);
    EXPECT_EQ(PlainFileRead(c, 2, 1, file), 1);
    EXPECT_EQ(std::string(c, 2), "ef");
    // Before the start is refused and changes nothing.
    EXPECT_EQ(PlainFileSeek(file, -100, 1), -1);
    EXPECT_EQ(PlainFileTell(file), 6);
    // Past the end is allowed; a read there finds the end.
    EXPECT_EQ(PlainFileSeek(file, 20, 0), 0);
    EXPECT_EQ(PlainFileRead(c, 1, 1, file), 0);
    EXPECT_EQ(PlainFileEof(file), -1);
    EXPECT_EQ(ClosePlainFile(file), 0);
}

// A product size x count that wraps must not pass for a small request.
TEST_P(PlainFileTest, HugeItemCountsDoNotWrap) {
    dir_.Write("h.bin", std::string(100, 'h'));
    PlainFileRecord* file = OpenPlainFile(WinPath(dir_, "h.bin").c_str(), async(), 0);
    ASSERT_NE(file, nullptr);
    std::vector<char> buffer(100);
    EXPECT_EQ(PlainFileRead(buffer.data(), 0x100000000ull, 0x100000000ull, file), 0);
    EXPECT_EQ(PlainFileTell(file), 0);
    EXPECT_EQ(PlainFileRead(buffer.data(), 16, SIZE_MAX / 8, file), 6);
    EXPECT_EQ(PlainFileTell(file), 96);
    ClosePlainFile(file);
}

// A file that shrinks after the open gives fewer bytes than asked: the
// position follows what was really read.
TEST_P(PlainFileTest, PositionAdvancesByWhatWasRead) {
    dir_.Write("s.bin", "0123456789");
    PlainFileRecord* file = OpenPlainFile(WinPath(dir_, "s.bin").c_str(), async(), 0);
    ASSERT_NE(file, nullptr);
    std::filesystem::resize_file(dir_.path() / "s.bin", 4);
    char buffer[10];
    EXPECT_EQ(PlainFileRead(buffer, 1, 10, file), 4);
    EXPECT_EQ(PlainFileTell(file), 4);
    EXPECT_EQ(PlainFileRead(buffer, 2, 3, file), 0);
    EXPECT_EQ(PlainFileTell(file), 4);
    ClosePlainFile(file);
}

TEST_P(PlainFileTest, MissingFileFailsAndLeavesNothingAllocated) {
    int blocks = g_MemoryTracker.count;
    EXPECT_EQ(OpenPlainFile(WinPath(dir_, "none.bin").c_str(), async(), 0), nullptr);
    EXPECT_EQ(g_MemoryTracker.count, blocks);
}

TEST_P(PlainFileTest, LargeFileReadsBackByteForByte) {
    std::string content = Pattern(0x20000 * 2 + 777);
    dir_.Write("big.bin", content);
    PlainFileRecord* file = OpenPlainFile(WinPath(dir_, "big.bin").c_str(), async(), 0);
    ASSERT_NE(file, nullptr);
    std::string out(content.size(), '\0');
    std::size_t at = 0;
    std::size_t step = 1000;
    while (at < out.size()) {
        std::int64_t got = PlainFileRead(&out[at], 1, step, file);
        ASSERT_GT(got, 0);
        at += static_cast<std::size_t>(got);
        step = step * 3 % 70001 + 1;
    }
    EXPECT_EQ(out, content);
    EXPECT_EQ(PlainFileIdleCheck(file), 1);
    EXPECT_EQ(ClosePlainFile(file), 0);
}

INSTANTIATE_TEST_SUITE_P(SyncAndAsync, PlainFileTest, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "Sync" : "Async"; });

// Whether the reader thread has topped up its buffer, waited for in real
// time (Sleep on this thread would only move the headless clock) as long as
// it takes, to the no-progress limit: the thread does it within its 100 ms
// slices on a quiet machine, and much later on a busy one.
bool ReadAheadFilled(const PlainFileRecord* file) {
    const auto until = std::chrono::steady_clock::now() + NoProgressLimit();
    while (std::atomic_ref<const DWORD>(file->block.readAheadFills).load() == 0) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST(PlainFileAsync, ReadAtTheReadAheadStartIsServedFromTheBuffer) {
    TempDir dir;
    dir.Write("r.bin", std::string(1000, 'o'));
    PlainFileRecord* file = OpenPlainFile(WinPath(dir, "r.bin").c_str(), 1, 0);
    ASSERT_NE(file, nullptr);
    char buffer[10];
    ASSERT_EQ(PlainFileRead(buffer, 1, 10, file), 10);
    // The idle thread fills its buffer from position 10.
    ASSERT_TRUE(ReadAheadFilled(file));
    {
        std::fstream f(dir.path() / "r.bin", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(10);
        f << "CHANGED!!!";
    }
    ASSERT_EQ(PlainFileRead(buffer, 1, 10, file), 10);
    EXPECT_EQ(std::string(buffer, 10), "oooooooooo");
    EXPECT_GE(file->block.readAheadFills, 1u);
    // A seek restarts the read-ahead where it lands; the file is read anew.
    EXPECT_EQ(PlainFileSeek(file, 10, 0), 0);
    ASSERT_EQ(PlainFileRead(buffer, 1, 10, file), 10);
    EXPECT_EQ(std::string(buffer, 10), "CHANGED!!!");
    EXPECT_EQ(ClosePlainFile(file), 0);  // an asynchronous close reports success
}

TEST(PlainFileAsync, FailedOpenLeavesNothingBehind) {
    TempDir dir;
    int blocks = g_MemoryTracker.count;
    EXPECT_EQ(OpenPlainFile(WinPath(dir, "missing.bin").c_str(), 1, 0), nullptr);
    EXPECT_EQ(g_MemoryTracker.count, blocks);
}

TEST(PlainFileAsync, NameThatDoesNotFitTheBlockIsRefused) {
    TempDir dir;
    std::string relative;
    while (relative.size() < 300) relative += "abcdefghijklmnopqrstuvwxyz0123456789/";
    relative += "f.bin";
    dir.Write(relative, "data");
    std::string name = WinPath(dir, relative);
    ASSERT_GE(name.size(), kPlainFileNameSize);
    PlainFileRecord* sync = OpenPlainFile(name.c_str(), 0, 0);
    ASSERT_NE(sync, nullptr);
    ClosePlainFile(sync);
    EXPECT_EQ(OpenPlainFile(name.c_str(), 1, 0), nullptr);
}

TEST(PlainFileSet, CurrentDirectoryRoundTrip) {
    TempDir dir;
    char before[MAX_PATH];
    ASSERT_EQ(PlainGetCurrentDir(before), 0);
    std::string target = PlatformWindowsPath(dir.str());
    EXPECT_EQ(PlainSetCurrentDir(target.c_str()), 0);
    char now[MAX_PATH];
    EXPECT_EQ(PlainGetCurrentDir(now), 0);
    EXPECT_EQ(std::string(now), target);
    EXPECT_EQ(PlainSetCurrentDir((target + "\\no-such-dir").c_str()), -1);
    EXPECT_EQ(PlainSetCurrentDir(before), 0);
}

struct FullPathCase {
    const char* name;
    const char* base;
    const char* expected;  // null: -1
};

TEST(MakeFullPath, Table) {
    const FullPathCase cases[] = {
        {"a\\b.txt", "C:\\BASE\\DIR", "C:\\BASE\\DIR\\a\\b.txt"},
        {"a/b.txt", "C:\\BASE\\DIR\\", "C:\\BASE\\DIR\\a\\b.txt"},
        {"\\x\\y.bin", "C:\\BASE\\DIR", "C:\\x\\y.bin"},
        {"D:\\x\\y", "C:\\BASE", "D:\\x\\y"},
        {"D:y", "C:\\BASE", "D:\\y"},
        {"a\\.\\b", "C:\\BASE", "C:\\BASE\\a\\b"},
        {"..\\c", "C:\\BASE\\DIR", "C:\\BASE\\c"},
        {"..\\..\\..\\c", "C:\\BASE\\DIR", "C:\\c"},
        {"a\\\\b", "C:\\BASE", nullptr},
        {"\\\\server", "C:\\BASE", nullptr},
        {"Mixed\\Case.Txt", "c:\\lower", "c:\\lower\\Mixed\\Case.Txt"},
        // 0x95 0x5C is one character whose trail byte is a backslash.
        {"\x95\x5C\\x", "C:\\B", "C:\\B\\\x95\x5C\\x"},
        {"\x95\x5C\\..\\y", "C:\\B", "C:\\B\\y"},
        {"y", "C:\\B\\\x95\x5C", "C:\\B\\\x95\x5C\\y"},
    };
    for (const auto& c : cases) {
        char out[MAX_PATH] = {};
        int result = MakeFullPath(c.name, out, c.base);
        if (c.expected == nullptr) {
            EXPECT_EQ(result, -1) << c.name;
        } else {
            EXPECT_EQ(result, 0) << c.name;
            EXPECT_STREQ(out, c.expected) << c.name;
        }
    }
    char out[MAX_PATH];
    EXPECT_EQ(MakeFullPath(nullptr, out, "C:\\ONLY"), 0);
    EXPECT_STREQ(out, "C:\\ONLY");
    EXPECT_EQ(MakeFullPath(std::string(300, 'n').c_str(), out, "C:\\B"), -1);
}

TEST(MakeFullPath, WithoutBaseUsesTheTablesCurrentDirectory) {
    char current[MAX_PATH];
    ASSERT_EQ(FileGetCurrentDir(current), 0);
    char out[MAX_PATH];
    ASSERT_EQ(MakeFullPath("sub\\f.bin", out, nullptr), 0);
    EXPECT_EQ(std::string(out), std::string(current) + "\\sub\\f.bin");
}

TEST(CreateTempFile, MakesAFreshEmptyFileForWriting) {
    char path[MAX_PATH] = {};
    HANDLE file = CreateTempFile(path);
    ASSERT_NE(file, nullptr);
    std::string name(path);
    EXPECT_EQ(name.substr(0, 2), "C:");
    EXPECT_NE(name.find("\\tmp"), std::string::npos);
    DWORD written = 0;
    EXPECT_NE(WriteFile(file, "abc", 3, &written, nullptr), 0);
    CloseHandle(file);
    std::string native = PlatformTranslatePath(path);
    EXPECT_EQ(std::filesystem::file_size(native), 3u);
    char second[MAX_PATH] = {};
    HANDLE other = CreateTempFile(second);
    ASSERT_NE(other, nullptr);
    EXPECT_STRNE(path, second);
    CloseHandle(other);
    DeleteFileA(path);
    DeleteFileA(second);
}

}  // namespace
