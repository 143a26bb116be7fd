// Typed text from UTF-8 (SDL's text events, the input script) to Shift-JIS,
// the code page the framework works in, through iconv.
#include <iconv.h>

#include <cstdint>
#include <mutex>

#include "platform/imm.h"

namespace {

// One converter, opened on first use and kept; iconv_t is not safe to share
// between threads, so every use holds the mutex.
std::mutex g_mutex;
iconv_t g_toShiftJis = reinterpret_cast<iconv_t>(-1);

// The code point of the UTF-8 sequence at `at`, moving `at` past it; -1 for a
// broken, overlong or surrogate sequence (then `at` moves one byte).
long DecodeUtf8(const std::string& text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at);
    int extra = 0;
    long code = 0;
    if (first < 0x80) {
        ++at;
        return first;
    } else if ((first & 0xE0) == 0xC0) {
        extra = 1;
        code = first & 0x1F;
    } else if ((first & 0xF0) == 0xE0) {
        extra = 2;
        code = first & 0x0F;
    } else if ((first & 0xF8) == 0xF0) {
        extra = 3;
        code = first & 0x07;
    } else {
        ++at;
        return -1;
    }
    if (at + static_cast<std::size_t>(extra) >= text.size()) {
        ++at;
        return -1;
    }
    for (int i = 1; i <= extra; ++i) {
        const unsigned char next = byte(at + static_cast<std::size_t>(i));
        if ((next & 0xC0) != 0x80) {
            ++at;
            return -1;
        }
        code = code << 6 | (next & 0x3F);
    }
    static constexpr long kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        ++at;
        return -1;
    }
    at += static_cast<std::size_t>(extra) + 1;
    return code;
}

// Appends the Shift-JIS bytes of one code point; false when it has none.
bool AppendShiftJis(long code, std::string& out) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
        return true;
    }
    if (g_toShiftJis == reinterpret_cast<iconv_t>(-1)) g_toShiftJis = iconv_open("CP932", "UTF-32LE");
    if (g_toShiftJis == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(g_toShiftJis, nullptr, nullptr, nullptr, nullptr);
    char in[4] = {static_cast<char>(code & 0xFF), static_cast<char>(code >> 8 & 0xFF),
                  static_cast<char>(code >> 16 & 0xFF), 0};
    char result[8];
    char* inPtr = in;
    char* outPtr = result;
    std::size_t inLeft = sizeof in, outLeft = sizeof result;
    if (iconv(g_toShiftJis, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0)
        return false;
    const std::size_t n = sizeof result - outLeft;
    if (n == 0 || n > 2) return false;
    out.append(result, n);
    return true;
}

}  // namespace

std::string PlatformUtf8ToShiftJis(const std::string& utf8, int cursorChars, int* cursorBytes) {
    std::string out;
    std::lock_guard lock(g_mutex);
    std::size_t at = 0;
    int chars = 0;
    bool cursorSet = false;
    while (at < utf8.size()) {
        if (cursorBytes != nullptr && !cursorSet && chars == cursorChars) {
            *cursorBytes = static_cast<int>(out.size());
            cursorSet = true;
        }
        const long code = DecodeUtf8(utf8, at);
        ++chars;
        if (code >= 0) AppendShiftJis(code, out);
    }
    if (cursorBytes != nullptr && !cursorSet) *cursorBytes = static_cast<int>(out.size());
    return out;
}
