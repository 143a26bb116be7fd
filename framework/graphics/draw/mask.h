// Masks: an 8-bit mask screen that limits drawing on the screen to the
// pixels it allows. While the mask is in effect, every drawing operation
// first copies the rectangle it will touch from the draw target into the
// mask's work image, draws into the work image instead of the target, and
// then copies back exactly the pixels the mask screen allows; the others
// stay as they were. The mask switch and "mask in effect" live in the draw
// state. Mask data (mask handles) are byte images that are drawn into the
// mask screen.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "graphics/draw/draw_state.h"
#include "graphics/image/memimg.h"
#include "platform/ddraw.h"
#include "platform/types.h"

// A byte of the mask screen that allows drawing (with the reversal switch
// off; on, a byte of 0 allows it).
constexpr std::uint8_t kMaskAllow = 0xFF;
constexpr std::uint8_t kMaskProtect = 0x00;

struct MaskScreenState {
    std::uint8_t* buffer;       // one byte per screen pixel, rows of rowBytes
    int rowBytes;               // the screen width rounded up to 4
    int width, height;          // the screen size the buffer was made for
    D_IDirectDrawSurface7* workSurface;
    MEMIMG workImage;           // the work image on a screen held as software images
    int workIsMemImg;
    int workVideoMemory;        // the work surface lies in video memory
    std::uint32_t transparentColor;  // the work surface's colour key: 0
    int reversal;               // 0: a byte of 0 protects its pixel; nothing sets it
    int screenFlag;             // a mask screen is in use
};

extern MaskScreenState g_MaskScreen;

// ---- the mask screen ----
// Makes the buffer (zeroed) and/or the work image when they are missing.
// A work image that cannot be made is fatal. 0, or -1 when the buffer cannot
// be allocated.
int MakeMaskWorkScreen(int makeBuffer, int makeWorkImage);
// Frees the buffer and releases the work image. 0.
int ReleaseMaskWorkScreen();
// Around a device loss: only the work surface goes (the buffer keeps the
// mask); the draw state makes it again afterwards. 0.
int ReleaseMaskWorkSurface();
D_IDirectDrawSurface7* GetMaskSurface();
// The work image on a screen held as software images, else null.
MEMIMG* GetMaskDrawMemImg();
// 1 while the mask buffer exists.
int HasMaskBuffer();
// 1 while a mask screen is in use.
int GetMaskScreenFlag();
// 1 while drawing goes through the mask.
inline int IsMaskInEffect() { return g_DrawState.maskInEffect != 0 && g_MaskScreen.buffer != nullptr ? 1 : 0; }

// Stores the mask switch; mask in effect = switch and mask screen. -1 when
// there is no mask buffer, changing nothing. The draw-target rectangle and
// the 3D device's target follow.
int SetMaskActive(int flag);
int GetMaskActive();

// A mask screen of the screen's size, every byte protecting its pixel, and
// in use from now on (in effect while the switch is on). 0 or -1.
int CreateMaskScreen();
// The mask screen out of use and its buffers released. 0.
int DeleteMaskScreen();
// Every byte of the mask screen set to the value. -1 without a buffer.
int FillMaskScreen(std::uint8_t value);

// At graphics shut-down: the mask off and its buffers released, the mask
// screen out of use. 0.
int ShutDownMask();

// ---- mask data ----
// A new mask of width x height bytes, all 0. The handle, or -1.
HandleId MakeMask(int width, int height);
// Copies width x height bytes (rows `pitch` apart) into the mask. 0 or -1.
int SetMaskData(HandleId mask, const std::uint8_t* bytes, int pitch);
int GetMaskSize(HandleId mask, int* width, int* height);
// Writes the mask's bytes into the mask screen with its top-left corner at
// (x, y), clipped to the mask screen; with `transparent` set, bytes of 0 are
// skipped. -1 for a bad handle or without a mask screen buffer.
int DrawMask(int x, int y, HandleId mask, int transparent);
// Frees a mask's buffer and empties its record. 0, or -1 for a handle that
// names no mask in use.
int FreeMaskHandle(HandleId mask);
int FreeAllMaskHandles();

// ---- around a draw ----
// The draw target's pixels as the save and restore steps reach them: a
// software image, or a DirectDraw surface, with the place of the target's
// (0, 0) in it.
struct MaskDrawTarget {
    MEMIMG* image;
    D_IDirectDrawSurface7* surface;
    int originX, originY;
};
// Copies the rectangle (draw-target coordinates; clipped to the draw area
// and the mask screen) of the target into the work image at the same place.
// Nothing without a work image. 0.
int SaveRectForMask(const RECT& rect, const MaskDrawTarget& target);
// While the mask is in effect: copies back from the work image, over the
// target, exactly the pixels of the rectangle that the mask screen allows;
// the others keep what the target held. 0.
int RestoreMaskedRect(const RECT& rect, const MaskDrawTarget& target);
// The two steps on the current draw target, as the drawing operations call
// them.
int BeginMaskedDrawOnTarget(const RECT& rect);
int EndMaskedDrawOnTarget(const RECT& rect);
