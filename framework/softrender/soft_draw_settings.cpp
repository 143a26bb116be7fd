#include "softrender/soft_draw_settings.h"

#include <algorithm>

bool ClipDrawAreaToImage(const SoftDrawSettings& settings, int width, int height, RECT* clip) {
    clip->left = std::max(settings.drawArea.left, 0);
    clip->top = std::max(settings.drawArea.top, 0);
    clip->right = std::min(settings.drawArea.right, width);
    clip->bottom = std::min(settings.drawArea.bottom, height);
    return clip->left < clip->right && clip->top < clip->bottom;
}
