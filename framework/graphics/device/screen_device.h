// The DirectDraw screen device: the display mode, the output surfaces (or the
// software images that stand for them), the palette of an 8-bit screen and
// the flags that decide how everything is drawn and presented.
#pragma once

#include <cstdint>

#include "graphics/image/color_format.h"
#include "graphics/image/memimg.h"
#include "platform/ddraw.h"
#include "platform/window.h"

// Pixel codes of the screen format.
constexpr int kScreenPixel565 = 0;
constexpr int kScreenPixel555 = 1;
constexpr int kScreenPixel888 = 2;
constexpr int kScreenPixelOther = 3;

struct ScreenDeviceState {
    D_IDirectDraw7* directDraw;
    D_IDirectDrawClipper* clipper;
    D_IDirectDrawPalette* palette;
    PALETTEENTRY paletteEntries[256];
    HWND window;                  // the window given to the graphics device

    int width, height;            // 0: 640 x 480
    int depth;                    // bits per pixel of the display
    int refreshRate;              // requested, 0 = driver default
    int depthSetting;             // the depth asked for
    D_DDPIXELFORMAT pixelFormatBlock;
    ColorFormatDesc colorFormat;
    int pixelCode;
    DWORD cooperativeFlags;
    D_DDCAPS driverCaps;
    int overlayFormatIndex;       // -1: none

    D_IDirectDrawSurface7* primary;
    D_IDirectDrawSurface7* back;          // the back surface or the flipping chain's back buffer
    D_IDirectDrawSurface7* attachedBack;  // the flipping chain's back buffer (also in `back`)
    D_IDirectDrawSurface7* tempPrimary;   // screen-surface mode
    D_IDirectDrawSurface7* work1;
    D_IDirectDrawSurface7* work2;
    D_IDirectDrawSurface7* zBuffer;
    D_IDirectDrawSurface7* targetSurface;

    MEMIMG frontImage, backImage, zImage;
    // The depth image holds the clear value everywhere. Without Direct3D
    // nothing draws on it or reads it, so a clear need not write it again.
    int zImageHoldsClear;
    int backImageOverSurface;     // the back image lies over the locked back surface

    // Flags.
    int displayModeChanged;
    int vblankWait;
    int disable3D;
    int screenMemImg;
    int softwareOnly;
    int gdiSurfaceMode;
    int gdiSurfaceApplied;        // -1 unknown
    int drawingDisabled;
    int screenSurfaceMode;
    int tablesBuilt;
    int mmx;
    int sceneMayBeOpen;
    int multithreaded;
    int preferBitBlt;

    // Timing.
    int displayRefresh;           // Hz, -1 unknown
    int frameTime;                // ms, -1 unknown
    int minPresentInterval;       // ms, -1 none
    DWORD lastPresentTime;
    DWORD lastModeChangeTime;
    std::uint64_t presentCount;
    int presentedSinceLastPull;
    int lastPresentCopyMs;
};

extern ScreenDeviceState g_ScreenDevice;

// ---- start-up and shut-down ----
int StartUpDirectDraw();
int ObtainDirectDrawObject(D_IDirectDraw7** out);
int NewClipperForWindow(D_IDirectDrawClipper** out, HWND window);
int CreateDirectDrawClipper();
int ReleaseWindowClipper();
int ShutDownDirectDraw();
int ReleaseDirectDraw();
int RebuildDirectDraw();
int RevertDisplayMode();
int RevertDisplayModeAtExit();
int ReleaseMainSurfaces();
int RestoreLostMainSurfaces();

// ---- display mode ----
int SetDisplayModeForScreen(D_IDirectDraw7* object, int desktopWidth, int desktopHeight, int width, int height,
                            int depth, int* outDepth, DWORD* outCooperativeFlags, int windowMode,
                            int* modeChanged, HWND window);
// -1 for an argument keeps the current value.
int ApplyScreenMode(int width, int height, int depth, int force, int refresh);
int ChangeRenderingMode(int hardware);
int ReapplyDisplayMode();
int SetupScreenColorFormat();

// ---- output surfaces and palette ----
int CreateOutputSurfaces();
int CreateScreenPalette();
int RecreateScreenPalette();
HRESULT SetPaletteOnAttachedSurface(D_IDirectDrawSurface7* surface, D_DDSURFACEDESC2* desc, void* context);

// ---- settings and getters ----
int SetVBlankWait(int flag);
int GetVBlankWait();
int SetDisable3DFlag(int flag);
int GetDisable3DFlag();
int SetGdiSurfaceMode(int flag);
int GetGdiSurfaceMode();
int SetScreenSurfaceModeFlag(int flag);
int GetScreenSurfaceModeFlag();
// Screen size; 640 x 480 while none is set. Null pointers are skipped.
int QueryScreenSize(int* width, int* height);
// The colour depth asked for; 16 while none is set.
int GetScreenColorDepth();
inline const ColorFormatDesc* GetScreenColorFormat() { return &g_ScreenDevice.colorFormat; }
const void* GetScreenPixelFormatBlock();
D_IDirectDraw7* GetDirectDrawObject();
// 1 unless the framework runs in software-only mode.
int IsDirectDrawInUse();
// 1 once the DirectDraw object exists; some settings act only before that.
int HasDirectDrawObject();
// 1 while the screen is held as software images (`MEMIMG`).
int IsScreenMemImg();
int IsDisplayModeChanged();
D_IDirectDrawSurface7* GetDrawTargetSurface();
D_IDirectDrawSurface7* GetMainDrawSurface();
D_IDirectDrawSurface7* GetSysMemBackSurface();
D_IDirectDrawSurface7* GetWorkSurface1();
int IsTargetBackSurfaceInWindowMode();
const D_DDPIXELFORMAT* GetOverlayPixelFormat();
int CopyDirectDrawCaps(D_DDCAPS* out);
// The window's part of a window-mode change: the screen mode applied again.
int ApplyWindowModeChangeToScreen();
// Releases the DirectDraw object (when the window loses the full screen in
// software-only mode).
int ReleaseDirectDrawObject();
