// What the game loop draws of the field every frame, in field play and under
// a sub-screen alike: the background layers with the stage's light effects,
// the shop doors (where UP opens the shop), and the overlays that lie over
// the monsters: the water, every damage number, and the skills' captions.
#pragma once

// One scrolling layer at scroll position s: panel i and i + 1 of the layer
// wherever i * 640 <= s <= (i + 1) * 640, at x = i * 640 - s. Panel i shows
// images[i % imageCount] when `tiled`, else images[i] (nothing past the last).
void DrawScrollingLayer(float s, const int* images, int imageCount, bool tiled);

// The far, middle and panel layers, each at camera x / its divisor unless the
// divisor is 42, wrapped in the light effects.
void DrawFieldLayers();

// The stage's shop doors with their captions. UP newly pressed at a door, in
// field play, on the ground, with no attack or skill running, opens its shop.
void DrawShopDoors();

// The water on stages 38 to 47, the damage numbers of every monster slot and
// of the player, then the skill overlays.
void DrawFieldOverlays();

// The player's damage numbers (30 entries), drawn and aged.
void DrawPlayerDamagePopups();
