// Handles of the framework's tables. Every object a caller keeps (graphic,
// sound, font, movie, ...) is a `HandleId`: bit 31 is always 0, bits 27-30
// name the table, bits 16-26 hold an 11-bit check number and bits 0-15 the
// slot. The check number is copied into the record's first word, so a handle
// kept after its record was released (or its slot reused) is refused.
#pragma once

#include <array>
#include <concepts>
#include <cstdint>

using HandleId = std::int32_t;

constexpr std::uint32_t kHandleTypeBits = 0x78000000u;
constexpr std::uint32_t kHandleCheckBits = 0x07FF0000u;
constexpr std::uint32_t kHandleSlotBits = 0x0000FFFFu;
constexpr int kHandleCheckShift = 16;
// Check numbers run 0..2047, then start again at 0.
constexpr std::uint32_t kHandleCheckNumberCount = 2048;

// The type code of each table.
constexpr std::uint32_t kHandleTypeGraph = 0x08000000u;
constexpr std::uint32_t kHandleTypeSound = 0x10000000u;
constexpr std::uint32_t kHandleTypeMovie = 0x18000000u;
constexpr std::uint32_t kHandleTypeFont = 0x20000000u;
constexpr std::uint32_t kHandleTypeSurface2D = 0x28000000u;
constexpr std::uint32_t kHandleTypeSurface3DData = 0x30000000u;
constexpr std::uint32_t kHandleTypeSurfaceData = 0x38000000u;
constexpr std::uint32_t kHandleTypeMask = 0x40000000u;
constexpr std::uint32_t kHandleTypeNetwork = 0x48000000u;
constexpr std::uint32_t kHandleTypeKeyInput = 0x50000000u;
constexpr std::uint32_t kHandleTypeMidi = 0x58000000u;

// Slots of each table.
constexpr int kGraphSlotCount = 32768;
constexpr int kSoundSlotCount = 4096;
constexpr int kMovieSlotCount = 100;
constexpr int kFontSlotCount = 40;
constexpr int kSurface2DSlotCount = 32768;
constexpr int kSurface3DDataSlotCount = 65536;
constexpr int kSurfaceDataSlotCount = 65536;
constexpr int kMaskSlotCount = 512;
constexpr int kKeyInputSlotCount = 20;
constexpr int kMidiSlotCount = 256;

// "None" and the two screens as draw targets; never valid handles.
constexpr HandleId kNoHandle = -1;
constexpr HandleId kBackScreenTarget = -2;
constexpr HandleId kFrontScreenTarget = -4;

constexpr HandleId MakeHandleId(std::uint32_t type, std::uint32_t checkNumber, int slot) {
    return static_cast<HandleId>((type & kHandleTypeBits) |
                                 ((checkNumber << kHandleCheckShift) & kHandleCheckBits) |
                                 (static_cast<std::uint32_t>(slot) & kHandleSlotBits));
}

constexpr std::uint32_t HandleCheckNumber(HandleId handle) {
    return (static_cast<std::uint32_t>(handle) & kHandleCheckBits) >> kHandleCheckShift;
}

// The steps of the validity test that need no record: the value is not
// negative, names the table and a slot below its size. The slot, or -1.
constexpr int HandleSlotFor(HandleId handle, std::uint32_t type, int slotCount) {
    if (handle < 0) return -1;
    const std::uint32_t value = static_cast<std::uint32_t>(handle);
    if ((value & kHandleTypeBits) != type) return -1;
    const int slot = static_cast<int>(value & kHandleSlotBits);
    return slot < slotCount ? slot : -1;
}

// The last step: the record's check number, moved into place, equals the
// handle's check bits.
constexpr bool HandleCheckMatches(HandleId handle, std::uint32_t recordCheckNumber) {
    return (recordCheckNumber << kHandleCheckShift) ==
           (static_cast<std::uint32_t>(handle) & kHandleCheckBits);
}

