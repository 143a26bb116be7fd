// Files through the platform layer with Windows-style paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/kernel.h"
#include "support/temp_dir.h"

namespace {

std::string ReadAll(HANDLE file) {
    std::string out;
    char buffer[64];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
    return out;
}

TEST(Paths, MixedCaseBackslashedPathOpensTheRightFile) {
    TempDir dir;
    dir.Write("Data/se/Select.wav", "right");
    dir.Write("Data/se/select.wav.bak", "wrong");
    std::string windows = PlatformWindowsPath(dir.str()) + "\\DATA\\SE\\SELECT.WAV";
    HANDLE file = CreateFileA(windows.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(file), "right");
    CloseHandle(file);
}

TEST(Paths, ExactNameWinsOverACaseInsensitiveMatch) {
    TempDir dir;
    dir.Write("a.txt", "lower");
    dir.Write("A.txt", "upper");
    EXPECT_EQ(PlatformTranslatePath((dir.str() + "/A.txt").c_str()), dir.str() + "/A.txt");
    EXPECT_EQ(PlatformTranslatePath((dir.str() + "/a.txt").c_str()), dir.str() + "/a.txt");
}

TEST(Paths, DriveLettersRelativePathsAndMissingParts) {
    const struct {
        const char* windows;
        const char* here;
    } cases[] = {
        {"C:\\", "/"},
        {"z:/tmp", "/tmp"},
        {"C:", "/"},
        {"", "."},
        {"\\", "/"},
        {"no\\such\\dir\\", "no/such/dir/"},
        {"a\\\\b", "a/b"},
        {"1:\\x", "1:/x"},  // not a drive letter
        {"\\tmp\\.\\y", "/tmp/./y"},
    };
    for (const auto& c : cases) EXPECT_EQ(PlatformTranslatePath(c.windows), c.here) << c.windows;
    EXPECT_EQ(PlatformTranslatePath(nullptr), "");
    EXPECT_EQ(PlatformWindowsPath("relative/x"), "C:\\relative\\x");
    TempDir dir;
    dir.Write("Sub/file.bin", "x");
    // New names keep the case they were given; existing folders are matched.
    EXPECT_EQ(PlatformTranslatePath((dir.str() + "\\SUB\\New.dat").c_str()), dir.str() + "/Sub/New.dat");
    EXPECT_EQ(PlatformWindowsPath("/tmp/x"), "C:\\tmp\\x");
}

TEST(Paths, CurrentDirectoryRoundTripsAndRelativeNamesUseIt) {
    TempDir dir;
    dir.Write("BMP/Hero.bmp", "hero");
    char saved[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, saved), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(PlatformWindowsPath(dir.str()).c_str()));
    char now[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, now);
    EXPECT_EQ(std::string(now), PlatformWindowsPath(dir.str()));
    std::FILE* f = PlatformFOpen("bmp\\hero.BMP", "rb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    ASSERT_TRUE(SetCurrentDirectoryA(saved));
}

TEST(Paths, ABufferTooSmallGetsTheNeededSize) {
    char tiny[2];
    DWORD needed = GetCurrentDirectoryA(sizeof tiny, tiny);
    EXPECT_GT(needed, sizeof tiny);
    char big[MAX_PATH * 4];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof big, big) + 1, needed);
}

