// Character input: the ring of typed bytes that the window procedure fills
// (CharCodeBuffer), the key-input strings edited from it, one active at a
// time, and the IME switched on while key-input strings exist.
//
// Strings are Shift-JIS (or, on a Korean system, the Korean code page): a
// lead byte and the byte after it are one character, and nothing here ever
// splits one.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "platform/types.h"

// ---- the character ring ------------------------------------------------------------------

// 1025 bytes, 1024 of them usable: empty when the positions are equal, full
// when the write position is one behind the read position.
constexpr int kCharCodeBufferSize = 1025;
struct CharCodeBuffer {
    std::uint8_t bytes[kCharCodeBufferSize];
    std::uint32_t readPosition;
    std::uint32_t writePosition;
    // Besides the ring: a double-byte character goes in whole or not at all.
    int trailExpected;  // the last byte stored was a lead byte
    int trailDropped;   // a lead byte found no room; its trail byte is dropped too
};
extern CharCodeBuffer g_CharCodeBuffer;

// The codes of the editing keys. The window procedure pushes the five of
// the control-code table for their keys; backspace, tab, return and escape
// come as characters.
constexpr int kCharBackspace = 8;
constexpr int kCharTab = 9;
constexpr int kCharReturn = 13;
constexpr int kCharDelete = 0x10;
constexpr int kCharEscape = 27;
constexpr int kCharRight = 0x1C;
constexpr int kCharLeft = 0x1D;
constexpr int kCharUp = 0x1E;
constexpr int kCharDown = 0x1F;

// The control-code table: virtual key, then code; ended by a zero pair.
struct ControlCodeEntry {
    std::uint8_t virtualKey;
    std::uint8_t code;
};
extern const ControlCodeEntry kControlCodeTable[6];

// At framework start-up: an empty ring, no key-input handles, the colours
// and defaults. 0.
int InitCharCodeBuffer();
// 0, or -1 when the byte was dropped: the ring is full, or the byte is a lead
// byte without room for its trail byte, or the trail of a dropped lead byte.
int PushCharCode(int byte);
// Takes one character into out[0..1]; the bytes it has (0 when the ring is
// empty or holds a lead byte still waiting for its trail byte). With
// `remove` 0 the character stays in the ring.
int PopCharCode(std::uint8_t out[2], int remove);
// 1 for the five codes of the control-code table, else 0.
int IsKeyControlCode(int code);
// 1 when the byte starts a double-byte character of the system's code page.
int IsCharLeadByte(std::uint8_t byte);
// Characters in the first `bytes` bytes of the string (a double-byte
// character counts once; the count stops at the terminator).
int CountStringChars(const char* string, int bytes);

// ---- key-input strings -------------------------------------------------------------------

struct KeyInputRecord {
    int inUse;
    std::uint32_t checkNumber;
    int endFlag;        // editing finished (return, or a cancel)
    int cancelled;
    int length;         // bytes
    int maxLength;      // bytes
    int cursor;         // bytes from the start
    char* buffer;       // maxLength + 1 bytes, tracked memory, terminated
    int cancelAllowed;
    int singleByteOnly;
    int numbersOnly;
};
extern KeyInputRecord g_KeyInputRecords[kKeyInputSlotCount];

// The nine colours key-input strings are drawn with.
enum KeyInputColor {
    kKeyInputColorText,           // the string
    kKeyInputColorCursor,         // the cursor
    kKeyInputColorImeText,        // the composition
    kKeyInputColorImeUnderline,   // the line under the composition
    kKeyInputColorImeCursor,      // the cursor within the composition
    kKeyInputColorCandidateMark,  // candidate lists (the platform offers none)
    kKeyInputColorCandidateText,
    kKeyInputColorTextEdge,       // the string's edge, for edged fonts
    kKeyInputColorImeEdge,        // the composition's edge
    kKeyInputColorCount
};

struct KeyInputState {
    HandleId activeHandle;  // -1: none
    HandleId secondHandle;  // -1; kept, unused
    std::uint32_t colors[kKeyInputColorCount];
    DWORD lastTypedTime;    // ms
    DWORD cursorBlinkPeriod;
    int cursorVisible;
    HandleCheckCounter checkCounter;
};
extern KeyInputState g_KeyInputState;

// A key-input string of at most `maxLength` bytes (1 or more), made active,
// with the IME switched on. The handle, or -1.
HandleId MakeKeyInputHandle(int maxLength, int cancelAllowed, int singleByteOnly, int numbersOnly);
// The record of a valid handle, or null.
KeyInputRecord* LookupKeyInput(HandleId handle);
// 0 while editing, 1 once ended by return, 2 once cancelled; -1 for a bad
// handle.
int CheckKeyInputHandle(HandleId handle);
// Copies the string and its terminator, cut (never inside a character) to
// fit `size` bytes. 0 or -1.
int GetKeyInputString(HandleId handle, char* buffer, int size);
// Once per pass of message processing: the IME restore steps, then every
// character waiting in the ring into the active key-input string. 0, or -1
// for a bad active handle.
int ProcessKeyInput();
int ReleaseKeyInputHandle(HandleId handle);
int ReleaseAllKeyInputHandles();

// ---- the IME ----------------------------------------------------------------------------

struct ImeControlState {
    int enabled;
    int restoreStep;  // 0 none; 1 to 4 the steps below
    char savedComposition[1024];
};
extern ImeControlState g_ImeControl;

// Switches the IME of the main window on or off; off also drops the
// candidate list and the composition. 0.
int SetImeEnabled(int flag);
// When the active key-input string had the IME open, asks for it to be
// opened again (on activation). 0.
int FlagImeReopen();
// The restore steps: save and cancel the composition, close the IME, open
// it, put the saved composition back (ProcessKeyInput's first step).
void RunImeRestoreSteps();
