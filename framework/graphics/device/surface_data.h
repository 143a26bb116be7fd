// Surface data: one piece of device storage behind a surface-data handle. It
// is a DirectDraw surface, a Direct3D texture, or a software image (`MEMIMG`)
// when the storage is held in system memory. 2D surfaces and 3D surface data
// own one each and share it by reference count (part graphics).
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "graphics/image/color_format.h"
#include "graphics/image/memimg.h"
#include "platform/ddraw.h"
#include "platform/types.h"

// The eight creation flags, copied from the creator and then settled.
struct SurfaceCreateFlags {
    std::uint8_t TextureFlag;
    std::uint8_t AlphaChFlag;
    std::uint8_t DrawValid;
    std::uint8_t SystemMemFlag;
    std::uint8_t AlphaTestFlag;
    std::uint8_t ColorBitDepth;     // 16 or 32
    std::uint8_t Palette8Flag;      // an 8-bit (paletted) software image without transparent colour
    std::uint8_t NoTransColorFlag;  // storage without transparent colour
};

// Kinds of storage; a texture's kind is its texture-format index instead.
constexpr std::uint32_t kSurfaceKindPlain = 9;
constexpr std::uint32_t kSurfaceKindMemImg16 = 10;  // + 1 with an alpha channel
constexpr std::uint32_t kSurfaceKindMemImg32 = 12;  // + 1 with an alpha channel

// The transparent colour of software-image storage that has none: no 16-bit
// word, 32-bit 0x00RRGGBB pixel or palette index equals it.
constexpr std::uint32_t kNoTransparentColor = 0xFFFFFFFFu;

struct SurfaceDataRecord {
    std::uint32_t checkNumber;
    std::uint32_t reservedLink;  // always 0
    SurfaceCreateFlags flags;
    std::uint32_t heldAsMemImg;  // 1: the storage is memImg
    std::uint32_t kind;
    std::uint32_t zBufferWanted;
    D_IDirectDrawSurface7* surface;        // plain surface or texture; null when none
    MEMIMG memImg;                         // the storage when held as software image
    D_IDirectDrawSurface7* zBufferSurface; // attached to surface
    MEMIMG zBufferMemImg;
    std::uint32_t transparentColor;        // 0x00RRGGBB
    std::uint16_t width, height;
    std::int32_t refCount;
    // Lock state: the pitch and the first pixel of the whole storage while
    // locked, and how many locks are open.
    std::int32_t lockPitch;
    std::uint8_t* lockPixels;
    std::int32_t lockCount;
};

using SurfaceDataTable = HandleTable<SurfaceDataRecord, kHandleTypeSurfaceData, kSurfaceDataSlotCount>;
extern SurfaceDataTable g_SurfaceDataTable;

// Graphics start-up: deletes whatever records are left and empties the table
// and its counter.
int InitSurfaceDataTable();

// A new record with the given reference count (1 for a creator), its
// storage made and its colour key set. The flags are settled on the way.
HandleId AddSurfaceData(int initialRefCount, int width, int height, std::uint32_t transparentColor,
                        const SurfaceCreateFlags& flags);
// Makes the storage the record's flags describe; nothing when it exists.
int CreateSurfaceDataSurfaces(HandleId handle);
// Releases the storage and its Z buffer; the record stays.
int ReleaseSurfaceDataSurfaces(HandleId handle);
// Releases the storage and frees the record, whatever its reference count.
int DeleteSurfaceData(HandleId handle);

SurfaceDataRecord* LookupSurfaceData(HandleId handle);
// The new reference count, or -1 for a bad handle. Releasing the last
// reference deletes the record.
int AddSurfaceDataRef(HandleId handle);
int ReleaseSurfaceDataRef(HandleId handle);

int SetSurfaceDataZBuffer(HandleId handle, int flag);
// Sets the transparent colour as the surface's source colour key. Nothing
// for software images, which carry their transparent colour themselves.
int SetSurfaceDataColorKey(HandleId handle);
// Restores a DirectDraw surface that reports lost; its pixels are gone and
// must be written again. 0 or -1.
int RestoreSurfaceData(HandleId handle);
// 1 when the record's DirectDraw surface reports lost, else 0.
int IsSurfaceDataLost(HandleId handle);

// Opens the pixels of the rectangle (null: all of it) for reading and
// writing. 0; -2 when already locked (the nesting count rises and the
// pointer is that of the new rectangle); -1 on failure. Any out pointer may
// be null.
int LockSurfaceData(HandleId handle, int* pitch, void** pixels, int writeOnly, const RECT* rect,
                    const ColorFormatDesc** format);
int UnlockSurfaceData(HandleId handle);

// Fills the whole storage with the colour composed in its format.
int FillSurfaceDataColor(HandleId handle, int r, int g, int b, int a);
// The same over a rectangle (null: all of it) inside the storage.
int FillSurfaceDataRect(HandleId handle, const RECT* rect, int r, int g, int b, int a);

// The pixel format of the record's storage: the texture format, the
// software image's or the screen's. Null for a bad record.
const ColorFormatDesc* SurfaceDataColorFormat(const SurfaceDataRecord* record);
