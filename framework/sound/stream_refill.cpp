// Stream sounds at play: the ring's owner, start, halt, priming, and the
// refill on every pass that keeps three to four seconds written ahead of the
// play cursor.
#include <algorithm>
#include <cstring>

#include "core/system_state.h"
#include "platform/kernel.h"
#include "sound/sound.h"
#include "sound/stream_sound.h"
#include "window/window.h"

namespace {

constexpr int kAheadTarget = 384;  // 3 s in 1/128 s
// Entries that give no data at all, this many times in a row within one
// fill, end the sound rather than loop on nothing for ever.
constexpr int kEmptyAdvancesPerEntry = 2;

// The sound whose record holds the ring this sound plays through.
SoundData* RingOwnerRecord(SoundData* sound) {
    return sound->stream.sharedBuffer == kNoHandle ? sound : LookupSound(sound->stream.sharedBuffer);
}

PcmBuffer* RingOf(SoundData* sound) {
    SoundData* record = RingOwnerRecord(sound);
    return record != nullptr && record->buffers[0].valid ? &record->buffers[0] : nullptr;
}

std::uint32_t Whole(std::int64_t bytes, int block) {
    return static_cast<std::uint32_t>(bytes - bytes % block);
}

std::uint32_t Cursor(PcmBuffer* ring) {
    std::uint32_t position = 0;
    GetPcmBufferPosition(ring, &position);
    return position;
}

bool Playing(PcmBuffer* ring) {
    DWORD status = 0;
    return GetPcmBufferStatus(ring, &status) == 0 && (status & D_DSBSTATUS_PLAYING) != 0;
}

std::uint32_t Distance(std::uint32_t from, std::uint32_t to, std::uint32_t ring) {
    return (to + ring - from) % ring;
}

// Inside the written window, from its start up to the write position.
bool InsideWindow(const StreamSoundState& st, std::uint32_t p) {
    if (st.windowStart < 0 || st.writePosition < 0) return false;
    const auto start = static_cast<std::uint32_t>(st.windowStart);
    const auto end = static_cast<std::uint32_t>(st.writePosition);
    return start <= end ? p >= start && p < end : p >= start || p < end;
}

std::uint8_t SilenceByte(const WAVEFORMATEX& format) { return format.wBitsPerSample == 8 ? 127 : 0; }

void UpdateStreamPlayPosition(StreamSoundState& st, PcmBuffer* ring) {
    const std::uint32_t p = Cursor(ring);
    const std::uint32_t moved = Distance(st.lastCursor, p, st.ringSize);
    // After a wrap to entry 0 in loop play, the count starts again where the
    // list began again.
    if (st.pendingWrap && Distance(st.lastCursor, st.wrapPoint, st.ringSize) <= moved) {
        st.playedBytes = Distance(st.wrapPoint, p, st.ringSize);
        st.pendingWrap = 0;
    } else {
        st.playedBytes += moved;
    }
    st.lastCursor = p;
}

void SeekEntryStart(StreamSoundState& st, int block) {
    StreamSoundEntry& e = st.entries[st.currentEntry];
    const std::int64_t start = st.passCount > 0 ? e.loopStartSample : 0;
    st.entryStartOffset = start * block;
    SeekSoundConverter(&e.converter, start);
}

// The current entry has run dry: the next pass of it, the next entry, the
// top of the list (loop play) or the end. -1 at the end. `ringPosition` is
// where the data written so far ends in the ring.
int AdvanceStreamEntry(SoundData* sound, PcmBuffer* ring, std::uint32_t ringPosition) {
    StreamSoundState& st = sound->stream;
    ++st.passCount;
    const StreamSoundEntry& e = st.entries[st.currentEntry];
    // The count is a signed byte: 128 to 254 play once, like 0; 255 for ever.
    if (e.loopCount != 255 && st.passCount > static_cast<std::int8_t>(e.loopCount)) {
        st.passCount = 0;
        ++st.currentEntry;
    }
    if (st.currentEntry >= st.entryCount) {
        st.endOfList = 1;
        if (st.playType == kPlayTypeLoop) {
            st.wrapPoint = ringPosition;
            st.pendingWrap = 1;
            st.currentEntry = 0;
        } else {
            st.currentEntry = st.entryCount - 1;
            st.ended = 1;
            st.endPosition = ringPosition;
            st.cursorAtEnd = Cursor(ring);
            return -1;
        }
    }
    SeekEntryStart(st, sound->format.nBlockAlign);
    return 0;
}

// Fills one part of a locked region from the entries; what the data does
// not fill (it ended) becomes silence, to the end of the part.
void FillPart(SoundData* sound, PcmBuffer* ring, unsigned char* out, std::uint32_t size, std::uint32_t ringStart,
              int* emptyAdvances) {
    StreamSoundState& st = sound->stream;
    std::uint32_t filled = 0;
    while (filled < size && !st.ended) {
        const std::int64_t got = ReadConvertedPcm(&st.entries[st.currentEntry].converter, out + filled, size - filled);
        if (got > 0) {
            filled += static_cast<std::uint32_t>(got);
            st.bytesWritten += got;
            *emptyAdvances = 0;
            continue;
        }
        if (++*emptyAdvances > kEmptyAdvancesPerEntry * st.entryCount + 1) {
            // Nothing comes out of any entry: end here.
            st.ended = 1;
            st.endPosition = (ringStart + filled) % st.ringSize;
            st.cursorAtEnd = Cursor(ring);
            break;
        }
        if (AdvanceStreamEntry(sound, ring, (ringStart + filled) % st.ringSize) != 0) break;
    }
    if (filled < size) std::memset(out + filled, SilenceByte(sound->format), size - filled);
}

// Writes `size` bytes at `offset`: data while there is some, silence after.
void WriteRing(SoundData* sound, PcmBuffer* ring, std::uint32_t offset, std::uint32_t size, bool silenceOnly) {
    void* part1 = nullptr;
    void* part2 = nullptr;
    std::uint32_t bytes1 = 0;
    std::uint32_t bytes2 = 0;
    if (size == 0 || LockPcmBuffer(ring, offset, size, &part1, &bytes1, &part2, &bytes2) != 0) return;
    const std::uint8_t silence = SilenceByte(sound->format);
    int emptyAdvances = 0;
    if (silenceOnly) {
        std::memset(part1, silence, bytes1);
        if (part2 != nullptr) std::memset(part2, silence, bytes2);
    } else {
        FillPart(sound, ring, static_cast<unsigned char*>(part1), bytes1, offset, &emptyAdvances);
        if (part2 != nullptr) FillPart(sound, ring, static_cast<unsigned char*>(part2), bytes2, 0, &emptyAdvances);
    }
    UnlockPcmBuffer(ring, part1, bytes1, part2, bytes2);
}

void AdvanceWrite(StreamSoundState& st, std::uint32_t size, std::uint32_t fourSeconds) {
    st.writePosition = static_cast<std::int32_t>((static_cast<std::uint32_t>(st.writePosition) + size) % st.ringSize);
    st.windowStart = static_cast<std::int32_t>(
        (static_cast<std::uint32_t>(st.writePosition) + st.ringSize - fourSeconds) % st.ringSize);
}

}  // namespace

