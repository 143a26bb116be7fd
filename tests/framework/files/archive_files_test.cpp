// The archive-aware file set end to end: archives made by the packer, read
// back through the framework's file functions with the game's paths.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/memory.h"
#include "core/system_state.h"
#include "files/archive_files.h"
#include "files/archive_packer.h"
#include "files/file_functions.h"
#include "files/stream_functions.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Mixed(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = i > 64 && random() % 4 != 0 ? data[i - 1 - random() % 64] : static_cast<unsigned char>(random());
    return data;
}

class ArchiveFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, saved_), 0u);
        // The game opens files relative to the folder it starts in.
        ASSERT_NE(SetCurrentDirectoryA(PlatformWindowsPath(dir_.str()).c_str()), 0);
        SelectFileFunctions(nullptr);
        InitArchiveAccess();
        blocks_ = g_MemoryTracker.count;
        system_ = g_SystemState;  // the log settings a test changes
    }
    void TearDown() override {
        InitArchiveAccess();
        EXPECT_EQ(g_MemoryTracker.count, blocks_) << "blocks left allocated";
        g_SystemState = system_;
        SetCurrentDirectoryA(saved_);
    }

    void Write(const std::string& name, const Bytes& bytes) {
        dir_.Write(name, std::string(bytes.begin(), bytes.end()));
    }
    void Pack(const std::string& name, const ArchiveBuilder& builder, const ArchivePackOptions& options = {}) {
        Bytes bytes;
        ASSERT_TRUE(builder.Build(options, &bytes));
        Write(name, bytes);
    }
    std::string Upper(std::string s) {
        for (char& c : s)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return s;
    }
    // The archive's path as the file layer spells it.
    std::string ArchivePath(const std::string& folder) {
        return Upper(PlatformWindowsPath(dir_.str()) + "\\" + folder + ".KVA");
    }

    static Bytes ReadAll(FileHandle file, std::size_t chunk = 4096) {
        Bytes out;
        Bytes buffer(chunk);
        for (;;) {
            std::int64_t got = FileRead(buffer.data(), 1, chunk, file);
            if (got <= 0) break;
            out.insert(out.end(), buffer.begin(), buffer.begin() + got);
        }
        return out;
    }
    static Bytes ReadFile(const char* name) {
        FileHandle file = FileOpen(name, 0, 0);
        if (file == 0) return Text("<no file>");
        Bytes out = ReadAll(file);
        FileClose(file);
        return out;
    }

    TempDir dir_;
    char saved_[MAX_PATH];
    int blocks_ = 0;
    SystemState system_{};
};

// The folder every round trip packs: nested folders, an empty file, text
// that packs well and noise that does not.
void FillBuilder(ArchiveBuilder& builder, std::vector<std::pair<std::string, Bytes>>* files) {
    files->push_back({"title.bmp", Mixed(70000, 1)});
    files->push_back({"empty.dat", {}});
    files->push_back({"se/select.wav", Mixed(3000, 2)});
    files->push_back({"se/deep/er/Cancel.WAV", Text(std::string(50000, 'z') + "tail")});
    files->push_back({"readme.txt", Text("monster stage monster stage monster stage door door door")});
    std::mt19937 random(3);
    Bytes noise(20000);
    for (auto& b : noise) b = static_cast<unsigned char>(random());
    files->push_back({"noise.bin", noise});
    for (auto& f : *files) ASSERT_TRUE(builder.AddFile(f.first, f.second));
    ASSERT_TRUE(builder.AddDirectory("emptydir"));
}

