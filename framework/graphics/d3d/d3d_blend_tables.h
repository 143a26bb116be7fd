// The blend table and the texture-stage table that turn a draw's blend
// mode, colour modulation and texture alpha into render states and stage
// states.
#pragma once

#include <array>
#include <cstdint>

#include "platform/d3d.h"

constexpr int kLeave = -1;  // the device's value stays as it is

struct BlendRow {
    int srcBlend, destBlend;
    bool blending;
};

// By blend mode 0-8: 0 none, 1 alpha, 2 add, 3 subtract step (inverts the
// target when drawn white), 4 multiply, 5 as add, 6 and 7 none, 8 keeps the
// target.
constexpr BlendRow kBlendTable[9] = {
    {kLeave, kLeave, false},
    {D_D3DBLEND_SRCALPHA, D_D3DBLEND_INVSRCALPHA, true},
    {D_D3DBLEND_SRCALPHA, D_D3DBLEND_ONE, true},
    {D_D3DBLEND_INVDESTCOLOR, D_D3DBLEND_ZERO, true},
    {D_D3DBLEND_ZERO, D_D3DBLEND_SRCCOLOR, true},
    {D_D3DBLEND_SRCALPHA, D_D3DBLEND_ONE, true},
    {kLeave, kLeave, false},
    {kLeave, kLeave, true},
    {D_D3DBLEND_ZERO, D_D3DBLEND_ONE, true},
};

// One stage's states in the cache's order.
struct StageSetting {
    int alphaArg1, alphaArg2, alphaOp, colorArg1, colorArg2, colorOp;
};

struct StageEntry {
    int count;  // stages in use; the stage after them is disabled
    StageSetting stages[4];
};

namespace stage_table {
constexpr int T = D_D3DTA_TEXTURE, D = D_D3DTA_DIFFUSE, C = D_D3DTA_CURRENT, F = D_D3DTA_TFACTOR,
              S = D_D3DTA_SPECULAR;
constexpr int Sel1 = D_D3DTOP_SELECTARG1, Sel2 = D_D3DTOP_SELECTARG2, Mod = D_D3DTOP_MODULATE,
              Add = D_D3DTOP_ADD, Off = D_D3DTOP_DISABLE;
constexpr StageSetting kDisabled{kLeave, kLeave, Off, kLeave, kLeave, Off};
// Colour from the texture (TC), optionally times the diffuse colour.
constexpr StageSetting TextureColor(bool modulate, int alphaArg1, int alphaArg2, int alphaOp) {
    return {alphaArg1, alphaArg2, alphaOp, T, D, modulate ? Mod : Sel1};
}
}  // namespace stage_table

// Alpha kinds: 0 no texture alpha, 1 blend by texture alpha, 2 alpha test.
// [modulate][blend on][alpha kind], without a blend mask: one stage.
constexpr StageEntry StageEntryPlain(bool modulate, bool blendOn, int alphaKind) {
    using namespace stage_table;
    StageSetting s = alphaKind == 0 ? TextureColor(modulate, T, D, Sel2)
                     : blendOn      ? TextureColor(modulate, T, D, Mod)
                                    : TextureColor(modulate, T, D, Sel1);
    return {1, {s, kDisabled, kDisabled, kDisabled}};
}

// With a blend mask: stage 0 holds the mask (its alpha plus the texture
// factor), the graphic's texture follows on stage 1, or stage 2 for alpha
// kind 1.
constexpr StageEntry StageEntryMasked(bool modulate, bool blendOn, int alphaKind) {
    using namespace stage_table;
    constexpr StageSetting mask{T, F, Add, T, D, Sel2};
    switch (alphaKind) {
        case 0:
            return {2, {mask, TextureColor(modulate, blendOn ? D : C, C, blendOn ? Mod : Sel1), kDisabled, kDisabled}};
        case 1: {
            const StageSetting specular{S, C, Mod, C, kLeave, Sel1};
            const StageSetting texture = TextureColor(modulate, T, C, Mod);
            const StageSetting diffuse{D, C, Mod, C, kLeave, Sel1};
            if (blendOn) return {4, {mask, specular, texture, diffuse}};
            return {3, {mask, specular, texture, kDisabled}};
        }
        default: {
            const StageSetting texture = TextureColor(modulate, T, C, Mod);
            const StageSetting diffuse{D, C, Mod, C, kLeave, Sel1};
            if (blendOn) return {3, {mask, texture, diffuse, kDisabled}};
            return {2, {mask, texture, kDisabled, kDisabled}};
        }
    }
}

// The 24 entries, by [blend mask present][modulate][blend on][alpha kind].
constexpr int StageTableIndex(bool masked, bool modulate, bool blendOn, int alphaKind) {
    return ((masked * 2 + modulate) * 2 + blendOn) * 3 + alphaKind;
}
constexpr std::array<StageEntry, 24> kStageTable = [] {
    std::array<StageEntry, 24> table{};
    for (int masked = 0; masked < 2; ++masked)
        for (int modulate = 0; modulate < 2; ++modulate)
            for (int blendOn = 0; blendOn < 2; ++blendOn)
                for (int kind = 0; kind < 3; ++kind)
                    table[StageTableIndex(masked, modulate, blendOn, kind)] =
                        masked ? StageEntryMasked(modulate, blendOn, kind) : StageEntryPlain(modulate, blendOn, kind);
    return table;
}();

// The stage untextured primitives use in blend mode 3.
constexpr StageSetting kUntexturedSubtractStage{D_D3DTA_TEXTURE, D_D3DTA_DIFFUSE, D_D3DTOP_SELECTARG2,
                                                D_D3DTA_DIFFUSE, D_D3DTA_TEXTURE, D_D3DTOP_SELECTARG1};
