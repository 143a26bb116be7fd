// The byte ring: order kept across a wrap when it grows, sizes that cannot be
// had refused, and adding and taking bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/memory.h"
#include "framework/core/log_capture.h"
#include "net/ring_buffer.h"

namespace {

std::string Stored(const RingBuffer& ring) {
    std::string out;
    for (std::uint32_t i = 0; i < ring.dataSize; ++i) out += static_cast<char>(ring.data[(ring.readPosition + i) % ring.capacity]);
    return out;
}

// A ring of capacity 10 holding "abcdef" from read position 8: "ab" at the
// end of the storage, "cdef" wrapped to its start.
RingBuffer WrappedRing() {
    RingBuffer ring{};
    ring.data = static_cast<std::uint8_t*>(KV_ALLOC(10));
    std::memcpy(ring.data, "cdef....ab", 10);
    ring.capacity = 10;
    ring.readPosition = 8;
    ring.dataSize = 6;
    ring.writePosition = 4;
    return ring;
}

TEST(RingBuffer, GrowingAWrappedRingKeepsTheBytesInOrder) {
    RingBuffer ring = WrappedRing();
    EXPECT_EQ(ReserveRingBuffer(10, &ring), 0);
    EXPECT_EQ(ring.capacity, 6u + 10u + 1000u);
    EXPECT_EQ(ring.readPosition, 0u);
    EXPECT_EQ(ring.writePosition, 6u);
    EXPECT_EQ(ring.dataSize, 6u);
    EXPECT_EQ(std::memcmp(ring.data, "abcdef", 6), 0);
    FreeRingBuffer(&ring);
    EXPECT_EQ(ring.data, nullptr);
    EXPECT_EQ(ring.capacity, 0u);
    EXPECT_EQ(g_MemoryTracker.count, 0);
}

TEST(RingBuffer, RoomEnoughChangesNothingButWrapsEndPositions) {
    RingBuffer ring = WrappedRing();
    std::uint8_t* before = ring.data;
    EXPECT_EQ(ReserveRingBuffer(4, &ring), 0);  // 6 + 4 fits 10
    EXPECT_EQ(ring.data, before);
    EXPECT_EQ(Stored(ring), "abcdef");

    ring.readPosition = 10;   // a position at the capacity wraps to 0
    ring.writePosition = 10;
    ring.dataSize = 0;
    EXPECT_EQ(ReserveRingBuffer(1, &ring), 0);
    EXPECT_EQ(ring.readPosition, 0u);
    EXPECT_EQ(ring.writePosition, 0u);
    FreeRingBuffer(&ring);
}

TEST(RingBuffer, EmptyRingGrowsFromNothing) {
    RingBuffer ring{};
    EXPECT_EQ(ReserveRingBuffer(0, &ring), 0);  // nothing needed, nothing made
    EXPECT_EQ(ring.data, nullptr);
    EXPECT_EQ(ReserveRingBuffer(5, &ring), 0);
    EXPECT_EQ(ring.capacity, 1005u);
    EXPECT_NE(ring.data, nullptr);
    FreeRingBuffer(&ring);
}

TEST(RingBuffer, SizeThatWouldWrapIsRefusedAndReported) {
    LogCapture log;
    RingBuffer ring = WrappedRing();
    // 6 + need + 1000 passes 4 GiB: a wrapped sum would have made a small
    // block for a huge receive.
    EXPECT_EQ(ReserveRingBuffer(0xFFFFFC20u, &ring), -1);
    EXPECT_EQ(ring.data, nullptr);
    EXPECT_EQ(ring.dataSize, 0u);
    EXPECT_EQ(ring.capacity, 0u);
    EXPECT_EQ(g_MemoryTracker.count, 0);
    EXPECT_NE(log.FileWithoutTimes().find(
                  "リングバッファの再確保に失敗しました(確保しようとしたサイズ 4294967310 byte)\r\n"),
              std::string::npos);
}

TEST(RingBuffer, FailedAllocationEmptiesTheRing) {
    LogCapture log;
    RingBuffer ring = WrappedRing();
    SetTrackedAllocFailures(1);
    EXPECT_EQ(ReserveRingBuffer(100, &ring), -1);
    EXPECT_EQ(ring.data, nullptr);
    EXPECT_EQ(ring.readPosition, 0u);
    EXPECT_EQ(g_MemoryTracker.count, 0);
    EXPECT_NE(log.FileWithoutTimes().find("(確保しようとしたサイズ 1106 byte)"), std::string::npos);
}

}  // namespace

