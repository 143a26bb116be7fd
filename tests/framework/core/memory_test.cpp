// The memory tracker: header contents, the live list, totals, damage checks
// and the dump at the end.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "log_capture.h"
#include "core/memory.h"

namespace {

TrackedAllocHeader* HeaderOf(void* block) {
    return reinterpret_cast<TrackedAllocHeader*>(static_cast<unsigned char*>(block) - kTrackedAllocHeaderSize);
}

class MemoryTrackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Every test leaves the tracker as it found it.
        ASSERT_EQ(g_MemoryTracker.count, 0);
        ASSERT_EQ(g_MemoryTracker.totalSize, 0);
    }
    void TearDown() override {
        g_MemoryTracker.logEach = 0;
        g_MemoryTracker.logTotals = 0;
        g_MemoryTracker.checkEach = 0;
        g_MemoryTracker.logOnlySize = 0;
        SetTrackedAllocFailures(0);
    }
    LogCapture log_;
};

TEST_F(MemoryTrackerTest, SourceNameKeepsItsLastFifteenCharacters) {
    void* whole = TrackedAlloc(1, "abcdefghijklmn", 1);      // 14
    void* exact = TrackedAlloc(1, "abcdefghijklmno", 2);     // 15
    void* longer = TrackedAlloc(1, "dir/abcdefghijklmno", 3);
    void* none = TrackedAlloc(1, nullptr, 4);
    EXPECT_STREQ(HeaderOf(whole)->sourceName, "abcdefghijklmn");
    EXPECT_STREQ(HeaderOf(exact)->sourceName, "abcdefghijklmno");
    EXPECT_STREQ(HeaderOf(longer)->sourceName, "abcdefghijklmno");
    EXPECT_STREQ(HeaderOf(none)->sourceName, "");
    EXPECT_EQ(HeaderOf(longer)->line, 3);
    for (void* b : {whole, exact, longer, none}) TrackedFree(b);
}

TEST_F(MemoryTrackerTest, BlocksAreAlignedAndZeroedOnRequest) {
    void* plain = TrackedAlloc(24, "t", 1);
    std::memset(plain, 0xAB, 24);
    TrackedFree(plain);
    auto* zeroed = static_cast<unsigned char*>(TrackedAllocZeroed(24, "t", 1));
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(zeroed) % 16, 0u);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(zeroed[i], 0) << i;
    TrackedFree(zeroed);
    TrackedFree(nullptr);  // ignored
}

TEST_F(MemoryTrackerTest, FreeingRelinksNeighboursAndMovesTheHead) {
    void* a = TrackedAlloc(10, "a", 1);
    void* b = TrackedAlloc(20, "b", 2);
    void* c = TrackedAlloc(30, "c", 3);
    EXPECT_EQ(g_MemoryTracker.head, HeaderOf(c));
    EXPECT_EQ(HeaderOf(a)->previous, &g_MemoryTracker.sentinel);
    EXPECT_EQ(g_MemoryTracker.count, 3);
    EXPECT_EQ(g_MemoryTracker.totalSize, 60);

    TrackedFree(b);  // middle
    EXPECT_EQ(HeaderOf(c)->previous, HeaderOf(a));
    EXPECT_EQ(HeaderOf(a)->next, HeaderOf(c));
    EXPECT_EQ(CheckAllocations(), 0);  // the neighbours' copies were refreshed

    TrackedFree(c);  // the newest: its predecessor becomes the head
    EXPECT_EQ(g_MemoryTracker.head, HeaderOf(a));
    EXPECT_EQ(HeaderOf(a)->next, nullptr);

    TrackedFree(a);  // the only one: the head is the sentinel
    EXPECT_EQ(g_MemoryTracker.head, &g_MemoryTracker.sentinel);
    EXPECT_EQ(g_MemoryTracker.count, 0);
    EXPECT_EQ(g_MemoryTracker.totalSize, 0);
    EXPECT_EQ(CheckAllocations(), 0);
}

TEST_F(MemoryTrackerTest, TheIdCounterWrapsAfter65536Allocations) {
    void* first = TrackedAlloc(1, "t", 1);
    std::uint16_t id = HeaderOf(first)->id;
    TrackedFree(first);
    for (int i = 1; i < 65536; ++i) TrackedFree(TrackedAlloc(1, "t", 1));
    void* again = TrackedAlloc(1, "t", 1);
    EXPECT_EQ(HeaderOf(again)->id, id);
    TrackedFree(again);
}