bool IsStreamRingPlaying(HandleId handle, SoundData* sound) {
    SoundData* record = RingOwnerRecord(sound);
    PcmBuffer* ring = RingOf(sound);
    return record != nullptr && ring != nullptr && record->stream.owner == handle && Playing(ring);
}

int ClaimStreamBuffer(HandleId handle, int force) {
    SoundData* sound = LookupSound(handle);
    if (sound == nullptr || !sound->isStream) return -1;
    SoundData* record = RingOwnerRecord(sound);
    if (record == nullptr) return -1;
    if (record->stream.owner == kNoHandle || record->stream.owner == handle ||
        LookupSound(record->stream.owner) == nullptr) {
        record->stream.owner = handle;
        return 0;
    }
    if (!force) return -1;
    HaltStreamSound(record->stream.owner);
    record->stream.owner = handle;
    return 0;
}

int HaltStreamSound(HandleId handle) {
    SoundData* sound = LookupSound(handle);
    if (sound == nullptr || !sound->isStream) return -1;
    if (ClaimStreamBuffer(handle, 0) != 0) return 0;  // another sound plays through the ring
    PcmBuffer* ring = RingOf(sound);
    if (ring == nullptr) return -1;
    UpdateStreamPlayPosition(sound->stream, ring);
    if (sound->stream.sharedBuffer != kNoHandle) RingOwnerRecord(sound)->stream.owner = kNoHandle;
    if (Playing(ring)) StopPcmBuffer(ring);
    return 0;
}

int IsStreamSoundPlaying(HandleId handle) {
    SoundData* sound = LookupSound(handle);
    if (sound == nullptr) return -1;
    if (ClaimStreamBuffer(handle, 0) != 0) return 0;
    PcmBuffer* ring = RingOf(sound);
    return ring != nullptr && Playing(ring) ? 1 : 0;
}

