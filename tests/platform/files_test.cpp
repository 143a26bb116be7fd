// Files through the platform layer with Windows-style paths.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/files.h"
#include "platform/kernel.h"
#include "support/pipe_watch.h"
#include "support/temp_dir.h"

namespace {

std::string ReadAll(HANDLE file) {
    std::string out;
    char buffer[64];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
    return out;
}

// Names matched without regard to case are matched whole, and only
// letters have a case: '@' and '`', '[' and '{' are different characters.
TEST(Paths, CaseIsIgnoredForLettersOnlyAndNamesMatchWhole) {
    TempDir dir;
    for (const char* name : {"Alpha.txt", "[x]", "@b", "Zz"}) dir.Write(name, "x");
    const struct {
        const char* asked;
        const char* found;
    } cases[] = {
        {"ALPHA.TXT", "Alpha.txt"}, {"alpha.txt", "Alpha.txt"}, {"ALPHA.TX", "ALPHA.TX"}, {"ALPHA.TXTX", "ALPHA.TXTX"},
        {"{X}", "{X}"},             {"[X]", "[x]"},             {"`B", "`B"},           {"@B", "@b"},
        {"zZ", "Zz"},               {"ZZ", "Zz"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlatformTranslatePath((dir.str() + "\\" + c.asked).c_str()), dir.str() + "/" + c.found) << c.asked;
}

// Descriptors this process holds open now.
int OpenDescriptors() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir) != nullptr) ++count;
        ::closedir(dir);
    }
    return count;
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
        {"\\TMP\\..\\TMP", "/tmp/../tmp"},
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

// A current folder that was removed under the program has no name: 0.
// A move written through with names relative to the current folder works.
TEST(Paths, RelativeNamesAndACurrentFolderThatIsGone) {
    char saved[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, saved), 0u);
    TempDir dir;
    dir.Write("sub/a.txt", "a");
    ASSERT_TRUE(SetCurrentDirectoryA((PlatformWindowsPath(dir.str()) + "\\sub").c_str()));
    EXPECT_TRUE(MoveFileExA("a.txt", "b.txt", MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(dir.Read("sub/b.txt"), "a");
    std::filesystem::remove_all(dir.path() / "sub");
    char now[MAX_PATH] = "unchanged";
    EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, now), 0u);
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

