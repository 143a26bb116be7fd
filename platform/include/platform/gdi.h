// The GDI subset of device contexts and bitmaps the screen code uses: window
// and display DCs over the display framebuffer, DCs of DirectDraw surfaces,
// memory DCs with compatible bitmaps, pixel copies between them, and the
// device-independent-bitmap copies of the software-only present. Also fonts:
// made by face name, selected into a DC, measured, and rendered glyph by
// glyph as bitmaps.
#pragma once

#include "platform/ddraw.h"
#include "platform/types.h"

struct HBITMAP__;
using HBITMAP = HBITMAP__*;
struct HFONT__;
using HFONT = HFONT__*;
using HGDIOBJ = void*;

constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_BITFIELDS = 3;

// GetDeviceCaps indexes.
constexpr int BITSPIXEL = 12;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int VREFRESH = 116;

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // negative: top row first
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

// With BI_BITFIELDS the three masks follow the header as the first three
// colour entries.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[256];
};

// A device context of the window (its client area) or, with a null window,
// of the whole display.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
// Device contexts not yet released or deleted, for tests.
int PlatformOpenDCCount();
int GetDeviceCaps(HDC dc, int index);

HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// A bitmap whose pixels the caller reaches through *bits, laid out as the
// header describes (BI_RGB or BI_BITFIELDS, 16, 24 or 32 bits). Only
// top-down sections (negative height) are offered; null otherwise.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop);
int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int sourceX, int sourceY, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
// A negative source width reads the source right to left from sourceX.
int StretchDIBits(HDC dc, int x, int y, int width, int height, int sourceX, int sourceY, int sourceWidth,
                  int sourceHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
int GetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT lines, void* bits, BITMAPINFO* info, UINT usage);

// Display settings for the software-only full-screen mode.
struct DEVMODEA {
    char dmDeviceName[32];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
};
constexpr DWORD DM_BITSPERPEL = 0x40000;
constexpr DWORD DM_PELSWIDTH = 0x80000;
constexpr DWORD DM_PELSHEIGHT = 0x100000;
constexpr DWORD DM_DISPLAYFREQUENCY = 0x400000;
constexpr DWORD CDS_FULLSCREEN = 0x4;
constexpr LONG DISP_CHANGE_SUCCESSFUL = 0;
constexpr LONG DISP_CHANGE_BADMODE = -2;
LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags);

// ---- fonts -------------------------------------------------------------------

// Character sets: the system's default (Shift-JIS here), Shift-JIS, Hangul.
constexpr DWORD ANSI_CHARSET = 0;
constexpr DWORD DEFAULT_CHARSET = 1;
constexpr DWORD SHIFTJIS_CHARSET = 128;
constexpr DWORD HANGUL_CHARSET = 129;
constexpr DWORD OUT_DEFAULT_PRECIS = 0;
constexpr DWORD CLIP_DEFAULT_PRECIS = 0;
constexpr DWORD NONANTIALIASED_QUALITY = 3;
constexpr DWORD FIXED_PITCH = 1;

constexpr UINT GGO_BITMAP = 1;        // 1 bit per pixel, leftmost pixel in the top bit
constexpr UINT GGO_GRAY4_BITMAP = 5;  // one byte per pixel, 0..16
constexpr DWORD GDI_ERROR = 0xFFFFFFFFu;

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

struct FIXED {
    WORD fract;
    short value;
};

struct MAT2 {
    FIXED eM11, eM12, eM21, eM22;
};

struct GLYPHMETRICS {
    UINT gmBlackBoxX;
    UINT gmBlackBoxY;
    POINT gmptGlyphOrigin;  // left bearing, and the box's top above the baseline
    short gmCellIncX;
    short gmCellIncY;
};

// A positive height is the cell height (ascent and descent), a negative one
// the character height. Width, escapement, orientation, underline, strike-out,
// precision, quality and pitch are accepted and not used. The face name is in
// the system code page. Null when no face at all can be had.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);
// The metrics of the font selected into the DC; FALSE without one.
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
// One character of the selected font's character set (a byte, or lead byte
// << 8 | trail byte) as GGO_BITMAP or GGO_GRAY4_BITMAP, rows padded to 4
// bytes. Without a buffer (or with size 0): the bytes needed. GDI_ERROR for
// another format, a character the code page lacks, or a buffer too small. A
// character no face has is drawn as the font's missing-glyph shape.
DWORD GetGlyphOutlineA(HDC dc, UINT character, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize, LPVOID buffer,
                       const MAT2* matrix);
