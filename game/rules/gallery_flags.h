// The CG gallery's open pictures: one byte per defeat picture, in the order
// of the picture table. GAME OVER opens the picture of the monster kind that
// defeated the player.
#pragma once

#include <cstdint>

#include "engine/handles.h"

extern std::uint8_t g_GalleryFlags[kGalleryPictureCount];  // 1 = open

// The picture GAME OVER shows next; the game loop sets it before the sequence.
extern std::int32_t g_DefeatPictureIndex;
