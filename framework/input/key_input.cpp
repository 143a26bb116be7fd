// Key-input strings: the 20 records, making and releasing them, and the
// editing of the active one from the character ring.
#include <algorithm>
#include <cstring>

#include "core/core_hooks.h"
#include "core/log.h"
#include "core/memory.h"
#include "input/char_input.h"
#include "platform/kernel.h"

KeyInputRecord g_KeyInputRecords[kKeyInputSlotCount]{};
KeyInputState g_KeyInputState{};

namespace {

// ---- editing one string ----
// The string is always whole characters: every change below moves by whole
// characters, and boundaries are found by walking from the start, since a
// trail byte can take the values of a lead byte.

int CharBytesAt(const KeyInputRecord& r, int at) {
    return IsCharLeadByte(static_cast<std::uint8_t>(r.buffer[at])) && at + 1 < r.length ? 2 : 1;
}

int PreviousCharStart(const KeyInputRecord& r, int at) {
    int start = 0;
    for (int p = 0; p < at; p += CharBytesAt(r, p)) start = p;
    return start;
}

void RemoveBytes(KeyInputRecord& r, int at, int count) {
    std::memmove(r.buffer + at, r.buffer + at + count, static_cast<std::size_t>(r.length - at - count + 1));
    r.length -= count;
}

void InsertBytes(KeyInputRecord& r, int at, const std::uint8_t* bytes, int count) {
    std::memmove(r.buffer + at + count, r.buffer + at, static_cast<std::size_t>(r.length - at + 1));
    std::memcpy(r.buffer + at, bytes, static_cast<std::size_t>(count));
    r.length += count;
}

// The editing codes; false for a code that goes in like a character.
bool EditKey(KeyInputRecord& r, int code) {
    switch (code) {
        case kCharBackspace:
            if (r.cursor > 0) {
                const int start = PreviousCharStart(r, r.cursor);
                RemoveBytes(r, start, r.cursor - start);
                r.cursor = start;
            }
            return true;
        case kCharTab:
        case kCharUp:
        case kCharDown: return true;
        case kCharReturn: r.endFlag = 1; return true;
        case kCharDelete:
            if (r.cursor < r.length) RemoveBytes(r, r.cursor, CharBytesAt(r, r.cursor));
            return true;
        case kCharEscape:
            if (r.cancelAllowed) r.cancelled = r.endFlag = 1;
            return true;
        case kCharRight:
            if (r.cursor < r.length) r.cursor += CharBytesAt(r, r.cursor);
            return true;
        case kCharLeft:
            if (r.cursor > 0) r.cursor = PreviousCharStart(r, r.cursor);
            return true;
        default: return false;
    }
}

void TypeChar(KeyInputRecord& r, const std::uint8_t* bytes, int count) {
    // A zero byte would end the string early and leave its length wrong.
    if (count == 1 && bytes[0] == 0) return;
    if (r.numbersOnly) {
        const bool digit = count == 1 && bytes[0] >= '0' && bytes[0] <= '9';
        const bool sign = count == 1 && bytes[0] == '-' && r.cursor == 0;
        if (!digit && !sign) return;
    }
    if (r.singleByteOnly && count == 2) return;
    // A character that cannot fit even into an empty string is dropped;
    // otherwise characters go from the end until it fits.
    if (count > r.maxLength) return;
    while (r.length + count > r.maxLength) {
        RemoveBytes(r, PreviousCharStart(r, r.length), r.length - PreviousCharStart(r, r.length));
        r.cursor = std::min(r.cursor, r.length);
    }
    InsertBytes(r, r.cursor, bytes, count);
    r.cursor += count;
}

int FindFreeSlot() {
    for (int slot = 0; slot < kKeyInputSlotCount; ++slot)
        if (!g_KeyInputRecords[slot].inUse) return slot;
    return -1;
}

}  // namespace

int InitCharCodeBuffer() {
    WriteLogText("文字コードバッファの初期化を行います... ");
    g_CharCodeBuffer = CharCodeBuffer{};
    std::memset(g_KeyInputRecords, 0, sizeof g_KeyInputRecords);
    g_KeyInputState = KeyInputState{};
    g_ImeControl = ImeControlState{};
    KeyInputState& st = g_KeyInputState;
    st.activeHandle = kNoHandle;
    st.secondHandle = kNoHandle;
    static constexpr int kColors[kKeyInputColorCount][3] = {
        {255, 255, 255}, {255, 255, 0}, {255, 255, 255}, {0, 255, 255}, {255, 255, 255},
        {255, 0, 0},     {255, 255, 20}, {0, 0, 0},      {0, 0, 0},
    };
    for (int i = 0; i < kKeyInputColorCount; ++i)
        st.colors[i] = g_CoreHooks.MakeColorCode(kColors[i][0], kColors[i][1], kColors[i][2]);
    st.cursorBlinkPeriod = 500;
    st.cursorVisible = 1;
    WriteLogText("完了しました\n");
    return 0;
}

