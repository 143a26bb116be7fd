// The character ring: bytes the window procedure pushes for typed characters
// and editing keys, taken out a character at a time.
#include <cstring>

#include "core/system_state.h"
#include "core/utility.h"
#include "input/char_input.h"

CharCodeBuffer g_CharCodeBuffer{};

const ControlCodeEntry kControlCodeTable[6] = {
    {0x2E, kCharDelete}, {0x25, kCharLeft}, {0x27, kCharRight}, {0x26, kCharUp}, {0x28, kCharDown}, {0, 0},
};

namespace {

std::uint32_t Next(std::uint32_t position) { return position + 1 == kCharCodeBufferSize ? 0 : position + 1; }

int FreeBytes(const CharCodeBuffer& b) {
    const int used = static_cast<int>((b.writePosition + kCharCodeBufferSize - b.readPosition) % kCharCodeBufferSize);
    return kCharCodeBufferSize - 1 - used;
}

void Store(CharCodeBuffer& b, int byte) {
    b.bytes[b.writePosition] = static_cast<std::uint8_t>(byte);
    b.writePosition = Next(b.writePosition);
}

}  // namespace

int IsCharLeadByte(std::uint8_t byte) {
    if (g_SystemState.codePageKind == 2) return byte >= 0x81 && byte <= 0xFE;
    return IsShiftJisLeadByte(byte);
}

int IsKeyControlCode(int code) {
    for (const ControlCodeEntry* e = kControlCodeTable; e->virtualKey != 0; ++e)
        if (e->code == code) return 1;
    return 0;
}

// A lead byte is stored only with room for its trail byte behind it, so a
// full ring never leaves half a character that the next byte typed would
// complete.
int PushCharCode(int byte) {
    CharCodeBuffer& b = g_CharCodeBuffer;
    byte &= 0xFF;
    if (b.trailDropped) {
        b.trailDropped = 0;
        return -1;
    }
    if (b.trailExpected) {
        b.trailExpected = 0;
        Store(b, byte);
        return 0;
    }
    const bool lead = !IsKeyControlCode(byte) && IsCharLeadByte(static_cast<std::uint8_t>(byte));
    if (FreeBytes(b) < (lead ? 2 : 1)) {
        if (lead) b.trailDropped = 1;
        return -1;
    }
    Store(b, byte);
    if (lead) b.trailExpected = 1;
    return 0;
}

int PopCharCode(std::uint8_t out[2], int remove) {
    CharCodeBuffer& b = g_CharCodeBuffer;
    out[0] = out[1] = 0;
    if (b.readPosition == b.writePosition) return 0;
    const std::uint32_t start = b.readPosition;
    std::uint32_t at = start;
    out[0] = b.bytes[at];
    at = Next(at);
    int count = 1;
    if (!IsKeyControlCode(out[0]) && IsCharLeadByte(out[0])) {
        if (at == b.writePosition) {  // the lead byte waits for its trail byte
            out[0] = 0;
            return 0;
        }
        out[1] = b.bytes[at];
        at = Next(at);
        count = 2;
    }
    if (remove) b.readPosition = at;
    return count;
}

int CountStringChars(const char* string, int bytes) {
    if (string == nullptr) return 0;
    int chars = 0;
    for (int at = 0; at < bytes && string[at] != '\0'; ++chars)
        at += IsCharLeadByte(static_cast<std::uint8_t>(string[at])) && string[at + 1] != '\0' ? 2 : 1;
    return chars;
}