std::string Backslashed(std::string s) {
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

TEST_F(ArchiveFiles, PackedFolderReadsBackByteForByteWithTheGamesPaths) {
    for (std::uint16_t version : {1, 2, 3}) {
        for (bool compress : {false, true}) {
            SCOPED_TRACE(testing::Message() << "version " << version << (compress ? " packed" : " stored"));
            InitArchiveAccess();
            ArchiveBuilder builder;
            std::vector<std::pair<std::string, Bytes>> files;
            FillBuilder(builder, &files);
            ArchivePackOptions options;
            options.version = version;
            options.compress = compress;
            Pack("data.KVA", builder, options);
            for (const auto& [path, bytes] : files) {
                std::string relative = "data\\" + Backslashed(path);
                EXPECT_EQ(ReadFile(relative.c_str()), bytes) << relative;
                // Letter case of the path does not matter, nor an absolute form.
                EXPECT_EQ(ReadFile(Upper(relative).c_str()), bytes) << relative;
                std::string absolute = PlatformWindowsPath(dir_.str()) + "\\" + relative;
                EXPECT_EQ(ReadFile(absolute.c_str()), bytes) << absolute;
            }
            EXPECT_EQ(ReadFile("data\\emptydir"), Text("<no file>"));
            EXPECT_EQ(ReadFile("data\\se"), Text("<no file>"));
        }
    }
}

TEST_F(ArchiveFiles, SeeksAndPartialReadsInAMember) {
    Bytes content = Mixed(100000, 9);
    for (bool compress : {false, true}) {
        InitArchiveAccess();
        ArchiveBuilder builder;
        builder.AddFile("map\\1.col", content);
        ArchivePackOptions options;
        options.compress = compress;
        Pack("DATA.KVA", builder, options);
        FileHandle file = FileOpen("data\\map\\1.col", 0, 0);
        ASSERT_NE(file, 0);
        Bytes buffer(5000);
        EXPECT_EQ(FileSeek(file, 12345, 0), 0);
        EXPECT_EQ(FileRead(buffer.data(), 1, 777, file), 777);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 777, content.begin() + 12345));
        EXPECT_EQ(FileTell(file), 12345 + 777);
        EXPECT_EQ(FileSeek(file, -1000, 1), 0);
        EXPECT_EQ(FileRead(buffer.data(), 10, 3, file), 3);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 30, content.begin() + 12122));
        EXPECT_EQ(FileSeek(file, -10, 2), 0);
        EXPECT_EQ(FileRead(buffer.data(), 1, 100, file), 10);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 10, content.end() - 10));
        // Seeks are clamped to the member and clear its end.
        EXPECT_EQ(FileSeek(file, 5, 2), 0);
        EXPECT_EQ(FileTell(file), 100000);
        EXPECT_EQ(FileSeek(file, -200000, 1), 0);
        EXPECT_EQ(FileTell(file), 0);
        // The stream a decoder gets follows the same set.
        const StreamFunctions* streams = GetFileStreamFunctions();
        EXPECT_EQ(streams->seek(file, 99990, 0), 0);
        EXPECT_EQ(streams->read(buffer.data(), 1, 20, file), 10);
        EXPECT_EQ(streams->read(buffer.data(), 1, 20, file), 0);
        EXPECT_EQ(streams->eof(file), -1);
        EXPECT_EQ(streams->close(file), 0);
    }
}

// Members give whole items as plain files do, so a decoder gets the same
// answers wherever its file lives.
TEST_F(ArchiveFiles, MemberReadsReturnWholeItemsLikePlainFiles) {
    ArchiveBuilder builder;
    builder.AddFile("ten.bin", Text("0123456789"));
    Pack("DATA.KVA", builder);
    Write("loose/ten.bin", Text("0123456789"));
    for (const char* name : {"data\\ten.bin", "loose\\ten.bin"}) {
        SCOPED_TRACE(name);
        FileHandle file = FileOpen(name, 0, 0);
        ASSERT_NE(file, 0);
        char buffer[16] = {};
        EXPECT_EQ(FileRead(buffer, 4, 3, file), 2);
        EXPECT_EQ(FileTell(file), 8);
        EXPECT_EQ(FileRead(buffer, 4, 3, file), 0);
        EXPECT_EQ(FileEof(file), -1);
        EXPECT_EQ(FileTell(file), 8);
        EXPECT_EQ(FileSeek(file, 0, 0), 0);
        EXPECT_EQ(FileEof(file), 0);
        EXPECT_EQ(FileRead(buffer, 5, 2, file), 2);
        EXPECT_EQ(FileTell(file), 10);
        FileClose(file);
    }
    // A read that ends exactly at the end leaves the flag clear; the next
    // read, even of 0 bytes, sets it.
    FileHandle file = FileOpen("data\\ten.bin", 0, 0);
    char buffer[10];
    EXPECT_EQ(FileRead(buffer, 1, 10, file), 10);
    EXPECT_EQ(FileEof(file), 0);
    EXPECT_EQ(FileRead(buffer, 1, 0, file), 0);
    EXPECT_EQ(FileEof(file), -1);
    FileClose(file);
}