HandleId MakeKeyInputHandle(int maxLength, int cancelAllowed, int singleByteOnly, int numbersOnly) {
    if (maxLength < 1) return kNoHandle;
    const int slot = FindFreeSlot();
    if (slot < 0) return kNoHandle;
    char* buffer = static_cast<char*>(KV_ALLOC(static_cast<std::size_t>(maxLength) + 1));
    if (buffer == nullptr) return kNoHandle;
    buffer[0] = '\0';
    KeyInputRecord& r = g_KeyInputRecords[slot];
    r = KeyInputRecord{};
    r.inUse = 1;
    r.checkNumber = g_KeyInputState.checkCounter.Take();
    r.maxLength = maxLength;
    r.buffer = buffer;
    r.cancelAllowed = cancelAllowed != 0;
    r.singleByteOnly = singleByteOnly != 0;
    r.numbersOnly = numbersOnly != 0;
    const HandleId handle = MakeHandleId(kHandleTypeKeyInput, r.checkNumber, slot);
    g_KeyInputState.activeHandle = handle;
    SetImeEnabled(1);
    return handle;
}

KeyInputRecord* LookupKeyInput(HandleId handle) {
    const int slot = HandleSlotFor(handle, kHandleTypeKeyInput, kKeyInputSlotCount);
    if (slot < 0) return nullptr;
    KeyInputRecord* r = &g_KeyInputRecords[slot];
    return r->inUse && HandleCheckMatches(handle, r->checkNumber) ? r : nullptr;
}

int CheckKeyInputHandle(HandleId handle) {
    const KeyInputRecord* r = LookupKeyInput(handle);
    if (r == nullptr) return -1;
    return r->cancelled ? 2 : r->endFlag ? 1 : 0;
}

int GetKeyInputString(HandleId handle, char* buffer, int size) {
    const KeyInputRecord* r = LookupKeyInput(handle);
    if (r == nullptr || buffer == nullptr || size < 1) return -1;
    int n = 0;
    while (n < r->length && n + CharBytesAt(*r, n) <= size - 1) n += CharBytesAt(*r, n);
    std::memcpy(buffer, r->buffer, static_cast<std::size_t>(n));
    buffer[n] = '\0';
    return 0;
}

int ProcessKeyInput() {
    RunImeRestoreSteps();
    KeyInputState& st = g_KeyInputState;
    if (st.activeHandle == kNoHandle) return 0;
    KeyInputRecord* r = LookupKeyInput(st.activeHandle);
    if (r == nullptr) return -1;
    std::uint8_t bytes[2];
    int count = 0;
    while (!r->endFlag && (count = PopCharCode(bytes, 1)) > 0) {
        st.lastTypedTime = timeGetTime();
        st.cursorVisible = 1;
        if (count == 1 && bytes[0] >= 8 && bytes[0] <= 31 && EditKey(*r, bytes[0])) continue;
        TypeChar(*r, bytes, count);
    }
    return 0;
}

int ReleaseKeyInputHandle(HandleId handle) {
    KeyInputRecord* r = LookupKeyInput(handle);
    if (r == nullptr) return -1;
    KV_FREE(r->buffer);
    *r = KeyInputRecord{};
    if (g_KeyInputState.activeHandle == handle) g_KeyInputState.activeHandle = kNoHandle;
    if (std::none_of(std::begin(g_KeyInputRecords), std::end(g_KeyInputRecords),
                     [](const KeyInputRecord& k) { return k.inUse != 0; }))
        SetImeEnabled(0);
    return 0;
}

int ReleaseAllKeyInputHandles() {
    for (int slot = 0; slot < kKeyInputSlotCount; ++slot)
        if (g_KeyInputRecords[slot].inUse)
            ReleaseKeyInputHandle(MakeHandleId(kHandleTypeKeyInput, g_KeyInputRecords[slot].checkNumber, slot));
    g_KeyInputState.activeHandle = kNoHandle;
    return 0;
}