TEST(Files, WriteSeekReadSizeAndDelete) {
    TempDir dir;
    std::string name = PlatformWindowsPath(dir.str()) + "\\out.bin";
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD put = 0;
    ASSERT_TRUE(WriteFile(file, "0123456789", 10, &put, nullptr));
    EXPECT_EQ(put, 10u);
    CloseHandle(file);
    // CREATE_NEW refuses an existing file.
    EXPECT_EQ(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);

    file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(file, nullptr), 10u);
    EXPECT_EQ(SetFilePointer(file, 4, nullptr, FILE_BEGIN), 4u);
    char buffer[16] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(file, buffer, 3, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "456");
    EXPECT_EQ(SetFilePointer(file, -2, nullptr, FILE_END), 8u);
    ASSERT_TRUE(ReadFile(file, buffer, 16, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "89");
    // Reading at the end succeeds with nothing read.
    ASSERT_TRUE(ReadFile(file, buffer, 16, &got, nullptr));
    EXPECT_EQ(got, 0u);
    CloseHandle(file);
    EXPECT_FALSE(ReadFile(file, buffer, 1, &got, nullptr));
    EXPECT_TRUE(DeleteFileA(name.c_str()));
    EXPECT_EQ(GetFileAttributesA(name.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Files, MissingFileAndDirectoryAreRefused) {
    TempDir dir;
    std::string missing = dir.str() + "/none.bin";
    EXPECT_EQ(CreateFileA(missing.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CreateFileA(dir.str().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    // The error codes as the system numbers them: file not found 2, path not
    // found 3, bad parameter 87.
    const struct {
        const char* name;
        DWORD creation;
        DWORD error;
    } cases[] = {
        {missing.c_str(), OPEN_EXISTING, 2},
        {missing.c_str(), TRUNCATE_EXISTING, 2},
        {"", OPEN_EXISTING, 3},
        {nullptr, OPEN_EXISTING, 3},
        {"", CREATE_ALWAYS, 3},
        {missing.c_str(), 0, 87},
        {missing.c_str(), 6, 87},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(CreateFileA(c.name, GENERIC_READ, 0, nullptr, c.creation, 0, nullptr), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error) << (c.name ? c.name : "null") << " " << c.creation;
    }
    EXPECT_EQ(GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES) << "nothing was made";
    SetLastError(0);
    EXPECT_FALSE(DeleteFileA(missing.c_str()));
    EXPECT_EQ(GetLastError(), 2u);
    SetLastError(0);
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(reinterpret_cast<HANDLE>(0x12345), &high), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), 6u);
    EXPECT_EQ(INVALID_FILE_SIZE, 0xFFFFFFFFu);
}

// The program's own path, cut to the room given: what fits, always ended.
TEST(Files, ModuleFileNameIsCutToTheBufferAndEnded) {
    char whole[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, whole, sizeof whole);
    ASSERT_GT(length, 3u);
    EXPECT_EQ(std::strlen(whole), length);
    EXPECT_EQ(whole[1], ':');
    for (DWORD room : {length + 1, length, 4u, 1u}) {
        char buffer[MAX_PATH];
        std::memset(buffer, 'x', sizeof buffer);
        const DWORD copied = GetModuleFileNameA(nullptr, buffer, room);
        EXPECT_EQ(copied, std::min(length, room - 1)) << room;
        EXPECT_EQ(std::string(buffer), std::string(whole, copied)) << room;
    }
    EXPECT_EQ(GetModuleFileNameA(nullptr, whole, 0), 0u);
}

TEST(Files, MoveReplacesOnlyWhenAsked) {
    TempDir dir;
    dir.Write("new.tmp", "new");
    dir.Write("save.dat", "old");
    std::string from = dir.str() + "/new.tmp", to = dir.str() + "/save.dat";
    SetLastError(0);
    EXPECT_FALSE(MoveFileExA(from.c_str(), to.c_str(), 0));
    EXPECT_EQ(GetLastError(), 183u) << "already exists";
    EXPECT_EQ(dir.Read("save.dat"), "old");
    EXPECT_TRUE(MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(dir.Read("save.dat"), "new");
    // Written through to the disk: the same result, and a missing source
    // still fails.
    dir.Write("newer.tmp", "newer");
    std::string newer = dir.str() + "/newer.tmp";
    EXPECT_TRUE(MoveFileExA(newer.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(dir.Read("save.dat"), "newer");
    SetLastError(0);
    EXPECT_FALSE(MoveFileExA(newer.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(GetLastError(), 2u) << "file not found";
}

// A flush that cannot reach the disk says so, so a save is never renamed
// over a good file with bytes that were never written.
TEST(Files, FlushToDiskReportsFailure) {
    TempDir dir;
    std::FILE* file = PlatformFOpen((PlatformWindowsPath(dir.str()) + "\\a.bin").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("abc", file);
    EXPECT_TRUE(PlatformFlushToDisk(file));
    std::fclose(file);
    EXPECT_EQ(dir.Read("a.bin"), "abc");
    EXPECT_FALSE(PlatformFlushToDisk(nullptr));

    std::FILE* full = std::fopen("/dev/full", "wb");
    if (full == nullptr) GTEST_SKIP() << "no /dev/full here";
    std::fputs("abc", full);
    EXPECT_FALSE(PlatformFlushToDisk(full));
    std::fclose(full);
}

TEST(TempFiles, NamesAreUniqueAndCreated) {
    char tempPath[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, tempPath), 0u);
    EXPECT_EQ(tempPath[1], ':');
    char a[MAX_PATH], b[MAX_PATH];
    ASSERT_NE(GetTempFileNameA(tempPath, "tmp", 0, a), 0u);
    ASSERT_NE(GetTempFileNameA(tempPath, "tmp", 0, b), 0u);
    EXPECT_STRNE(a, b);
    EXPECT_NE(GetFileAttributesA(a), INVALID_FILE_ATTRIBUTES);
    DeleteFileA(a);
    DeleteFileA(b);
    // Refused: a folder that is not there, a name past MAX_PATH, no buffer.
    char c[MAX_PATH];
    EXPECT_EQ(GetTempFileNameA((std::string(tempPath) + "no-such-folder-here").c_str(), "tmp", 0, c), 0u);
    EXPECT_EQ(GetTempFileNameA(std::string(MAX_PATH - 8, 'd').c_str(), "tmp", 0, c), 0u);
    EXPECT_EQ(GetTempFileNameA(tempPath, "tmp", 0, nullptr), 0u);
    // A number given is used as it is, and nothing is made.
    ASSERT_EQ(GetTempFileNameA(tempPath, "abcd", 0x1F, c), 0x1Fu);
    EXPECT_EQ(std::string(c), std::string(tempPath) + (std::string(tempPath).back() == '\\' ? "" : "\\") + "abc1F.tmp");
    EXPECT_EQ(GetFileAttributesA(c), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
