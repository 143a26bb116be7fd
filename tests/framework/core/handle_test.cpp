// The handle scheme every framework table shares: the bits of a handle, the
// validity test, the check counter and the slot bookkeeping of a table.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/handle.h"

namespace {

struct TestRecord {
    std::uint32_t checkNumber;
    int value;
};

constexpr std::uint32_t kTestType = kHandleTypeSound;
using SmallTable = HandleTable<TestRecord, kTestType, 8>;

TEST(HandleBits, HandleHoldsTypeCheckNumberAndSlot) {
    EXPECT_EQ(MakeHandleId(kHandleTypeGraph, 0, 0), 0x08000000);
    EXPECT_EQ(MakeHandleId(kHandleTypeGraph, 1, 1), 0x08010001);
    EXPECT_EQ(MakeHandleId(kHandleTypeSurfaceData, 2047, 65535), 0x3FFFFFFF);
    // Check numbers beyond 11 bits never reach the type bits.
    EXPECT_EQ(MakeHandleId(kHandleTypeGraph, 2048 + 5, 3), MakeHandleId(kHandleTypeGraph, 5, 3));
    EXPECT_EQ(HandleCheckNumber(0x0BFF0012), 0x3FFu);
}

TEST(HandleBits, ValidityRefusesNegativeForeignAndOutOfRangeValues) {
    EXPECT_EQ(HandleSlotFor(0x08000005, kHandleTypeGraph, kGraphSlotCount), 5);
    EXPECT_EQ(HandleSlotFor(-1, kHandleTypeGraph, kGraphSlotCount), -1);
    EXPECT_EQ(HandleSlotFor(-2, kHandleTypeGraph, kGraphSlotCount), -1);
    EXPECT_EQ(HandleSlotFor(-4, kHandleTypeGraph, kGraphSlotCount), -1);
    // Bit 31 set over a graphic's bits: still negative, still refused.
    EXPECT_EQ(HandleSlotFor(static_cast<HandleId>(0x88000005u), kHandleTypeGraph, kGraphSlotCount), -1);
    EXPECT_EQ(HandleSlotFor(0x10000005, kHandleTypeGraph, kGraphSlotCount), -1);  // a sound
    EXPECT_EQ(HandleSlotFor(0x08008000, kHandleTypeGraph, kGraphSlotCount), -1);  // slot 32768
    EXPECT_EQ(HandleSlotFor(0x20000027, kHandleTypeFont, kFontSlotCount), 39);
    EXPECT_EQ(HandleSlotFor(0x20000028, kHandleTypeFont, kFontSlotCount), -1);

    EXPECT_TRUE(HandleCheckMatches(0x08050001, 5));
    EXPECT_FALSE(HandleCheckMatches(0x08050001, 6));
    // A record word with stray high bits never matches.
    EXPECT_FALSE(HandleCheckMatches(0x08050001, 5 + 2048));
}

TEST(HandleCheckCounter, RunsFromZeroTo2047ThenStartsAgain) {
    HandleCheckCounter counter;
    for (std::uint32_t expected = 0; expected < 2048; ++expected) ASSERT_EQ(counter.Take(), expected);
    EXPECT_EQ(counter.Take(), 0u);
    EXPECT_EQ(counter.Take(), 1u);
    counter.Reset();
    EXPECT_EQ(counter.Peek(), 0u);
}

class HandleTableTest : public ::testing::Test {
protected:
    HandleId Add(int value) {
        records_.push_back(std::make_unique<TestRecord>(TestRecord{0, value}));
        const int slot = table_.ChooseSlot();
        if (slot < 0) return kNoHandle;
        return table_.Insert(slot, records_.back().get(), table_.Counter().Take());
    }

    std::vector<std::unique_ptr<TestRecord>> records_;
    SmallTable table_;
};

TEST_F(HandleTableTest, LookupAppliesEveryStepOfTheValidityTest) {
    const HandleId first = Add(10);
    const HandleId second = Add(20);
    EXPECT_EQ(first, MakeHandleId(kTestType, 0, 0));
    EXPECT_EQ(second, MakeHandleId(kTestType, 1, 1));
    ASSERT_NE(table_.Lookup(second), nullptr);
    EXPECT_EQ(table_.Lookup(second)->value, 20);

    EXPECT_EQ(table_.Lookup(MakeHandleId(kHandleTypeGraph, 1, 1)), nullptr);  // wrong type
    EXPECT_EQ(table_.Lookup(MakeHandleId(kTestType, 1, 2)), nullptr);         // empty slot
    EXPECT_EQ(table_.Lookup(MakeHandleId(kTestType, 1, 8)), nullptr);         // beyond the table
    EXPECT_EQ(table_.Lookup(MakeHandleId(kTestType, 2, 1)), nullptr);         // other check number
    EXPECT_EQ(table_.Lookup(-1), nullptr);
}

TEST_F(HandleTableTest, InsertRefusesFilledOrOutOfRangeSlotsAndHandleAtRebuilds) {
    TestRecord extra{0, 7};
    Add(1);
    EXPECT_EQ(table_.Insert(0, &extra, 3), kNoHandle);
    EXPECT_EQ(table_.Insert(8, &extra, 3), kNoHandle);
    EXPECT_EQ(table_.Insert(-1, &extra, 3), kNoHandle);
    // A table that re-creates a record under its old handle passes that check number.
    const HandleId kept = table_.Insert(6, &extra, 1234);
    EXPECT_EQ(kept, MakeHandleId(kTestType, 1234, 6));
    EXPECT_EQ(table_.HandleAt(6), kept);
    EXPECT_EQ(table_.HandleAt(5), kNoHandle);
    EXPECT_EQ(table_.Count(), 2);
    EXPECT_EQ(table_.UsedEnd(), 7);
}

}  // namespace