// Each way of opening, on a file that is there (holding "old") and on one
// that is not: what is refused with which error, what is made, what is cut
// to nothing; and what the handle may do by the access it was opened with.
TEST(Files, CreationAndAccessAsTheSystemDoesThem) {
    const DWORD rw = GENERIC_READ | GENERIC_WRITE;
    const struct {
        DWORD creation;
        bool exists;
        DWORD error;       // 0: opened
        DWORD sizeAfter;   // the file's size once opened
    } cases[] = {
        {1, true, 80, 0},  {1, false, 0, 0},   // create new
        {2, true, 0, 0},   {2, false, 0, 0},   // create always
        {3, true, 0, 3},   {3, false, 2, 0},   // open existing
        {4, true, 0, 3},   {4, false, 0, 0},   // open always
        {5, true, 0, 0},   {5, false, 2, 0},   // truncate existing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "creation " << c.creation << (c.exists ? " on a file" : " on nothing"));
        TempDir dir;
        if (c.exists) dir.Write("f.bin", "old");
        const std::string name = PlatformWindowsPath(dir.str()) + "\\F.BIN";
        SetLastError(12345);
        HANDLE file = CreateFileA(name.c_str(), rw, 0, nullptr, c.creation, 0, nullptr);
        if (c.error != 0) {
            EXPECT_EQ(file, INVALID_HANDLE_VALUE);
            EXPECT_EQ(GetLastError(), c.error);
            EXPECT_EQ(dir.Read("f.bin"), c.exists ? "old" : "") << "left as it was";
            EXPECT_EQ(GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES, c.exists);
            continue;
        }
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), 0u);
        EXPECT_EQ(GetFileSize(file, nullptr), c.sizeAfter);
        DWORD put = 0;
        ASSERT_TRUE(WriteFile(file, "N", 1, &put, nullptr));
        EXPECT_TRUE(CloseHandle(file));
        EXPECT_EQ(dir.Read(c.exists ? "f.bin" : "F.BIN"), c.sizeAfter == 3 ? "Nld" : "N") << "a new name keeps its case";
    }

    // Reading needs read access, writing write access (5: access denied);
    // nothing is counted as moved when refused. A handle with neither (0)
    // only asks: it tells the size and moves no byte either way.
    TempDir dir;
    dir.Write("a.bin", "abc");
    const std::string name = dir.str() + "/a.bin";
    for (DWORD access : {DWORD{0}, GENERIC_READ, GENERIC_WRITE, rw}) {
        SCOPED_TRACE(access);
        HANDLE file = CreateFileA(name.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetFileSize(file, nullptr), 3u);
        char buffer[4] = {};
        DWORD moved = 99;
        SetLastError(0);
        EXPECT_EQ(ReadFile(file, buffer, 2, &moved, nullptr) != 0, (access & GENERIC_READ) != 0);
        EXPECT_EQ(moved, (access & GENERIC_READ) != 0 ? 2u : 0u);
        EXPECT_EQ(GetLastError(), (access & GENERIC_READ) != 0 ? 0u : 5u);
        moved = 99;
        SetLastError(0);
        EXPECT_EQ(WriteFile(file, "Z", 1, &moved, nullptr) != 0, (access & GENERIC_WRITE) != 0);
        EXPECT_EQ(moved, (access & GENERIC_WRITE) != 0 ? 1u : 0u);
        EXPECT_EQ(GetLastError(), (access & GENERIC_WRITE) != 0 ? 0u : 5u);
        CloseHandle(file);
    }
    EXPECT_EQ(dir.Read("a.bin"), "ZbZ");
    // No buffer with bytes to move is a bad call; nothing to move needs none.
    HANDLE file = CreateFileA(name.c_str(), rw, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD moved = 99;
    EXPECT_FALSE(ReadFile(file, nullptr, 1, &moved, nullptr));
    EXPECT_EQ(moved, 0u);
    EXPECT_EQ(GetLastError(), 6u);
    EXPECT_FALSE(WriteFile(file, nullptr, 1, &moved, nullptr));
    EXPECT_TRUE(ReadFile(file, nullptr, 0, &moved, nullptr));
    EXPECT_TRUE(WriteFile(file, nullptr, 0, nullptr, nullptr));
    SetLastError(0);
    EXPECT_FALSE(WriteFile(reinterpret_cast<HANDLE>(0x12345), "x", 1, &moved, nullptr));
    EXPECT_EQ(GetLastError(), 6u);
    CloseHandle(file);
    EXPECT_EQ(dir.Read("a.bin"), "ZbZ");
    // A failed move needs no count to be asked for.
    file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    char buffer[2];
    EXPECT_FALSE(ReadFile(file, buffer, 2, nullptr, nullptr));
    CloseHandle(file);
    file = CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(WriteFile(file, "x", 1, nullptr, nullptr));
    CloseHandle(file);
}

