// The DirectDraw stand-in's objects.
#pragma once

#include <memory>
#include <vector>

#include "platform/ddraw.h"
#include "platform/display.h"

// What every object made by one DirectDraw object shares: releasing the
// DirectDraw object makes all of them refuse further calls.
struct DirectDrawCore {
    bool alive = true;
    DWORD cooperativeFlags = 0;
    HWND window = nullptr;
    bool primaryExists = false;
    bool changedMode = false;
    D_IDirectDrawSurface7* primary = nullptr;  // not a reference
    bool gdiSurfaceInBack = false;             // flipped an odd number of times

    bool Exclusive() const {
        return (cooperativeFlags & (D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN)) ==
               (D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN);
    }
};

class Clipper : public ComObject<D_IDirectDrawClipper> {
public:
    explicit Clipper(std::shared_ptr<DirectDrawCore> core) : core_(std::move(core)) {}
    HRESULT SetHWnd(DWORD, HWND window) override;
    HRESULT GetHWnd(HWND* window) override;
    HWND window() const { return window_; }

private:
    std::shared_ptr<DirectDrawCore> core_;
    HWND window_ = nullptr;
};

class Palette : public ComObject<D_IDirectDrawPalette> {
public:
    Palette(std::shared_ptr<DirectDrawCore> core, const PALETTEENTRY* entries);
    HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, const PALETTEENTRY* entries) override;
    HRESULT GetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries) override;
    void AttachToPrimary(bool attached);
    void ToRgb(std::uint32_t* out256) const;

private:
    void PushToDisplay() const;
    std::shared_ptr<DirectDrawCore> core_;
    PALETTEENTRY entries_[256] = {};
    bool onPrimary_ = false;
};

// Creates a surface for a validated description; the DirectDraw object does
// the validation.
HRESULT CreateStandInSurface(const std::shared_ptr<DirectDrawCore>& core, const D_DDSURFACEDESC2& desc,
                             D_IDirectDrawSurface7** out);
D_DDPIXELFORMAT PixelFormatOf(const PlatformPixelLayout& layout);

// What the Direct3D stand-in reads and writes of a surface. It is resolved
// at every call: a flip trades the memory of the primary and back buffer.
struct SurfacePixels {
    std::uint8_t* bits;
    int pitch;
    int width, height;
    PlatformPixelLayout layout;
    bool hasKey;
    DWORD keyLow, keyHigh;
    bool primary;
    bool zBuffer;
};
// D_DD_OK, or why the surface cannot be drawn now (lost, released with its
// DirectDraw object, its device context handed out). A view to be written
// through drops what was derived from the pixels; one only read keeps it.
HRESULT ViewSurfacePixels(D_IDirectDrawSurface7* surface, SurfacePixels* out, bool toWrite = true);

// What a user of a surface works out from its pixels and keeps with the
// surface (the Direct3D stand-in's form of a texture): dropped whenever the
// pixels may change.
struct SurfaceDerivedData {
    virtual ~SurfaceDerivedData() = default;
};
// The data kept with the surface, or null; *uses counts the calls since the
// pixels last changed, this one included (0 while the surface is locked or
// its device context is out, when nothing can be kept).
SurfaceDerivedData* FindSurfaceDerived(D_IDirectDrawSurface7* surface, int* uses);
// Keeps the data with the surface until its pixels may change.
void KeepSurfaceDerived(D_IDirectDrawSurface7* surface, std::unique_ptr<SurfaceDerivedData> data);
// After drawing into a surface: the primary asks to be shown.
void NoteSurfaceDrawn(D_IDirectDrawSurface7* surface);
