// Memory streams, the stream tables, the file-function table's routing and
// the stream-sound list.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/memory.h"
#include "files/file_functions.h"
#include "files/stream_functions.h"
#include "files/stream_memory.h"
#include "files/stream_node_list.h"

namespace {

TEST(MemoryStream, ReadsWholeItemsThenTheTailThenTheEnd) {
    const char data[] = "0123456789";
    MemoryStream* stream = OpenMemoryStream(data, 10);
    ASSERT_NE(stream, nullptr);
    char buffer[12] = {};
    EXPECT_EQ(MemStreamRead(buffer, 4, 3, stream), 2);
    EXPECT_EQ(std::string(buffer, 8), "01234567");
    EXPECT_EQ(MemStreamTell(stream), 8);
    EXPECT_EQ(MemStreamEof(stream), 0);

    std::memset(buffer, 0, sizeof buffer);
    EXPECT_EQ(MemStreamRead(buffer, 4, 3, stream), 1);  // the 2-byte tail counts as one item
    EXPECT_EQ(std::string(buffer), "89");
    EXPECT_EQ(MemStreamTell(stream), 10);
    EXPECT_EQ(MemStreamEof(stream), 0);

    EXPECT_EQ(MemStreamRead(buffer, 4, 3, stream), 0);
    EXPECT_EQ(MemStreamEof(stream), 1);
    EXPECT_EQ(CloseMemoryStream(stream), 0);
}

TEST(MemoryStream, SeeksAreClampedAndClearTheEnd) {
    const char data[] = "abcdefghij";
    MemoryStream* stream = OpenMemoryStream(data, 10);
    char c;
    EXPECT_EQ(MemStreamSeek(stream, 0, 2), 0);
    EXPECT_EQ(MemStreamRead(&c, 1, 1, stream), 0);
    EXPECT_EQ(MemStreamEof(stream), 1);

    EXPECT_EQ(MemStreamSeek(stream, -5, 0), 0);
    EXPECT_EQ(MemStreamTell(stream), 0);
    EXPECT_EQ(MemStreamEof(stream), 0);
    EXPECT_EQ(MemStreamSeek(stream, 15, 0), 0);
    EXPECT_EQ(MemStreamTell(stream), 10);
    EXPECT_EQ(MemStreamSeek(stream, -3, 2), 0);
    EXPECT_EQ(MemStreamTell(stream), 7);
    EXPECT_EQ(MemStreamSeek(stream, -100, 1), 0);
    EXPECT_EQ(MemStreamTell(stream), 0);
    EXPECT_EQ(MemStreamSeek(stream, INT64_MAX, 1), 0);
    EXPECT_EQ(MemStreamTell(stream), 10);
    EXPECT_EQ(MemStreamSeek(stream, INT64_MIN, 2), 0);
    EXPECT_EQ(MemStreamTell(stream), 0);
    EXPECT_EQ(MemStreamSeek(stream, 0, 7), -1);
    CloseMemoryStream(stream);
}

// A product size x count that wraps must not pass for a small request: the
// read is bounded by what remains, whatever the two factors are.
TEST(MemoryStream, HugeItemCountsDoNotWrap) {
    std::vector<unsigned char> data(100, 7);
    MemoryStream* stream = OpenMemoryStream(data.data(), data.size());
    std::vector<unsigned char> buffer(100);
    EXPECT_EQ(MemStreamRead(buffer.data(), 0x100000000ull, 0x100000000ull, stream), 1);
    EXPECT_EQ(MemStreamTell(stream), 100);
    MemStreamSeek(stream, 0, 0);
    EXPECT_EQ(MemStreamRead(buffer.data(), 16, SIZE_MAX / 8, stream), 6);
    EXPECT_EQ(MemStreamTell(stream), 96);
    CloseMemoryStream(stream);
}

// With nothing asked for there is no room to copy a tail into.
TEST(MemoryStream, EmptyRequestsCopyNothing) {
    const char data[] = "xyz";
    MemoryStream* stream = OpenMemoryStream(data, 3);
    char guard = '#';
    EXPECT_EQ(MemStreamRead(&guard, 4, 0, stream), 0);
    EXPECT_EQ(MemStreamRead(&guard, 0, 4, stream), 0);
    EXPECT_EQ(guard, '#');
    EXPECT_EQ(MemStreamTell(stream), 0);
    CloseMemoryStream(stream);
}

TEST(MemoryStream, RecordIsTrackedAndFreed) {
    int before = g_MemoryTracker.count;
    MemoryStream* stream = OpenMemoryStream("ab", 2);
    EXPECT_EQ(g_MemoryTracker.count, before + 1);
    CloseMemoryStream(stream);
    EXPECT_EQ(g_MemoryTracker.count, before);
}

TEST(StreamTables, MemoryTableReadsThroughTheStream) {
    FillStreamFunctionTables();
    const StreamFunctions* f = GetMemoryStreamFunctions();
    const char data[] = "hello world";
    StreamData stream{*f, reinterpret_cast<StreamHandle>(OpenMemoryStream(data, 11))};
    char buffer[8] = {};
    EXPECT_EQ(stream.functions.seek(stream.dataHandle, 6, 0), 0);
    EXPECT_EQ(stream.functions.read(buffer, 1, 5, stream.dataHandle), 5);
    EXPECT_STREQ(buffer, "world");
    EXPECT_EQ(stream.functions.tell(stream.dataHandle), 11);
    EXPECT_EQ(stream.functions.idleCheck(stream.dataHandle), 1);
    EXPECT_EQ(stream.functions.read(buffer, 1, 1, stream.dataHandle), 0);
    EXPECT_EQ(stream.functions.eof(stream.dataHandle), 1);
    EXPECT_EQ(stream.functions.close(stream.dataHandle), 0);
}

// A recording set: every call lands here.
std::vector<std::string> g_calls;

FileFunctionTable RecordingTable() {
    return {
        [](const char* name, int, int) -> FileHandle {
            g_calls.push_back(std::string("open ") + name);
            return 77;
        },
        [](FileHandle f) { g_calls.push_back("close " + std::to_string(f)); return 0; },
        [](FileHandle) -> std::int64_t { g_calls.push_back("tell"); return 5; },
        [](FileHandle, std::int64_t offset, int origin) {
            g_calls.push_back("seek " + std::to_string(offset) + " " + std::to_string(origin));
            return 0;
        },
        [](void*, std::size_t size, std::size_t count, FileHandle) -> std::int64_t {
            g_calls.push_back("read " + std::to_string(size) + "x" + std::to_string(count));
            return 3;
        },
        [](FileHandle) { g_calls.push_back("eof"); return -1; },
        [](FileHandle) { g_calls.push_back("idle"); return 1; },
        [](const char* path) { g_calls.push_back(std::string("cd ") + path); return 0; },
        [](char* buffer) { std::strcpy(buffer, "C:\\REC"); return 0; },
    };
}

TEST(FileFunctionTable, CallersTableRoutesFilesAndFileStreams) {
    g_calls.clear();
    FileFunctionTable table = RecordingTable();
    FileFunctionTable incomplete = table;
    incomplete.eof = nullptr;
    EXPECT_EQ(SelectFileFunctions(&incomplete), -1);
    EXPECT_EQ(SelectFileFunctions(&table), 0);
    FileHandle f = FileOpen("any\\name.bin", 0, 1);
    EXPECT_EQ(f, 77);
    const StreamFunctions* streams = GetFileStreamFunctions();
    char buffer[4];
    EXPECT_EQ(streams->seek(f, 12, 1), 0);
    EXPECT_EQ(streams->read(buffer, 2, 9, f), 3);
    EXPECT_EQ(streams->tell(f), 5);
    EXPECT_EQ(streams->eof(f), -1);
    EXPECT_EQ(streams->idleCheck(f), 1);
    EXPECT_EQ(streams->close(f), 0);
    EXPECT_EQ(FileSetCurrentDir("C:\\X"), 0);
    char dir[260] = {};
    EXPECT_EQ(FileGetCurrentDir(dir), 0);
    EXPECT_STREQ(dir, "C:\\REC");
    EXPECT_EQ(g_calls, (std::vector<std::string>{"open any\\name.bin", "seek 12 1", "read 2x9", "tell", "eof", "idle",
                                                 "close 77", "cd C:\\X"}));
    // Back to the default set.
    SelectFileFunctions(nullptr);
    g_calls.clear();
    EXPECT_EQ(FileOpen("no-such-file-anywhere.bin", 0, 1), 0);
    EXPECT_TRUE(g_calls.empty());
}

TEST(FileFunctionTable, NoArchiveSwitchSelectsThePlainSet) {
    SetNoArchiveSwitch(1);
    SelectFileFunctions(nullptr);
    FileFunctionTable table = RecordingTable();
    // The plain set refuses a handle it never handed out.
    EXPECT_EQ(FileClose(12345), -1);
    EXPECT_EQ(FileRead(&table, 1, 1, 12345), -1);
    EXPECT_EQ(FileTell(0), -1);
    SetNoArchiveSwitch(0);
    SelectFileFunctions(nullptr);
    EXPECT_EQ(FileClose(12345), -1);
}

TEST(NodeList, LinksAndUnlinksBetweenTheSentinels) {
    ListNode head, tail, a, b, c;
    InitNodeList(&head, &tail);
    EXPECT_EQ(head.value, -1);
    EXPECT_EQ(tail.value, -1);
    EXPECT_EQ(head.next, &tail);
    EXPECT_EQ(tail.previous, &head);
    LinkNodeAfter(&head, &a, 1, 100);
    LinkNodeAfter(&a, &c, 3, 300);
    LinkNodeAfter(&a, &b, 2, 200);
    std::vector<int> forward, backward;
    for (ListNode* n = head.next; n != &tail; n = n->next) forward.push_back(n->value);
    for (ListNode* n = tail.previous; n != &head; n = n->previous) backward.push_back(n->value);
    EXPECT_EQ(forward, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(backward, (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(b.data, 200);
    UnlinkNode(&b);
    UnlinkNode(&a);
    EXPECT_EQ(head.next, &c);
    EXPECT_EQ(c.previous, &head);
    EXPECT_EQ(c.next, &tail);
    UnlinkNode(&c);
    EXPECT_EQ(head.next, &tail);
    EXPECT_EQ(tail.previous, &head);
}

}  // namespace
