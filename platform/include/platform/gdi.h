// The GDI subset of device contexts and bitmaps the screen code uses: window
// and display DCs over the display framebuffer, DCs of DirectDraw surfaces,
// memory DCs with compatible bitmaps, pixel copies between them, and the
// device-independent-bitmap copies of the software-only present.
#pragma once

#include "platform/ddraw.h"
#include "platform/types.h"

struct HBITMAP__;
using HBITMAP = HBITMAP__*;
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
