// The DirectDraw 7 stand-in's plain types: pixel formats and palette entries.
#pragma once

#include "platform/types.h"

// A surface's pixel format, exactly 32 bytes as the framework hands it out.
struct D_DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    DWORD dwRGBBitCount;
    DWORD dwRBitMask;
    DWORD dwGBitMask;
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
};
static_assert(sizeof(D_DDPIXELFORMAT) == 32, "the pixel format block is 32 bytes");

constexpr DWORD D_DDPF_ALPHAPIXELS = 0x00000001;
constexpr DWORD D_DDPF_FOURCC = 0x00000004;
constexpr DWORD D_DDPF_PALETTEINDEXED8 = 0x00000020;
constexpr DWORD D_DDPF_RGB = 0x00000040;
constexpr DWORD D_DDPF_ZBUFFER = 0x00000400;

// One entry of a DirectDraw (and GDI) palette.
struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};