// The error each failing call leaves, as the system numbers them: a name
// in a folder that is not there is a missing path (3), a missing name in a
// folder that is there a missing file (2).
TEST(Files, FailuresNameWhatWasMissingOrRefused) {
    TempDir dir;
    dir.Write("file.txt", "x");
    dir.Write("sub/kept.txt", "k");
    const std::string d = PlatformWindowsPath(dir.str());
    const std::string missing = d + "\\none.txt", inMissing = d + "\\nodir\\none.txt";
    const std::string underFile = d + "\\file.txt\\x", folder = d + "\\sub";
    const struct {
        const char* what;
        std::function<bool()> call;  // true when it succeeded
        DWORD error;
    } cases[] = {
        {"open a missing file", [&] { return CreateFileA(missing.c_str(), GENERIC_READ, 0, nullptr, 3, 0, nullptr) != INVALID_HANDLE_VALUE; }, 2},
        {"open in a missing folder", [&] { return CreateFileA(inMissing.c_str(), GENERIC_READ, 0, nullptr, 3, 0, nullptr) != INVALID_HANDLE_VALUE; }, 3},
        {"make in a missing folder", [&] { return CreateFileA(inMissing.c_str(), GENERIC_WRITE, 0, nullptr, 2, 0, nullptr) != INVALID_HANDLE_VALUE; }, 3},
        {"open under a file", [&] { return CreateFileA(underFile.c_str(), GENERIC_READ, 0, nullptr, 3, 0, nullptr) != INVALID_HANDLE_VALUE; }, 3},
        {"open a folder", [&] { return CreateFileA(folder.c_str(), GENERIC_READ, 0, nullptr, 3, 0, nullptr) != INVALID_HANDLE_VALUE; }, 5},
        {"attributes of a missing file", [&] { return GetFileAttributesA(missing.c_str()) != INVALID_FILE_ATTRIBUTES; }, 2},
        {"attributes in a missing folder", [&] { return GetFileAttributesA(inMissing.c_str()) != INVALID_FILE_ATTRIBUTES; }, 3},
        {"delete a missing file", [&] { return DeleteFileA(missing.c_str()) != 0; }, 2},
        {"delete in a missing folder", [&] { return DeleteFileA(inMissing.c_str()) != 0; }, 3},
        {"delete a folder", [&] { return DeleteFileA(folder.c_str()) != 0; }, 5},
        {"move a missing file", [&] { return MoveFileExA(missing.c_str(), (d + "\\b.txt").c_str(), 1) != 0; }, 2},
        {"move into a missing folder", [&] { return MoveFileExA((d + "\\file.txt").c_str(), inMissing.c_str(), 1) != 0; }, 3},
        {"make a folder that is there", [&] { return CreateDirectoryA(folder.c_str(), nullptr) != 0; }, 183},
        {"make a folder in a missing one", [&] { return CreateDirectoryA((d + "\\a\\b").c_str(), nullptr) != 0; }, 3},
        {"go to a missing folder", [&] { return SetCurrentDirectoryA((d + "\\nodir").c_str()) != 0; }, 2},
        {"go to a file", [&] { return SetCurrentDirectoryA((d + "\\file.txt").c_str()) != 0; }, 3},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(c.call()) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
    // Nothing was made, moved or removed on the way.
    EXPECT_EQ(dir.Read("file.txt"), "x");
    EXPECT_EQ(dir.Read("sub/kept.txt"), "k");
    EXPECT_EQ(GetFileAttributesA((d + "\\nodir").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA((d + "\\a").c_str()), INVALID_FILE_ATTRIBUTES);
    // Null names are refused without touching anything.
    EXPECT_FALSE(DeleteFileA(nullptr));
    EXPECT_FALSE(MoveFileExA(nullptr, missing.c_str(), 1));
    EXPECT_FALSE(MoveFileExA(missing.c_str(), nullptr, 1));
    EXPECT_FALSE(CreateDirectoryA(nullptr, nullptr));
    EXPECT_FALSE(SetCurrentDirectoryA(nullptr));
    EXPECT_EQ(GetFileAttributesA(nullptr), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(PlatformFOpen(nullptr, "rb"), nullptr);
    EXPECT_EQ(PlatformFOpen(missing.c_str(), nullptr), nullptr);
    // What is there: a folder (0x10), a file (0x80); a new folder is made.
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), 0x10u);
    EXPECT_EQ(GetFileAttributesA((d + "\\FILE.TXT").c_str()), 0x80u);
    EXPECT_TRUE(CreateDirectoryA((d + "\\made").c_str(), nullptr));
    EXPECT_EQ(GetFileAttributesA((d + "\\made").c_str()), 0x10u);
}

// For reading (or a query), only a plain file of stored bytes opens: a
// named pipe (or a link to one), a device, a folder, or a kernel file that
// stat calls plain but whose reads may wait (/proc/kmsg waits for the next
// kernel message; links named as a movie or an image to such files) is
// refused at once with "access denied" (5), never opened to wait for a
// writer or to be read, by every open for reading alike. Writing into a
// pipe that has no reader fails at once too; a plain file beside them opens
// as ever, its descriptor one whose reads never wait.
TEST(Files, PipesDevicesFoldersAndKernelFilesAreRefusedAtOnce) {
    TempDir dir;
    dir.Write("plain.bin", "abc");
    const std::string pipe = dir.str() + "/pipe.bin", link = dir.str() + "/link.bin";
    PipeWatch watch({pipe});
    ASSERT_TRUE(watch.Made());
    std::filesystem::create_symlink(pipe, link);
    std::filesystem::create_symlink("/proc/kmsg", dir.path() / "x.mp4");
    std::filesystem::create_symlink("/proc/version", dir.path() / "x.png");
    const std::string d = PlatformWindowsPath(dir.str());
    for (const std::string& name : {d + "\\pipe.bin", d + "\\link.bin", std::string("/dev/null"), std::string("/dev/zero"), d,
                                    std::string("/proc/kmsg"), std::string("/proc/version"), d + "\\x.mp4", d + "\\x.png"}) {
        SCOPED_TRACE(name);
        for (DWORD access : {DWORD{0}, GENERIC_READ, GENERIC_READ | GENERIC_WRITE}) {
            SetLastError(0);
            EXPECT_EQ(CreateFileA(name.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
            EXPECT_EQ(GetLastError(), 5u);
        }
        EXPECT_EQ(PlatformFOpen(name.c_str(), "rb"), nullptr);
        EXPECT_EQ(PlatformFOpen(name.c_str(), "r+b"), nullptr);
        errno = 0;
        EXPECT_EQ(OpenPlainFileForReading(PlatformTranslatePath(name.c_str()).c_str()), -1);
        EXPECT_EQ(errno, EACCES);
    }
    EXPECT_EQ(CreateFileA((d + "\\pipe.bin").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(PlatformFOpen((d + "\\link.bin").c_str(), "wb"), nullptr);
    EXPECT_FALSE(watch.Waited()) << "an open waited on the pipe";
    HANDLE plain = CreateFileA((d + "\\plain.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(plain, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(plain), "abc") << "a plain file reads as ever";
    CloseHandle(plain);
    std::FILE* file = PlatformFOpen((d + "\\plain.bin").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::fgetc(file), 'a');
    std::fclose(file);
    const int fd = OpenPlainFileForReading((dir.str() + "/plain.bin").c_str());
    ASSERT_GE(fd, 0);
    EXPECT_NE(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0) << "a read that would wait fails instead";
    char bytes[4] = {};
    EXPECT_EQ(::read(fd, bytes, sizeof bytes), 3);
    EXPECT_EQ(std::string(bytes), "abc");
    ::close(fd);
}

// The file pointer and the size in their two 32-bit halves, on a sparse
// file past 4 GiB; a seek before the start fails with 87 and leaves the
// pointer, a good one clears the last error (callers tell a position of
// 0xFFFFFFFF from a failure by it).
TEST(Files, PointerAndSizeCarryTheirHighHalves) {
    TempDir dir;
    const std::string name = dir.str() + "/big.bin";
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LONG high = 1;
    SetLastError(5);
    ASSERT_EQ(SetFilePointer(file, 0x10, &high, FILE_BEGIN), 0x10u);  // 4 GiB + 16
    EXPECT_EQ(high, 1);
    EXPECT_EQ(GetLastError(), 0u);
    DWORD put = 0;
    if (!WriteFile(file, "xy", 2, &put, nullptr)) {
        CloseHandle(file);
        GTEST_SKIP() << "no room for a sparse file here";
    }
    DWORD sizeHigh = 0;
    EXPECT_EQ(GetFileSize(file, &sizeHigh), 0x12u);
    EXPECT_EQ(sizeHigh, 1u);
    high = -1;
    EXPECT_EQ(SetFilePointer(file, -1, &high, FILE_CURRENT), 0x11u) << "-1 in 64 bits";
    EXPECT_EQ(high, 1);
    high = -1;
    EXPECT_EQ(SetFilePointer(file, -2, &high, FILE_END), 0x10u);
    EXPECT_EQ(high, 1);
    char got[2] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(file, got, 2, &read, nullptr));
    EXPECT_EQ(std::string(got, read), "xy");
    // Before the start: refused, the pointer stays where it was.
    SetLastError(0);
    EXPECT_EQ(SetFilePointer(file, -5, nullptr, FILE_BEGIN), 0xFFFFFFFFu);
    EXPECT_EQ(GetLastError(), 87u);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 0x12u);
    EXPECT_EQ(SetFilePointer(reinterpret_cast<HANDLE>(0x12345), 0, nullptr, FILE_BEGIN), 0xFFFFFFFFu);
    EXPECT_EQ(GetLastError(), 6u);
    CloseHandle(file);
}

// Every call that opens a descriptor of its own closes it again: opening
// and closing files, moves written through, temporary names, failures.
TEST(Files, NoDescriptorIsLeftOpen) {
    TempDir dir;
    dir.Write("a.txt", "a");
    const std::string d = PlatformWindowsPath(dir.str());
    char tempName[MAX_PATH];
    auto everything = [&] {
        HANDLE file = CreateFileA((d + "\\a.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        CloseHandle(file);
        CreateFileA((d + "\\none").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        dir.Write("b.txt", "b");
        MoveFileExA((d + "\\b.txt").c_str(), (d + "\\c.txt").c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (GetTempFileNameA(d.c_str(), "kv", 0, tempName) != 0) DeleteFileA(tempName);
        std::FILE* f = PlatformFOpen((d + "\\a.txt").c_str(), "rb");
        if (f != nullptr) PlatformFlushToDisk(f), std::fclose(f);
    };
    everything();  // anything opened once for good is opened now
    const int before = OpenDescriptors();
    for (int i = 0; i < 5; ++i) everything();
    EXPECT_EQ(OpenDescriptors(), before);
}

// The temporary folder is TMPDIR's (else /tmp) with one separator at the
// end; temporary names are the folder, up to three letters of the prefix and
// the number in hexadecimal, made on the disk unless the number was given.
TEST(TempFiles, FolderAndNamesAreBuiltAsTheSystemBuildsThem) {
    const char* saved = std::getenv("TMPDIR");
    const std::string keep = saved != nullptr ? saved : "";
    TempDir dir;
    const struct {
        const char* tmpdir;  // null: unset
        std::string want;
    } folders[] = {
        {nullptr, "C:\\tmp\\"},
        {"", "C:\\tmp\\"},
        {"/var/x", "C:\\var\\x\\"},
        {"/var/x/", "C:\\var\\x\\"},
    };
    for (const auto& f : folders) {
        if (f.tmpdir == nullptr)
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", f.tmpdir, 1);
        char buffer[MAX_PATH];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(GetTempPathA(static_cast<DWORD>(f.want.size() + 1), buffer), f.want.size()) << "just room";
        EXPECT_EQ(std::string(buffer), f.want);
        EXPECT_EQ(buffer[f.want.size() + 1], 'x') << "nothing written past the terminator";
        // Too little room: the room needed, terminator included.
        EXPECT_EQ(GetTempPathA(static_cast<DWORD>(f.want.size()), buffer), f.want.size() + 1);
        EXPECT_EQ(GetTempPathA(0, nullptr), f.want.size() + 1);
    }
    if (saved != nullptr)
        setenv("TMPDIR", keep.c_str(), 1);
    else
        unsetenv("TMPDIR");

    const std::string d = PlatformWindowsPath(dir.str());
    const struct {
        std::string folder;
        const char* prefix;
        UINT unique;
        std::string want;  // for a given number
    } names[] = {
        {d, "abcdef", 0xBEEF, d + "\\abcBEEF.tmp"},
        {d + "\\", "ab", 1, d + "\\ab1.tmp"},
        {d + "/", nullptr, 0x10, d + "/10.tmp"},
        {d, "", 0xFFFF, d + "\\FFFF.tmp"},
    };
    for (const auto& n : names) {
        char out[MAX_PATH];
        EXPECT_EQ(GetTempFileNameA(n.folder.c_str(), n.prefix, n.unique, out), n.unique) << n.want;
        EXPECT_EQ(std::string(out), n.want);
        EXPECT_EQ(GetFileAttributesA(out), INVALID_FILE_ATTRIBUTES) << "a number given makes nothing";
    }
    // No folder: the name alone.
    char bare[MAX_PATH];
    EXPECT_EQ(GetTempFileNameA("", "ab", 5, bare), 5u);
    EXPECT_STREQ(bare, "ab5.tmp");
    // A number chosen here that is taken already is passed over for the next.
    char first[MAX_PATH], next[MAX_PATH];
    const UINT taken = GetTempFileNameA(d.c_str(), "kv", 0, first);
    ASSERT_NE(taken, 0u);
    DeleteFileA(first);
    char name[32];
    std::snprintf(name, sizeof name, "kv%X.tmp", (taken + 1) & 0xFFFF);
    dir.Write(name, "taken");
    const UINT after = GetTempFileNameA(d.c_str(), "kv", 0, next);
    EXPECT_EQ(after, ((taken + 1) & 0xFFFF) + 1) << "the taken name skipped";
    EXPECT_EQ(dir.Read(name), "taken");
    // Numbers chosen here: new, made, between 1 and 0xFFFF, and the name says it.
    for (int i = 0; i < 3; ++i) {
        char out[MAX_PATH];
        const UINT number = GetTempFileNameA(d.c_str(), "kv", 0, out);
        ASSERT_GT(number, 0u);
        EXPECT_LE(number, 0xFFFFu);
        char want[32];
        std::snprintf(want, sizeof want, "\\kv%X.tmp", number);
        EXPECT_EQ(std::string(out), d + want);
        EXPECT_EQ(GetFileAttributesA(out), 0x80u);
    }
}

}  // namespace