TEST_F(ArchiveFiles, FilesOutsideAnyArchiveComeFromDisk) {
    ArchiveBuilder builder;
    builder.AddFile("a.txt", Text("in archive"));
    Pack("DATA.KVA", builder);
    Write("bmp/x.bmp", Text("on disk"));
    Write("top.txt", Text("top"));
    EXPECT_EQ(ReadFile("bmp\\x.bmp"), Text("on disk"));
    EXPECT_EQ(ReadFile("top.txt"), Text("top"));
    EXPECT_EQ(ReadFile("data\\a.txt"), Text("in archive"));
}

TEST_F(ArchiveFiles, ArchiveTakesOverTheFolderOnlyWhileItExists) {
    Write("data/a.txt", Text("loose copy"));
    EXPECT_EQ(ReadFile("data\\a.txt"), Text("loose copy"));
    ArchiveBuilder builder;
    builder.AddFile("a.txt", Text("packed copy"));
    Pack("DATA.KVA", builder);
    EXPECT_EQ(ReadFile("data\\a.txt"), Text("packed copy"));
    // A file under the archive's folder that the archive lacks is not looked
    // for on disk.
    Write("data/only-loose.txt", Text("x"));
    EXPECT_EQ(FileOpen("data\\only-loose.txt", 0, 0), 0);
}

TEST_F(ArchiveFiles, DotAndDotDotFindTheSameMember) {
    ArchiveBuilder builder;
    builder.AddFile("sub/m.txt", Text("member"));
    Pack("DATA.KVA", builder);
    Write("other/placeholder", Text(""));
    for (const char* name : {"data\\sub\\m.txt", ".\\data\\sub\\m.txt", "data\\sub\\..\\sub\\.\\m.txt",
                             "other\\..\\data\\sub\\m.txt", "data/sub/m.txt"})
        EXPECT_EQ(ReadFile(name), Text("member")) << name;
    EXPECT_EQ(FileOpen("data\\\\sub\\m.txt", 0, 0), 0);
}

TEST_F(ArchiveFiles, OpensShareOneMountAndCountReferences) {
    ArchiveBuilder builder;
    builder.AddFile("a.txt", Text("a"));
    builder.AddFile("b.txt", Text("b"));
    Pack("DATA.KVA", builder);
    std::string archive = ArchivePath("data");
    FileHandle a = FileOpen("data\\a.txt", 0, 0);
    FileHandle b = FileOpen("data\\b.txt", 0, 0);
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    EXPECT_EQ(GetOpenArchiveCount(), 1);
    EXPECT_EQ(GetArchiveReferenceCount(archive.c_str()), 2);
    EXPECT_EQ(FileClose(a), 0);
    EXPECT_EQ(GetArchiveReferenceCount(archive.c_str()), 1);
    EXPECT_EQ(FileClose(b), 0);
    EXPECT_EQ(GetArchiveReferenceCount(archive.c_str()), 0);
    // Unreferenced archives stay mounted until the end closes them.
    EXPECT_EQ(GetOpenArchiveCount(), 1);
    // A missing member gives its reference back.
    EXPECT_EQ(FileOpen("data\\c.txt", 0, 0), 0);
    EXPECT_EQ(GetArchiveReferenceCount(archive.c_str()), 0);
    TerminateArchiveAccess();
    EXPECT_EQ(GetOpenArchiveCount(), 0);
}

// The last archive used serves only paths under its own folder.
TEST_F(ArchiveFiles, LastArchiveDoesNotCaptureSiblingsWithTheSamePrefix) {
    ArchiveBuilder builder;
    builder.AddFile("a.txt", Text("in archive"));
    Pack("DATA.KVA", builder);
    Write("data2/b.txt", Text("sibling folder"));
    Write("data.txt", Text("sibling file"));
    EXPECT_EQ(ReadFile("data\\a.txt"), Text("in archive"));
    EXPECT_EQ(ReadFile("data2\\b.txt"), Text("sibling folder"));
    EXPECT_EQ(ReadFile("data.txt"), Text("sibling file"));
    EXPECT_EQ(ReadFile("data\\a.txt"), Text("in archive"));
}