// Each table's counter of check numbers: starts at 0, hands out its value and
// moves on by one, from 2047 back to 0.
class HandleCheckCounter {
public:
    std::uint32_t Take() {
        const std::uint32_t value = next_;
        next_ = (next_ + 1) % kHandleCheckNumberCount;
        return value;
    }
    std::uint32_t Peek() const { return next_; }
    void Reset() { next_ = 0; }

private:
    std::uint32_t next_ = 0;
};

// Records kept in a handle table carry their check number as their first field.
template <typename Record>
concept HandleRecord = requires(Record r) {
    { r.checkNumber } -> std::convertible_to<std::uint32_t>;
};

// A table of record pointers behind one handle type: the slots, the count of
// filled slots, the end of the used area (one past the highest filled slot;
// the first slot tried for a new record) and the check counter. The table
// does not own the records; the table's operations allocate and free them.
template <HandleRecord Record, std::uint32_t TypeCode, int SlotCount>
class HandleTable {
public:
    static constexpr std::uint32_t kType = TypeCode;
    static constexpr int kSlotCount = SlotCount;

    // The full validity test; null for any handle that fails it.
    Record* Lookup(HandleId handle) const {
        const int slot = HandleSlotFor(handle, TypeCode, SlotCount);
        if (slot < 0) return nullptr;
        Record* record = slots_[slot];
        if (record == nullptr || !HandleCheckMatches(handle, record->checkNumber)) return nullptr;
        return record;
    }

    Record* At(int slot) const {
        return slot >= 0 && slot < SlotCount ? slots_[slot] : nullptr;
    }

    // The handle of a filled slot, rebuilt from its record's check number.
    HandleId HandleAt(int slot) const {
        const Record* record = At(slot);
        return record ? MakeHandleId(TypeCode, record->checkNumber, slot) : kNoHandle;
    }

    int Count() const { return count_; }
    int UsedEnd() const { return usedEnd_; }
    bool IsFull() const { return count_ >= SlotCount; }

    // The end of the used area, unless that is the table's size; then the
    // lowest empty slot. -1 when every slot is filled.
    int ChooseSlot() const {
        if (usedEnd_ < SlotCount) return usedEnd_;
        return LowestEmptySlot();
    }

    int LowestEmptySlot() const {
        for (int slot = 0; slot < SlotCount; ++slot) {
            if (slots_[slot] == nullptr) return slot;
        }
        return -1;
    }

    // Puts a record into an empty slot with the given check number (tables
    // that re-create a record under its old handle pass that handle's).
    // Returns the new handle, or -1 when the slot is out of range or filled.
    HandleId Insert(int slot, Record* record, std::uint32_t checkNumber) {
        if (slot < 0 || slot >= SlotCount || slots_[slot] != nullptr || record == nullptr) return kNoHandle;
        record->checkNumber = checkNumber % kHandleCheckNumberCount;
        slots_[slot] = record;
        ++count_;
        if (slot >= usedEnd_) usedEnd_ = slot + 1;
        return MakeHandleId(TypeCode, record->checkNumber, slot);
    }

    // Takes a record out of its slot. When it was the last one of the used
    // area, the end moves down past every empty slot below it.
    Record* Remove(int slot) {
        Record* record = At(slot);
        if (record == nullptr) return nullptr;
        slots_[slot] = nullptr;
        --count_;
        if (slot + 1 == usedEnd_) {
            int end = slot;
            while (end > 0 && slots_[end - 1] == nullptr) --end;
            usedEnd_ = end;
        }
        return record;
    }

    HandleCheckCounter& Counter() { return counter_; }
    const HandleCheckCounter& Counter() const { return counter_; }

    // Forgets every record (the caller frees them first) and the counter.
    void Clear() {
        slots_.fill(nullptr);
        count_ = 0;
        usedEnd_ = 0;
        counter_.Reset();
    }

private:
    std::array<Record*, SlotCount> slots_{};
    int count_ = 0;
    int usedEnd_ = 0;
    HandleCheckCounter counter_;
};
