// String routines and number-text conversions. Two-byte Shift-JIS characters
// are stepped over whole, so their trail bytes (which may look like a backslash or a
// letter, or like another lead byte) are never matched or changed.
#include <cstdint>

#include "core/utility.h"

void StringCopy(char* dest, const char* src) {
    while ((*dest++ = *src++) != '\0') {
    }
}

void StringAppend(char* dest, const char* src) {
    while (*dest != '\0') ++dest;
    StringCopy(dest, src);
}

const char* StringFindChar(const char* string, int byte) {
    if (string == nullptr) return nullptr;
    const char wanted = static_cast<char>(byte);
    for (const char* p = string; *p != '\0';) {
        if (IsShiftJisLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') {
            p += 2;
            continue;
        }
        if (*p == wanted) return p;
        ++p;
    }
    return nullptr;
}

char* StringFindChar(char* string, int byte) {
    return const_cast<char*>(StringFindChar(static_cast<const char*>(string), byte));
}

int StringCompare(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (*a != *b) return 1;
        if (*a == '\0') return 0;
    }
}

void StringToUpper(char* string) {
    for (char* p = string; *p != '\0';) {
        if (IsShiftJisLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') {
            p += 2;
            continue;
        }
        if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
        ++p;
    }
}

int StringToInt(const char* string) {
    if (string == nullptr) return -1;
    const char* p = string;
    while (*p != '\0' && *p != '-' && (*p < '0' || *p > '9')) ++p;
    if (*p == '\0') return -1;
    bool negative = *p == '-';
    if (negative) ++p;
    // 32-bit arithmetic: an over-long run of digits wraps as it always did.
    std::uint32_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<std::uint32_t>(*p - '0');
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

char* IntToString(int value, char* buffer, int radix) {
    if (buffer == nullptr) return buffer;
    if (radix < 2 || radix > 36) {
        buffer[0] = '\0';
        return buffer;
    }
    // The magnitude is taken unsigned, so the most negative value converts too.
    std::uint32_t magnitude = static_cast<std::uint32_t>(value);
    char* out = buffer;
    if (value < 0) {
        *out++ = '-';
        magnitude = 0u - magnitude;
    }
    char digits[32];
    int count = 0;
    do {
        std::uint32_t d = magnitude % static_cast<std::uint32_t>(radix);
        digits[count++] = static_cast<char>(d < 10 ? '0' + d : 'a' + (d - 10));
        magnitude /= static_cast<std::uint32_t>(radix);
    } while (magnitude != 0);
    while (count > 0) *out++ = digits[--count];
    *out = '\0';
    return buffer;
}
