// The pictures of the stand-in data set, one function per kind of sheet.
#pragma once

#include <string>

#include "image.h"

// A sheet of `columns` x `rows` cells of `w` x `h`, of which the first
// `pieces` are drawn by `draw(cell image, piece index)`.
template <class DrawPiece>
Image MakeSheet(int columns, int rows, int w, int h, int pieces, DrawPiece draw) {
    Image sheet(columns * w, rows * h);
    for (int k = 0; k < pieces; ++k) {
        Image cell(w, h);
        draw(cell, k);
        sheet.Paste(cell, (k % columns) * w, (k / columns) * h);
    }
    return sheet;
}

Image MakeHeroSheet();
Image MakeMonsterSheet(int kind);
Image MakeGlyphLetters();
Image MakeGlyphDigits();
Image MakeShopDoors();
Image MakeShopCaptions();
Image MakeFire();
Image MakeGas();
Image MakeCrossEffect();
Image MakeBallEffect();
Image MakeSkillCaption(const std::string& name, Rgb color);
Image MakeWarpDoors();
Image MakeCursors(int size);
Image MakeTitleLogo();
Image MakeTitlePortrait();
Image MakeLoadingPicture();
Image MakeDefeatPicture(int index, const std::string& name);
Image MakeThumbnails();
Image MakeWater();
Image MakeFarLayer(const std::string& name);
// A stage panel: its ground, with kPanelGrass on top of every floor column
// and a shaft from kPitTop to kPitBottom down every pit.
Image MakePanel(const std::string& name);
constexpr Rgb kPanelGrass{80, 180, 70};
constexpr Rgb kPitTop{50, 40, 60};
constexpr Rgb kPitBottom{18, 14, 26};
Image MakeBlackPanel();
Image MakeTitleLayer(int which);
