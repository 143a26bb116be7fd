// The two public builders of pixel formats: the same descriptor and block
// as the framework's own builders, written wherever the caller's bytes lie,
// and reached without the framework lock (a thread holding it does not keep
// another from building).
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "core/framework_lock.h"
#include "graphics/image/color_format.h"
#include "kelvo/api.h"
#include "platform/kernel.h"

namespace {

struct Masks {
    int depth;
    std::uint32_t r, g, b, a;
};
constexpr Masks kFormats[] = {
    {16, 0xF800, 0x07E0, 0x001F, 0},        {16, 0x7C00, 0x03E0, 0x001F, 0x8000}, {32, 0xFF0000, 0xFF00, 0xFF, 0},
    {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {16, 0x0F00, 0x00F0, 0x000F, 0xF000}, {8, 0, 0, 0, 0},
    {24, 0xFF0000, 0xFF00, 0xFF, 0},
};

std::uint32_t Word(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }

TEST(FormatEntries, TheyBuildWhatTheFrameworkBuildsAndNothingElse) {
    for (const Masks& m : kFormats) {
        SCOPED_TRACE(m.depth);
        // The palette is left as it was: both start from the same bytes.
        ColorFormatDesc ours, theirs;
        std::memset(&ours, 0x5A, sizeof ours);
        std::memset(&theirs, 0x5A, sizeof theirs);
        ASSERT_EQ(ApiBuildColorFormat(&ours, m.depth, m.r, m.g, m.b, m.a), 0);
        ASSERT_EQ(BuildColorFormat(&theirs, m.depth, m.r, m.g, m.b, m.a), 0);
        EXPECT_EQ(std::memcmp(&ours, &theirs, sizeof ours), 0);

        // The block at an odd address, guarded on both sides.
        std::uint8_t bytes[40];
        std::memset(bytes, 0xEE, sizeof bytes);
        ASSERT_EQ(ApiBuildDDPixelFormat(bytes + 3, m.depth, m.r, m.g, m.b, m.a), 0);
        const std::uint8_t* block = bytes + 3;
        EXPECT_EQ(Word(block + 0), 32u);
        EXPECT_EQ(Word(block + 4), 0x40u);  // RGB only, also with an alpha mask
        EXPECT_EQ(Word(block + 8), 0u);
        EXPECT_EQ(Word(block + 12), static_cast<std::uint32_t>(m.depth));
        EXPECT_EQ(Word(block + 16), m.r);
        EXPECT_EQ(Word(block + 20), m.g);
        EXPECT_EQ(Word(block + 24), m.b);
        EXPECT_EQ(Word(block + 28), m.a);
        for (int i : {0, 1, 2, 35, 36, 37, 38, 39}) EXPECT_EQ(bytes[i], 0xEE) << i;
    }
    EXPECT_EQ(ApiBuildColorFormat(nullptr, 16, 0xF800, 0x07E0, 0x1F, 0), -1);
    EXPECT_EQ(ApiBuildDDPixelFormat(nullptr, 16, 0xF800, 0x07E0, 0x1F, 0), -1);
}

TEST(FormatEntries, TheyTakeNoFrameworkLock) {
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> result{-5};
    EnterFrameworkLock();
    std::thread other([&] {
        ColorFormatDesc desc{};
        std::uint8_t block[32];
        result = ApiBuildColorFormat(&desc, 16, 0xF800, 0x07E0, 0x1F, 0) +
                 ApiBuildDDPixelFormat(block, 16, 0xF800, 0x07E0, 0x1F, 0);
        SetEvent(done);
    });
    // Taking the lock would wait for this thread to leave it; the time limit
    // only keeps a wrong build from hanging the run.
    const DWORD waited = WaitForSingleObject(done, 30000);
    LeaveFrameworkLock();
    other.join();
    CloseHandle(done);
    EXPECT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_EQ(result, 0);
}

}  // namespace
