#include "softrender/soft_draw_settings.h"

#include <algorithm>

#include "graphics/draw/draw_state.h"

bool ClipDrawAreaToImage(const SoftDrawSettings& settings, int width, int height, RECT* clip) {
    clip->left = std::max(settings.drawArea.left, 0);
    clip->top = std::max(settings.drawArea.top, 0);
    clip->right = std::min(settings.drawArea.right, width);
    clip->bottom = std::min(settings.drawArea.bottom, height);
    return clip->left < clip->right && clip->top < clip->bottom;
}

SoftDrawSettings CurrentSoftDrawSettings() {
    const DrawState& state = g_DrawState;
    SoftDrawSettings s;
    s.drawArea = state.drawArea;
    // The mode is compared unsigned: a negative mode is above 4 and draws
    // nothing. The setter clamps the parameter; a stray value is clamped too,
    // since it indexes the tables.
    s.blendMode = static_cast<std::uint32_t>(state.blendMode);
    s.blendParam = static_cast<std::uint32_t>(std::clamp(state.blendParam, 0, 255));
    s.brightColor = state.brightColor;
    return s;
}