namespace {

// Adding, looking and taking against a plain queue, in runs of sizes that
// make the positions wrap and the ring grow at every offset.
TEST(RingBuffer, AddingAndTakingMatchAQueue) {
    RingBuffer ring{};
    std::string queue;
    std::uint32_t x = 12345;
    auto next = [&](std::uint32_t limit) {
        x = x * 1103515245u + 12345u;
        return (x >> 16) % limit;
    };
    std::uint8_t counter = 0;
    for (int step = 0; step < 4000; ++step) {
        std::uint32_t n = next(step % 500 < 250 ? 40 : 1500);  // small runs, then ones that make it grow
        if (next(3) != 0) {
            std::string bytes;
            for (std::uint32_t i = 0; i < n; ++i) bytes += static_cast<char>(counter++);
            ASSERT_EQ(AppendRingBuffer(&ring, bytes.data(), n), 0);
            queue += bytes;
        } else {
            std::string out(n, '\0');
            int peek = static_cast<int>(next(2));
            if (n > queue.size()) {
                std::uint32_t before = ring.readPosition;
                EXPECT_EQ(ReadRingBuffer(&ring, out.data(), n, peek), -1);
                EXPECT_EQ(ring.readPosition, before);
                continue;
            }
            ASSERT_EQ(ReadRingBuffer(&ring, out.data(), n, peek), 0);
            ASSERT_EQ(out, queue.substr(0, n)) << "step " << step;
            if (!peek) queue.erase(0, n);
        }
        ASSERT_EQ(ring.dataSize, queue.size());
        ASSERT_LE(ring.dataSize, ring.capacity);
        ASSERT_LE(ring.readPosition, ring.capacity);
        ASSERT_LE(ring.writePosition, ring.capacity);
    }
    FreeRingBuffer(&ring);
    EXPECT_EQ(g_MemoryTracker.count, 0);
}

TEST(RingBuffer, AnAdditionThatCannotGrowIsLogged) {
    LogCapture log;
    RingBuffer ring{};
    ASSERT_EQ(AppendRingBuffer(&ring, "abc", 3), 0);
    SetTrackedAllocFailures(1);
    std::string big(5000, 'b');
    EXPECT_EQ(AppendRingBuffer(&ring, big.data(), 5000), -1);
    EXPECT_EQ(ring.data, nullptr);
    EXPECT_EQ(ring.dataSize, 0u);
    EXPECT_NE(log.FileWithoutTimes().find("リングバッファへのデータの追加に失敗しました(追加する長さ 5000 byte)\r\n"),
              std::string::npos);
    EXPECT_EQ(g_MemoryTracker.count, 0);
}

}  // namespace

namespace {

// A ring that a stream of additions keeps growing is moved a number of times
// that grows with the logarithm of what it holds, not with the number of
// additions, and never holds much more than twice what it must.
TEST(RingBuffer, GrowthIsGeometric) {
    struct Case {
        std::uint32_t piece;
        int pieces;
        int maxMoves;
    };
    const Case cases[] = {
        {1000, 10000, 16},   // 10 MB in the frames of a flooding peer
        {65536, 160, 16},    // 10 MB in a sender's 64 KB pieces
        {1, 5000, 4},        // small additions: the slack absorbs them
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.piece);
        RingBuffer ring{};
        std::string piece(c.piece, 'p');
        int moves = 0;
        std::uint8_t* last = nullptr;
        for (int i = 0; i < c.pieces; ++i) {
            ASSERT_EQ(AppendRingBuffer(&ring, piece.data(), c.piece), 0);
            if (ring.data != last) ++moves;
            last = ring.data;
        }
        std::uint64_t held = static_cast<std::uint64_t>(c.piece) * c.pieces;
        EXPECT_EQ(ring.dataSize, held);
        EXPECT_LE(moves, c.maxMoves);
        EXPECT_LE(ring.capacity, 2 * held + 2000 + c.piece);
        FreeRingBuffer(&ring);
    }
    EXPECT_EQ(g_MemoryTracker.count, 0);
}

}  // namespace