TEST_F(MemoryTrackerTest, AllocationInfoShowsPrintableBytesAndHex) {
    auto* block = static_cast<unsigned char*>(TrackedAlloc(5, "memory_test.cpp", 42));
    std::memcpy(block, "ab\x01\xff" "c", 5);
    auto* empty = TrackedAlloc(0, "x", 7);
    auto* big = static_cast<unsigned char*>(TrackedAlloc(2048, "y", 8));
    for (int i = 0; i < 2048; ++i) big[i] = static_cast<unsigned char>('A' + i % 26);
    PlatformClearDebugOutput();

    LogAllocationInfo(HeaderOf(block));
    LogAllocationInfo(HeaderOf(empty));
    LogAllocationInfo(HeaderOf(big));
    std::string id5 = std::to_string(HeaderOf(block)->id);
    std::string id0 = std::to_string(HeaderOf(empty)->id);
    std::string idBig = std::to_string(HeaderOf(big)->id);
    EXPECT_EQ(log_.Debug(),
              "\tsize:5(0.005kb)  file:memory_test.cpp  line:42  ID:" + id5 + "  data:<ab..c> [61 62 01 ff 63]\r\n"
              "\tsize:0(0.000kb)  file:x  line:7  ID:" + id0 + "  data:<> ]\r\n"
              "\tsize:2048(2.000kb)  file:y  line:8  ID:" + idBig +
              "  data:<ABCDEFGHIJKLMNOP> [41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50]\r\n");
    TrackedFree(block);
    TrackedFree(empty);
    TrackedFree(big);
}

TEST_F(MemoryTrackerTest, DamagedHeaderIsFoundAndReported) {
    auto* older = TrackedAlloc(4, "older", 1);
    auto* damaged = static_cast<char*>(TrackedAlloc(4, "damaged", 2));
    auto* newer = TrackedAlloc(4, "newer", 3);
    EXPECT_EQ(CheckAllocations(), 0);

    // A write in front of the block lands in its header.
    HeaderOf(damaged)->sourceName[3] ^= 0x5A;
    PlatformClearDebugOutput();
    EXPECT_EQ(CheckAllocations(), -1);
    std::string out = log_.Debug();
    EXPECT_EQ(out.find("以下のメモリ確保情報が破損しました"), 0u);
    EXPECT_NE(out.find("line:2  "), std::string::npos);

    // Freeing it would follow links that cannot be trusted: it is reported
    // and left alone.
    PlatformClearDebugOutput();
    TrackedFree(damaged);
    EXPECT_EQ(g_MemoryTracker.count, 3);
    EXPECT_NE(log_.Debug().find("以下のメモリ確保情報が破損しました"), std::string::npos);

    // The check switch catches it on the next allocation too.
    g_MemoryTracker.checkEach = 1;
    PlatformClearDebugOutput();
    void* probe = TrackedAlloc(1, "probe", 4);
    EXPECT_NE(log_.Debug().find("以下のメモリ確保情報が破損しました"), std::string::npos);
    g_MemoryTracker.checkEach = 0;

    HeaderOf(damaged)->sourceName[3] ^= 0x5A;
    EXPECT_EQ(CheckAllocations(), 0);
    for (void* b : {probe, newer, static_cast<void*>(damaged), older}) TrackedFree(b);
}

