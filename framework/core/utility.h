// The framework's own small routines for strings, memory blocks and numbers,
// and its printf-style formatting.
//
// Strings are zero-terminated Shift-JIS: wherever a routine scans or changes
// characters, a lead byte (0x81-0x9F, 0xE0-0xFC) and the byte after it are one
// character and are never changed or matched.
#pragma once

#include <cstdarg>
#include <cstddef>

constexpr bool IsShiftJisLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// ---- strings -----------------------------------------------------------------
void StringCopy(char* dest, const char* src);
void StringAppend(char* dest, const char* src);
// The first single-byte character equal to `byte`; two-byte characters are
// skipped whole, so the trail byte of one is never found. Null when none.
const char* StringFindChar(const char* string, int byte);
char* StringFindChar(char* string, int byte);
int StringCompare(const char* a, const char* b);  // 0 when equal, else 1
void StringToUpper(char* string);                  // 'a'-'z' only

// ---- memory blocks -----------------------------------------------------------
// 0 when `count` bytes are equal; a count of 0 is equal, a negative one differs.
int CompareBytes(const void* a, const void* b, int count);
void MemoryFill(void* dest, int byte, std::size_t count);
int MemoryCompare(const void* a, const void* b, std::size_t count);  // 0 when equal, else 1
void MemoryCopy(void* dest, const void* src, std::size_t count);
void MemoryMove(void* dest, const void* src, std::size_t count);    // regions may overlap

// ---- numbers -----------------------------------------------------------------
void SinCosFloat(float angle, float* sine, float* cosine);
int AbsInt(int value);  // the most negative value stays as it is
double AbsFloat(float value);
// Truncation toward zero. A value outside the 32-bit range (or NaN) gives
// INT_MIN, the processor's "integer indefinite" value.
int FloatToInt(float value);
int DoubleToInt(double value);
void DoubleRectToInt(double x1, double y1, double x2, double y2, int* outX1, int* outY1, int* outX2,
                     int* outY2);
float SqrtFloat(float value);

// Skips to the first digit or '-' (-1 when the string ends first); a '-'
// negates; the digits that follow are read with 32-bit wrap-around.
int StringToInt(const char* string);
// Digits 0-9 then 'a'-'z'. A radix outside 2-36 gives an empty string. The
// buffer must hold 34 bytes for radix 2 (sign, 32 digits, terminator).
char* IntToString(int value, char* buffer, int radix);

// ---- formatting --------------------------------------------------------------
// printf rules into a buffer of `bufferSize` bytes. A text that does not fit
// is cut so that it ends with its terminator inside the buffer, never in the
// middle of a two-byte character. Returns the length stored, or -1 (and an
// empty buffer) when the format cannot be applied.
int FormatStringV(char* buffer, std::size_t bufferSize, const char* format, va_list args);
int FormatString(char* buffer, std::size_t bufferSize, const char* format, ...)
    __attribute__((format(printf, 3, 4)));  // 0, or -1 as above

// The length of the longest prefix of `text` that is at most `limit` bytes and
// does not end between the two bytes of a character.
std::size_t ShiftJisPrefixLength(const char* text, std::size_t limit);
