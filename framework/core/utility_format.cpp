// printf-style formatting into fixed buffers. The buffers are bounded: a text
// that does not fit is cut, but never between the two bytes of a Shift-JIS
// character, so a cut text still reads and converts cleanly.
#include <cstdio>
#include <cstring>

#include "core/utility.h"

std::size_t ShiftJisPrefixLength(const char* text, std::size_t limit) {
    std::size_t i = 0;
    while (i < limit && text[i] != '\0') {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsShiftJisLeadByte(c)) {
            if (i + 2 > limit) break;  // the pair would be split: stop before it
            i += text[i + 1] == '\0' ? 1 : 2;
        } else {
            i += 1;
        }
    }
    return i;
}

int FormatStringV(char* buffer, std::size_t bufferSize, const char* format, va_list args) {
    if (buffer == nullptr || bufferSize == 0) return -1;
    if (format == nullptr) {
        buffer[0] = '\0';
        return -1;
    }
    // Copied as it is while no directive shows (most texts drawn have
    // none, and are short): as vsnprintf would copy it, without its parsing.
    // A directive past the cut changes nothing kept.
    std::size_t n = 0;
    while (n < bufferSize - 1 && format[n] != '\0' && format[n] != '%') {
        buffer[n] = format[n];
        ++n;
    }
    if (format[n] == '\0') {
        buffer[n] = '\0';
        return static_cast<int>(n);
    }
    if (n == bufferSize - 1) {
        buffer[n] = '\0';
    } else {
        const int full = std::vsnprintf(buffer, bufferSize, format, args);
        if (full < 0) {
            buffer[0] = '\0';
            return -1;
        }
        if (static_cast<std::size_t>(full) < bufferSize) return full;
    }
    // Cut: bufferSize - 1 bytes were kept; drop a dangling lead byte.
    std::size_t kept = ShiftJisPrefixLength(buffer, bufferSize - 1);
    buffer[kept] = '\0';
    return static_cast<int>(kept);
}

int FormatString(char* buffer, std::size_t bufferSize, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = FormatStringV(buffer, bufferSize, format, args);
    va_end(args);
    return length < 0 ? -1 : 0;
}