TEST_F(ArchiveFiles, NestedFoldersUseTheFirstArchiveAlongThePath) {
    ArchiveBuilder outer;
    outer.AddFile("inner/x.txt", Text("outer"));
    Pack("game.kva", outer);  // the name is found whatever its case
    ArchiveBuilder inner;
    inner.AddFile("x.txt", Text("inner"));
    Pack("game/inner.KVA", inner);
    EXPECT_EQ(ReadFile("game\\inner\\x.txt"), Text("outer"));
}

TEST_F(ArchiveFiles, SecondKeyAndShiftJisNamesAreRead) {
    ArchiveBuilder builder;
    // 0x95 0x5C is one character whose trail byte is a backslash.
    ASSERT_TRUE(builder.AddFile("\x95\x5C\\\x95\x5C.txt", Text("sjis")));
    ArchivePackOptions options;
    options.secondKey = true;
    Pack("DATA.KVA", builder, options);
    EXPECT_EQ(ReadFile("data\\\x95\x5C\\\x95\x5C.txt"), Text("sjis"));
    EXPECT_EQ(ReadFile("data\\\x95\x5C.txt"), Text("<no file>"));
}

TEST_F(ArchiveFiles, WhatIsNoArchiveLeavesTheFolderToTheDisk) {
    ArchiveBuilder builder;
    builder.AddFile("a.txt", Text("packed"));
    Bytes good;
    ASSERT_TRUE(builder.Build({}, &good));
    Write("data/a.txt", Text("loose"));
    auto patched = [&](auto change) {
        Bytes bytes = good;
        unsigned char key[kArchiveKeySize];
        BuildArchiveKey(nullptr, key);
        DescrambleArchiveBytes(bytes.size(), 0, bytes.data(), key);
        change(bytes);
        DescrambleArchiveBytes(bytes.size(), 0, bytes.data(), key);
        return bytes;
    };
    std::vector<Bytes> broken = {
        Text("not an archive at all, just text that is long enough"),
        Bytes(good.begin(), good.begin() + 10),                               // shorter than a header
        patched([](Bytes& b) { b[1] = 'X'; }),                                // magic
        patched([](Bytes& b) { StoreU16(b.data() + 2, 4); }),                 // version 4
        patched([](Bytes& b) { StoreU32(b.data() + 4, 0xFFFFFF00u); }),       // block past the end
        patched([](Bytes& b) { StoreU32(b.data() + 12, 0xFFFFFFF0u); }),      // block offset wraps
        patched([](Bytes& b) { StoreU32(b.data() + 20, LoadU32(b.data() + 4)); }),  // no root record
        Bytes(good.begin(), good.end() - 1),                                  // block cut short
    };
    for (std::size_t i = 0; i < broken.size(); ++i) {
        InitArchiveAccess();
        Write("DATA.KVA", broken[i]);
        EXPECT_EQ(ReadFile("data\\a.txt"), Text("loose")) << "case " << i;
    }
    InitArchiveAccess();
    Write("DATA.KVA", good);
    EXPECT_EQ(ReadFile("data\\a.txt"), Text("packed"));
}

