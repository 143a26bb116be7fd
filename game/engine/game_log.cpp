#include "engine/game_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kLineLimit = 256;
constexpr std::size_t kBufferSize = 8192;

char g_LogBuffer[kBufferSize] = {};
std::size_t g_LogLength = 0;

// Drops whole lines from the front until `needed` more bytes fit.
void MakeRoom(std::size_t needed) {
    while (g_LogLength + needed >= kBufferSize && g_LogLength > 0) {
        const char* end = static_cast<const char*>(std::memchr(g_LogBuffer, '\n', g_LogLength));
        std::size_t drop = end != nullptr ? static_cast<std::size_t>(end - g_LogBuffer) + 1 : g_LogLength;
        std::memmove(g_LogBuffer, g_LogBuffer + drop, g_LogLength - drop);
        g_LogLength -= drop;
    }
    g_LogBuffer[g_LogLength] = '\0';
}

}  // namespace

void GameLog(const char* format, ...) {
    char line[kLineLimit];
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (written < 0) return;
    std::size_t length = std::strlen(line);

    MakeRoom(length + 1);
    std::memcpy(g_LogBuffer + g_LogLength, line, length);
    g_LogLength += length;
    g_LogBuffer[g_LogLength++] = '\n';
    g_LogBuffer[g_LogLength] = '\0';

    if (std::getenv("KELVO_GAME_LOG") != nullptr) std::fprintf(stderr, "%s\n", line);
}

const char* GameLogText() { return g_LogBuffer; }

void ClearGameLog() {
    g_LogLength = 0;
    g_LogBuffer[0] = '\0';
}
