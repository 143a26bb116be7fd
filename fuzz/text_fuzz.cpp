// libFuzzer target: any bytes as a text drawn on the headless back screen.
// The first byte picks the font (plain, edged, grey, edged grey, Hangul) and
// the blend, the next two the place; the rest up to its first zero is the
// text. Whatever the bytes, drawing and measuring stay inside their buffers,
// and the glyph caches take no tracked memory beyond what they were made
// with.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "api/framework_init.h"
#include "core/memory.h"
#include "core/system_state.h"
#include "graphics/draw/draw_state.h"
#include "graphics/text/font.h"
#include "kelvo/api.h"
#include "platform/backend.h"

namespace {

int g_fonts[5];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    PlatformSelectBackend(PlatformBackend::Headless);
    ApiSetLogEnabled(0);
    ApiSetAllowDoubleStart(1);
    // No message thread: nothing may run on while the program ends.
    SetUseMessageThread(0);
    if (ApiInitFramework() != 0) std::abort();
    std::atexit([] { ApiEndFramework(); });
    ApiSelectDrawTarget(kDrawTargetBack);
    g_fonts[0] = CreateFontToHandle("Verdana", 16, 6, 0, -1, -1, 0, -1, -1);
    g_fonts[1] = CreateFontToHandle("Verdana", 12, 4, kFontTypeEdge, -1, 2, 0, -1, -1);
    g_fonts[2] = CreateFontToHandle("Verdana", 14, 6, kFontTypeAntialias, -1, -1, 0, -1, -1);
    g_fonts[3] = CreateFontToHandle(nullptr, 16, 6, kFontTypeAntialias | kFontTypeEdge, -1, 1, 1, -1, -1);
    g_fonts[4] = CreateFontToHandle("Verdana", 16, 6, 0, kCharSetKindHangul, -1, 0, -1, -1);
    for (int font : g_fonts)
        if (font < 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const int blocks = g_MemoryTracker.count;
    const int font = g_fonts[data[0] % 5];
    const int x = static_cast<std::int8_t>(data[1]) * 5 + 300, y = static_cast<std::int8_t>(data[2]) * 4 + 240;
    const std::string text(reinterpret_cast<const char*>(data + 3), size - 3);
    ApiSetBlendModeParam((data[0] >> 4) % 3, 160);
    if (DrawTextWithFont(x, y, text.c_str(), 0xFFFF, font, 0x001F, 0) != 0) std::abort();
    TextExtent extent{};
    if (MeasureTextExtent(LookupFont(font), text.c_str(), &extent) != 0) std::abort();
    ApiSetBlendModeParam(0, 0);
    if (g_MemoryTracker.count != blocks) std::abort();
    return 0;
}
