#include "softrender/render_tables.h"

namespace {

ProductTable255Type MakeProductTable255() {
    ProductTable255Type table{};
    for (std::uint32_t a = 0; a < 256; ++a)
        for (std::uint32_t b = 0; b < 256; ++b) table[a][b] = a * b / 255;
    return table;
}

BlendParamTableType MakeBlendParamTable() {
    BlendParamTableType table{};
    for (std::int32_t p = 0; p < 256; ++p)
        for (std::int32_t k = 1; k < 512; ++k) table[p][k] = p * (k - 256) / 255;  // C++ '/' truncates toward zero
    return table;
}

LevelTable63Type MakeLevelTable63() {
    LevelTable63Type table{};
    for (int k = 0; k < 64; ++k)
        for (int i = 0; i < 64; ++i)
            for (int j = 0; j < 64; ++j) table[k][i][j] = static_cast<std::uint8_t>((k * i + (63 - k) * j) / 63);
    return table;
}

constexpr std::array<std::uint8_t, 256> MakeMaskWeightTable(int borderParam, int range) {
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) table[i] = MaskWeightFor(borderParam, range, i);
    return table;
}

}  // namespace

// Filled when the program starts (about a megabyte of simple arithmetic), so
// no drawing can come before them; nothing else reads them while starting up.
const ProductTable255Type ProductTable255 = MakeProductTable255();
const BlendParamTableType BlendParamTable = MakeBlendParamTable();
const LevelTable63Type LevelTable63 = MakeLevelTable63();
constinit std::array<std::uint8_t, 256> MaskWeightTable = MakeMaskWeightTable(0, 255);

int BuildBlendMaskTable(int borderParam, int borderRange) {
    MaskWeightTable = MakeMaskWeightTable(borderParam, borderRange);
    return 0;
}