TEST_F(MemoryTrackerTest, DumpListsBlocksStillAllocatedNewestFirst) {
    auto* a = static_cast<char*>(TrackedAlloc(3, "first.cpp", 10));
    auto* b = static_cast<char*>(TrackedAlloc(2, "second.cpp", 20));
    std::memcpy(a, "abc", 3);
    std::memcpy(b, "xy", 2);
    std::string idA = std::to_string(HeaderOf(a)->id);
    std::string idB = std::to_string(HeaderOf(b)->id);
    PlatformClearDebugOutput();
    DumpAllocations();
    EXPECT_EQ(log_.Debug(),
              "\r\nAlloc memory dump"
              "\tsize:2(0.002kb)  file:second.cpp  line:20  ID:" + idB + "  data:<xy> [78 79]\r\n"
              "\tsize:3(0.003kb)  file:first.cpp  line:10  ID:" + idA + "  data:<abc> [61 62 63]\r\n"
              "\tTotal size:5(0.005kb)  Alloc num:2\r\n"
              "\r\n");
    // In the file the first block follows the title on the same line.
    EXPECT_NE(log_.FileWithoutTimes().find("\r\nAlloc memory dump\tsize:2(0.002kb)  file:second.cpp"),
              std::string::npos);
    TrackedFree(a);
    TrackedFree(b);

    PlatformClearDebugOutput();
    DumpAllocations();
    EXPECT_EQ(log_.Debug(), "\r\nAlloc memory dump\tTotal size:0(0.000kb)  Alloc num:0\r\n\r\n");
}

TEST_F(MemoryTrackerTest, OversizedRequestsAreRefusedInsteadOfWrapping) {
    void* keep = TrackedAlloc(8, "keep", 1);
    PlatformClearDebugOutput();
    EXPECT_EQ(TrackedAlloc(SIZE_MAX, "t", 1), nullptr);
    EXPECT_EQ(TrackedAlloc(SIZE_MAX - kTrackedAllocHeaderSize + 1, "t", 1), nullptr);
    EXPECT_EQ(TrackedAlloc(kTrackedAllocMaxSize + 1, "t", 1), nullptr);
    EXPECT_EQ(TrackedAllocZeroed(0xFFFFFFFFu, "t", 1), nullptr);
    EXPECT_EQ(g_MemoryTracker.count, 1);
    EXPECT_EQ(g_MemoryTracker.totalSize, 8);
    // Each refusal is logged, with the dump of what is live.
    EXPECT_NE(log_.Debug().find("Alloc memory dump\tsize:8"), std::string::npos);
    TrackedFree(keep);
}

TEST_F(MemoryTrackerTest, ExhaustedHeapDumpsAndReturnsNull) {
    SetTrackedAllocFailures(1);
    PlatformClearDebugOutput();
    EXPECT_EQ(TrackedAlloc(16, "t", 1), nullptr);
    EXPECT_EQ(log_.Debug(), "\r\nAlloc memory dump\tTotal size:0(0.000kb)  Alloc num:0\r\n\r\n");
    void* next = TrackedAlloc(16, "t", 1);  // only one failure was asked for
    EXPECT_NE(next, nullptr);
    TrackedFree(next);
}

TEST_F(MemoryTrackerTest, SwitchesLogAllocationsFreesAndTotals) {
    g_MemoryTracker.logOnlySize = 6;
    PlatformClearDebugOutput();
    void* other = TrackedAlloc(5, "t", 1);
    EXPECT_EQ(log_.Debug(), "");  // not the size asked for
    void* six = TrackedAlloc(6, "t", 2);
    TrackedFree(six);
    std::string out = log_.Debug();
    EXPECT_EQ(out.find("mem alloc  \tsize:6(0.006kb)  file:t  line:2"), 0u);
    EXPECT_NE(out.find("mem free  \tsize:6(0.006kb)"), std::string::npos);

    g_MemoryTracker.logOnlySize = -1;  // every size
    g_MemoryTracker.logTotals = 1;
    PlatformClearDebugOutput();
    TrackedFree(other);
    out = log_.Debug();
    EXPECT_EQ(out.find("mem free  \tsize:5"), 0u);
    EXPECT_NE(out.find("\tTotal size:0(0.000kb)  Alloc num:0\r\n"), std::string::npos);
}

TEST_F(MemoryTrackerTest, ClearDroppedFilesFreesEveryName) {
    for (int i = 0; i < 3; ++i) g_SystemState.droppedFiles[i] = static_cast<char*>(TrackedAlloc(8, "drop", i));
    g_SystemState.droppedFileCount = 3;
    EXPECT_EQ(ClearDroppedFiles(), 0);
    EXPECT_EQ(g_SystemState.droppedFileCount, 0);
    EXPECT_EQ(g_SystemState.droppedFiles[0], nullptr);
    EXPECT_EQ(g_MemoryTracker.count, 0);
}

}  // namespace