// Damage inside a mounted archive fails the open of what it touches; it
// never reads or writes outside the archive's buffers.
TEST_F(ArchiveFiles, DamagedEntriesFailTheirOpen) {
    ArchiveBuilder builder;
    builder.AddFile("packed.bin", Bytes(5000, 'p'));
    builder.AddFile("sub/stored.bin", Text("stored"));
    Bytes good;
    ASSERT_TRUE(builder.Build({}, &good));
    unsigned char key[kArchiveKeySize];
    BuildArchiveKey(nullptr, key);
    Bytes plain = good;
    DescrambleArchiveBytes(plain.size(), 0, plain.data(), key);
    ArchiveHeader header;
    DecodeArchiveHeader(plain.data(), &header);
    const std::size_t files = header.directoryOffset + header.fileTableOffset;
    const std::size_t dirs = header.directoryOffset + header.dirTableOffset;
    // File table: root, packed.bin, sub, then sub's stored.bin.
    const std::size_t packedEntry = files + 44, subEntry = files + 88, storedEntry = files + 132;
    struct Damage {
        const char* what;
        std::size_t at;
        std::uint32_t value;
        const char* name;
    };
    const Damage damages[] = {
        {"data offset past the file", storedEntry + 32, 0xFFFFFF00u, "data\\sub\\stored.bin"},
        {"size past the file", storedEntry + 36, 0x7FFFFFFFu, "data\\sub\\stored.bin"},
        {"packed size below its header", packedEntry + 40, 3, "data\\packed.bin"},
        {"packed size past the file", packedEntry + 40, 0x10000000u, "data\\packed.bin"},
        {"unpacked size beyond any packing", packedEntry + 36, 0xFFFFFFF0u, "data\\packed.bin"},
        {"unpacked size off by one", packedEntry + 36, 5001, "data\\packed.bin"},
        {"name offset outside the block", packedEntry + 0, 0xFFFFFFF0u, "data\\packed.bin"},
        {"directory record outside the block", subEntry + 32, 0x7FFFFFF0u, "data\\sub\\stored.bin"},
        {"entry count runs past the table", dirs + 8, 0xFFFFFFFFu, "data\\nothing.bin"},
        {"first entry outside the table", dirs + 12, 0xFFFFFF00u, "data\\packed.bin"},
    };
    for (const Damage& d : damages) {
        InitArchiveAccess();
        Bytes bytes = plain;
        StoreU32(bytes.data() + d.at, d.value);
        DescrambleArchiveBytes(bytes.size(), 0, bytes.data(), key);
        Write("DATA.KVA", bytes);
        EXPECT_EQ(FileOpen(d.name, 0, 0), 0) << d.what;
    }
    // A back-reference of the packed member pointing before its start.
    InitArchiveAccess();
    Bytes bytes = plain;
    std::size_t data = header.dataOffset + LoadU32(plain.data() + packedEntry + 32);
    std::size_t end = data + LoadU32(plain.data() + packedEntry + 40);
    unsigned char escape = bytes[data + 8];
    for (std::size_t i = data + 9; i + 2 < end; ++i)
        if (bytes[i] == escape && bytes[i + 1] != escape) {
            unsigned code = bytes[i + 1] > escape ? bytes[i + 1] - 1u : bytes[i + 1];
            ASSERT_EQ(code & 3, 0u);  // a one-byte distance
            bytes[i + 2 + ((code & 4) != 0 ? 1 : 0)] = 0xF0;  // far beyond the bytes made so far
            break;
        }
    DescrambleArchiveBytes(bytes.size(), 0, bytes.data(), key);
    Write("DATA.KVA", bytes);
    EXPECT_EQ(FileOpen("data\\packed.bin", 0, 0), 0);
    EXPECT_EQ(ReadFile("data\\sub\\stored.bin"), Text("stored"));
}

TEST_F(ArchiveFiles, ForgedAndZeroHandlesAreRefused) {
    ArchiveBuilder builder;
    builder.AddFile("a.txt", Text("abc"));
    Pack("DATA.KVA", builder);
    FileHandle file = FileOpen("data\\a.txt", 0, 0);
    ASSERT_NE(file, 0);
    EXPECT_EQ(static_cast<std::uint64_t>(file) & 0xF0000000u, 0xF0000000u);
    char buffer[4];
    for (FileHandle bad : {FileHandle{0}, FileHandle{1}, FileHandle{0xF00001FF}, FileHandle{0xF0000200},
                           FileHandle{0x70000000}, static_cast<FileHandle>(0x1F0000000LL), FileHandle{-1}}) {
        EXPECT_EQ(FileClose(bad), -1) << bad;
        EXPECT_EQ(FileRead(buffer, 1, 1, bad), -1) << bad;
        EXPECT_EQ(FileTell(bad), -1) << bad;
        EXPECT_EQ(FileSeek(bad, 0, 0), -1) << bad;
        EXPECT_EQ(FileEof(bad), -1) << bad;
    }
    // A handle kept in a 32-bit int comes back negative and still works.
    auto narrow = static_cast<std::int32_t>(static_cast<std::uint32_t>(file));
    EXPECT_LT(narrow, 0);
    EXPECT_EQ(FileRead(buffer, 1, 3, static_cast<FileHandle>(narrow)), 3);
    EXPECT_EQ(FileClose(static_cast<FileHandle>(narrow)), 0);
    EXPECT_EQ(FileClose(file), -1);  // already closed
}

