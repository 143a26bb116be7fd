// Cache geometry of fonts.
#include "graphics/text/font_layout.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "graphics/text/font.h"

namespace {

constexpr std::int64_t kMemoryCacheArea = 0x50000;
constexpr int kMinimumSlots = 20;

}  // namespace

int PadCellSize(int maxCharWidth) { return std::max(8, (maxCharWidth + 7) / 8 * 8); }

int EvenCharHeight(int height) { return height % 2 != 0 ? height + 1 : height; }

MemoryCacheLayout MemoryCacheLayoutFor(int cellSize, int fontType) {
    MemoryCacheLayout l{};
    l.bitsPerPixel = fontType == 0 ? 1 : 8;
    const std::int64_t area = static_cast<std::int64_t>(cellSize) * cellSize;
    l.slotCount = static_cast<int>(std::clamp<std::int64_t>(kMemoryCacheArea / std::max<std::int64_t>(area, 1),
                                                            kMinimumSlots, kFontGlyphSlotCount));
    l.width = cellSize;
    l.height = l.slotCount * cellSize;
    l.rowBytes = (cellSize * l.bitsPerPixel + 7) / 8;
    l.bytes = static_cast<std::size_t>(l.rowBytes) * static_cast<std::size_t>(l.height);
    return l;
}

void CopyFaceName(char* out, std::size_t size, const char* face) {
    if (size == 0) return;
    out[0] = '\0';
    if (face == nullptr) return;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(face);
    std::size_t n = 0;
    while (bytes[n] != 0) {
        const std::size_t step = IsDoubleByteLead(bytes[n], kCharSetKindShiftJis) && bytes[n + 1] != 0 ? 2 : 1;
        if (n + step > size - 1) break;
        n += step;
    }
    std::memcpy(out, face, n);
    out[n] = '\0';
}
