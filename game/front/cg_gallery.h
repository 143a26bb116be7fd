// CG MODE: the grid of the 32 defeat pictures' thumbnails and the view of
// one opened picture, two states of the title menu.
#pragma once

struct TitleMenu;

constexpr int kGalleryColumns = 4;
constexpr int kGalleryRows = 8;
constexpr int kLockedThumbnail = 32;

// The picture index of a grid cell: column * 8 + row.
constexpr int GalleryIndex(int column, int row) { return column * kGalleryRows + row; }

void RunGalleryGridBlock(TitleMenu& menu);
void RunGalleryViewBlock(TitleMenu& menu);