TEST_F(ArchiveFiles, OpenFileTableIsBounded) {
    // The log goes to Log.txt in the start directory, here the test's folder.
    SystemState& state = g_SystemState;
    state.logOff = 0;
    state.logNoTimePrefix = 1;
    std::string start = PlatformWindowsPath(dir_.str());
    std::snprintf(state.startDirectory, sizeof state.startDirectory, "%s", start.c_str());
    InitLogFile();
    ArchiveBuilder builder;
    builder.AddFile("a.txt", Text("a"));
    Pack("DATA.KVA", builder);
    std::vector<FileHandle> handles;
    for (int i = 0; i < kMaxOpenFiles; ++i) {
        handles.push_back(FileOpen("data\\a.txt", 0, 0));
        ASSERT_NE(handles.back(), 0) << i;
    }
    EXPECT_EQ(FileOpen("data\\a.txt", 0, 0), 0);
    EXPECT_NE(dir_.Read("Log.txt").find("同時に開けるファイルの数が限界を超えました\r\n"), std::string::npos);
    state.startDirectory[0] = '\0';
    state.logOff = 1;
    EXPECT_EQ(GetArchiveReferenceCount(ArchivePath("data").c_str()), kMaxOpenFiles);
    EXPECT_EQ(FileClose(handles[100]), 0);
    FileHandle again = FileOpen("data\\a.txt", 0, 0);
    EXPECT_EQ(again, handles[100]);  // the freed slot is taken again
    handles[100] = again;
    for (FileHandle h : handles) EXPECT_EQ(FileClose(h), 0);
    EXPECT_EQ(GetOpenFileCount(), 0);
}

TEST_F(ArchiveFiles, FullUpperPath) {
    char current[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, current), 0u);
    std::string base = Upper(current);
    char out[MAX_PATH];
    ASSERT_EQ(MakeFullUpperPath("bmp\\Title.bmp", out), 0);
    EXPECT_EQ(std::string(out), base + "\\BMP\\TITLE.BMP");
    ASSERT_EQ(MakeFullUpperPath("a/./b/../c", out), 0);
    EXPECT_EQ(std::string(out), base + "\\A\\C");
    ASSERT_EQ(MakeFullUpperPath("\\x\\y", out), 0);
    EXPECT_EQ(std::string(out), "C:\\X\\Y");
    ASSERT_EQ(MakeFullUpperPath("d:\\p", out), 0);
    EXPECT_EQ(std::string(out), "D:\\P");
    ASSERT_EQ(MakeFullUpperPath("d:\\..\\..\\p", out), 0);
    EXPECT_EQ(std::string(out), "D:\\P");  // never above the drive
    ASSERT_EQ(MakeFullUpperPath("\x82\x61\\q", out), 0);
    EXPECT_EQ(std::string(out), base + "\\\x82\x61\\Q");  // the pair is not upper-cased
    EXPECT_EQ(MakeFullUpperPath("a\\\\b", out), -1);
    EXPECT_EQ(MakeFullUpperPath(std::string(300, 'n').c_str(), out), -1);
}

// The packer tool, run as anyone would run it on a folder.
TEST_F(ArchiveFiles, FolderPackedByTheToolReadsBack) {
    std::error_code error;
    auto tool = std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / "kvapack";
    if (error || !std::filesystem::exists(tool)) GTEST_SKIP() << "kvapack not built beside the tests";
    Write("Game/bmp/Title.BMP", Mixed(30000, 4));
    Write("Game/se/select.wav", Mixed(5000, 5));
    Write("Game/data/1.col", Bytes(6000, 1));
    std::string command = tool.string() + " " + (dir_.path() / "Game").string() + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ASSERT_TRUE(std::filesystem::exists(dir_.path() / "Game.KVA"));
    std::filesystem::rename(dir_.path() / "Game", dir_.path() / "moved");
    EXPECT_EQ(ReadFile("game\\bmp\\title.bmp"), Mixed(30000, 4));
    EXPECT_EQ(ReadFile("GAME\\SE\\SELECT.WAV"), Mixed(5000, 5));
    EXPECT_EQ(ReadFile("Game\\data\\1.col"), Bytes(6000, 1));
}

}  // namespace