int PrimeStreamSound(HandleId handle) {
    SoundData* sound = LookupSound(handle);
    if (sound == nullptr || !sound->isStream || sound->stream.entryCount == 0) return -1;
    StreamSoundState& st = sound->stream;
    if (st.prepared || IsStreamRingPlaying(handle, sound)) return 0;
    PcmBuffer* ring = RingOf(sound);
    if (ring == nullptr) return -1;
    SetPcmBufferPosition(ring, 0);
    st.lastCursor = 0;
    st.writePosition = kStreamNotFilled;
    st.windowStart = -1;
    st.ended = 0;
    SeekEntryStart(st, sound->format.nBlockAlign);
    st.prepared = 1;
    RefillStreamSound(handle);
    return 0;
}

int StartStreamSound(HandleId handle, int playType, int restart) {
    SoundData* sound = LookupSound(handle);
    if (sound == nullptr || !sound->isStream || sound->stream.entryCount == 0) return -1;
    StreamSoundState& st = sound->stream;
    ClaimStreamBuffer(handle, 1);
    if (!restart && IsStreamRingPlaying(handle, sound)) return 0;
    HaltStreamSound(handle);
    if (((playType & 2) != (st.playType & 2) && st.endOfList) || (restart && st.playedBytes > 0)) {
        st.currentEntry = 0;
        st.passCount = 0;
        st.playedBytes = 0;
        st.pendingWrap = 0;
        st.endOfList = 0;
        st.prepared = 0;
    }
    st.playType = playType;
    PrimeStreamSound(handle);
    PcmBuffer* ring = RingOf(sound);
    if (ring == nullptr) return -1;
    PlayPcmBuffer(ring, 1);
    sound->playStartTime = timeGetTime();
    if (playType == kPlayTypeNormal) {
        while (ProcessMessage() == 0 && IsStreamSoundPlaying(handle) == 1) Sleep(1);
    }
    return 0;
}

int RefillStreamSound(HandleId handle) {
    SoundData* sound = LookupSound(handle);
    if (sound == nullptr || !sound->isStream) return -1;
    if (ClaimStreamBuffer(handle, 0) != 0 || !sound->stream.prepared) return -1;
    PcmBuffer* ring = RingOf(sound);
    if (ring == nullptr) return -1;
    StreamSoundState& st = sound->stream;
    UpdateStreamPlayPosition(st, ring);
    const int block = sound->format.nBlockAlign;
    const std::int64_t average = sound->format.nAvgBytesPerSec;
    const std::uint32_t eighth = std::max<std::uint32_t>(Whole(average / 8, block), static_cast<std::uint32_t>(block));
    const std::uint32_t four = Whole(average * 4, block);

    if (!st.ended) {
        if (!Playing(ring)) {
            // Only the first fill writes while the ring stands still.
            if (st.writePosition != kStreamNotFilled) return 0;
            WriteRing(sound, ring, 0, four, false);
            st.windowStart = 0;
            st.writePosition = static_cast<std::int32_t>(four % st.ringSize);
            return 0;
        }
        const std::uint32_t p = Cursor(ring);
        // Outside the window the ring is full: four seconds are written ahead.
        if (!InsideWindow(st, p)) return -1;
        const std::int64_t ahead =
            static_cast<std::int64_t>(Distance(p, static_cast<std::uint32_t>(st.writePosition), st.ringSize)) * 128 /
            average;
        const std::uint32_t size =
            ahead < kAheadTarget ? Whole((kAheadTarget - ahead) * average / 128, block) : eighth;
        WriteRing(sound, ring, static_cast<std::uint32_t>(st.writePosition), size, false);
        AdvanceWrite(st, size, four);
        return 0;
    }

    // The data has ended: stop once the cursor has passed its end; until
    // then keep silence written ahead.
    const std::uint32_t p = Cursor(ring);
    if (Distance(st.cursorAtEnd, p, st.ringSize) >= Distance(st.cursorAtEnd, st.endPosition, st.ringSize)) {
        StopPcmBuffer(ring);
        st.ended = 0;
        return 0;
    }
    if (InsideWindow(st, p)) {
        WriteRing(sound, ring, static_cast<std::uint32_t>(st.writePosition), eighth, true);
        AdvanceWrite(st, eighth, four);
    }
    return 0;
}

int ProcessStreamSounds() {
    if (g_SoundSystem.directSound == nullptr) return -1;
    ListNode* node = g_SoundSystem.streamHead.next;
    while (node != nullptr && node != &g_SoundSystem.streamTail) {
        ListNode* next = node->next;
        RefillStreamSound(node->value);
        node = next;
    }
    return 0;
}
