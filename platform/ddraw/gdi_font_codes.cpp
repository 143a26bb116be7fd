// Character codes of the GDI character sets as Unicode, through iconv.
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "ddraw/gdi_font_internal.h"

namespace {

// The code page of a character set. The system code page (the default
// character set's) is Japanese.
const char* CodePageOf(DWORD charSet) {
    switch (charSet) {
        case ANSI_CHARSET: return "CP1252";
        case HANGUL_CHARSET: return "CP949";
        default: return "CP932";
    }
}

// One converter per code page, opened on first use and kept; iconv_t is not
// safe to share between threads, so every use holds the mutex.
struct Converter {
    const char* codePage;
    iconv_t handle = reinterpret_cast<iconv_t>(-1);
};

std::mutex g_convertMutex;
Converter g_converters[] = {{"CP932"}, {"CP949"}, {"CP1252"}};
Converter g_toUtf8{"CP932"};

iconv_t Open(Converter& c, const char* to) {
    if (c.handle == reinterpret_cast<iconv_t>(-1)) c.handle = iconv_open(to, c.codePage);
    if (c.handle != reinterpret_cast<iconv_t>(-1)) iconv(c.handle, nullptr, nullptr, nullptr, nullptr);
    return c.handle;
}

}  // namespace

const char* LanguageOfCharSet(DWORD charSet) {
    switch (charSet) {
        case ANSI_CHARSET: return "";
        case HANGUL_CHARSET: return "ko";
        default: return "ja";  // Shift-JIS, and the default set of a Japanese system
    }
}

std::uint32_t CharacterToUnicode(UINT character, DWORD charSet) {
    if (character < 0x80) return character;
    if (character > 0xFFFF) return 0;
    char in[2];
    std::size_t inLeft = 0;
    if (character > 0xFF) {
        in[0] = static_cast<char>(character >> 8);
        in[1] = static_cast<char>(character & 0xFF);
        inLeft = 2;
    } else {
        in[0] = static_cast<char>(character);
        inLeft = 1;
    }
    const char* codePage = CodePageOf(charSet);
    std::lock_guard lock(g_convertMutex);
    for (Converter& c : g_converters) {
        if (std::strcmp(c.codePage, codePage) != 0) continue;
        iconv_t h = Open(c, "UTF-32LE");
        if (h == reinterpret_cast<iconv_t>(-1)) return 0;
        unsigned char out[8] = {};
        char* inPtr = in;
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t outLeft = sizeof out;
        // A lone lead byte or an undefined pair does not convert whole.
        if (iconv(h, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0 ||
            outLeft != 4)
            return 0;
        return static_cast<std::uint32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
    }
    return 0;
}

std::string SystemTextToUtf8(const char* text) {
    std::string result;
    if (text == nullptr) return result;
    std::lock_guard lock(g_convertMutex);
    iconv_t h = Open(g_toUtf8, "UTF-8");
    if (h == reinterpret_cast<iconv_t>(-1)) return result;
    std::size_t inLeft = std::strlen(text);
    char* in = const_cast<char*>(text);
    char buffer[256];
    while (inLeft > 0) {
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t r = iconv(h, &in, &inLeft, &out, &outLeft);
        result.append(buffer, static_cast<std::size_t>(out - buffer));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // Skip the byte that does not convert.
            ++in;
            --inLeft;
            iconv(h, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return result;
}
