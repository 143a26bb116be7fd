// The display behind the DirectDraw and GDI stand-ins: the desktop and the
// current display mode, one framebuffer that the primary surface and the
// window's device context write into, the vertical-blank timeline, and the
// presenting of finished frames to the backend.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/types.h"

// A pixel layout of the display: bits per pixel and the channel masks (all
// zero for 8-bit indexed).
struct PlatformPixelLayout {
    int bitsPerPixel;
    DWORD redMask, greenMask, blueMask, alphaMask;

    int BytesPerPixel() const { return (bitsPerPixel + 7) / 8; }
    bool operator==(const PlatformPixelLayout&) const = default;
};

constexpr PlatformPixelLayout kLayout565{16, 0xF800, 0x07E0, 0x001F, 0};
constexpr PlatformPixelLayout kLayout555{16, 0x7C00, 0x03E0, 0x001F, 0};
constexpr PlatformPixelLayout kLayoutX888{32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0};
constexpr PlatformPixelLayout kLayout8{8, 0, 0, 0, 0};

// One presented frame: the pixels of the window's client area in the display
// layout, top row first.
struct PlatformFrame {
    int width = 0, height = 0, pitch = 0;
    PlatformPixelLayout layout{};
    std::vector<std::uint8_t> pixels;
    std::uint32_t palette[256] = {};  // 0xRRGGBB, for 8-bit frames
    std::uint64_t micros = 0;          // the clock when it was presented
    DWORD flipFlags = 0;               // the Flip flags, 0 for a copy to the window
    std::uint64_t number = 0;          // frames presented so far, this one included

    // The pixel at (x, y) as 0xRRGGBB, widened without bit replication.
    std::uint32_t Rgb(int x, int y) const;
    DWORD Raw(int x, int y) const;
};

using PlatformFrameSink = std::function<void(const PlatformFrame&)>;

// Test and configuration knobs of the display stand-in.
struct PlatformDisplayKnobs {
    int desktopWidth = 1024, desktopHeight = 768;
    PlatformPixelLayout desktopLayout = kLayoutX888;
    int desktopRefresh = 60;
    int pitchPadding = 0;                 // extra bytes per surface row
    bool videoMemoryFails = false;        // video-memory surfaces cannot be made
    bool strictLocks = false;             // a second lock of a locked surface fails
    bool refuseAllModes = false;          // SetDisplayMode always fails
    int refusedRefresh = -1;              // this refresh rate is refused
    std::uint64_t refusedDepthBits = 0;   // bit n: modes of n bits per pixel are refused
    int modeRefresh = 60;                 // the refresh rate of a mode that is set
    int reportedRefresh = -1;             // what the display DC says its refresh is; -1: the mode's own
    bool use555 = false;                  // 16-bit modes are 5:5:5
    bool refuseDirectDraw = false;        // CoCreateInstance of DirectDraw fails
    bool refuseDirectDrawInitialize = false;
    bool shiftHeld = false;
    // Failures on demand: that many more surfaces are made, then every one
    // is refused (-1: none); surfaces cannot be attached or found attached.
    int surfacesBeforeRefusal = -1;
    bool refuseAttachments = false;
    // Overlays: none unless a format is given. The hardware takes one
    // four-character code and one RGB layout (bitsPerPixel 0: none), in video
    // memory unless said otherwise; the driver's caps give the stretch limits.
    DWORD overlayFourCC = 0;
    PlatformPixelLayout overlayLayout{};
    bool overlaysInSystemMemory = false;
    DWORD minOverlayStretch = 0, maxOverlayStretch = 0;
};

PlatformDisplayKnobs& PlatformDisplayKnobsRef();
// Whether fills and copies may use the processor's 32-byte registers where
// it has them (the default). The pixels are the same either way; tests run
// both.
void PlatformAllowWidePixelMoves(bool allowed);
// Back to the desktop mode with nothing presented; for tests.
void PlatformDisplayReset();

// DirectDraw surfaces alive now, for tests that check nothing is left.
int PlatformLiveSurfaceCount();

// The current display mode.
int PlatformDisplayWidth();
int PlatformDisplayHeight();
PlatformPixelLayout PlatformDisplayLayout();
int PlatformDisplayRefresh();
bool PlatformDisplayModeChanged();  // a full-screen mode is in force
// Changes the mode (full screen); false when the mode is refused. Every
// video-memory surface is lost.
bool PlatformDisplaySetMode(int width, int height, int bitsPerPixel, int refresh);
void PlatformDisplayRestoreMode();

// The window's client rectangle on the desktop, kept by the window stand-in.
void PlatformDisplaySetClientRect(const RECT& rect);
RECT PlatformDisplayClientRect();

// Exclusive mode: lost when a full-screen program loses the focus; every
// video-memory surface is then lost until it is restored.
void PlatformDisplayLoseExclusive();
void PlatformDisplayRegainExclusive();
bool PlatformDisplayHasExclusive();
// A counter that grows whenever surfaces must be treated as lost. Every
// surface call asks: read without the display lock, changed only under it.
extern std::atomic<std::uint64_t> g_PlatformLossEpoch;
inline std::uint64_t PlatformDisplayLossEpoch() { return g_PlatformLossEpoch.load(std::memory_order_acquire); }

// The framebuffer: the primary surface's memory and the window DC's target.
std::uint8_t* PlatformFramebuffer();
int PlatformFramebufferPitch();
void PlatformFramebufferPalette(std::uint32_t* out256);
void PlatformSetFramebufferPalette(const std::uint32_t* rgb256);

// Presenting. `PlatformPresent` shows the client rectangle of the framebuffer
// now (in a window: hands a copy of it to the video thread, which shows the
// newest frame it has); `PlatformMarkDirty` asks for it at the next pump.
void PlatformPresent(DWORD flipFlags);
void PlatformMarkDirty();
void PlatformPumpPresent();
std::uint64_t PlatformPresentCount();
// Frames the program presented itself (a flip or a copy to the window), not
// counting the pump's refreshes of front-screen drawing: scripted input
// advances by these.
std::uint64_t PlatformProgramFrameCount();
// In a window: the frames the display has shown, and the presented frames
// it never showed because a newer one came before it could take them.
std::uint64_t PlatformShownFrameCount();
std::uint64_t PlatformDroppedFrameCount();
// Waits until the window shows the newest presented frame; false when it did
// not within the time.
bool PlatformWaitForDisplay(int timeoutMs);
// Runs `work` on the thread that owns SDL's windows and renderers and waits
// for it (tests read back what a window shows so).
void PlatformRunOnDisplayThread(const std::function<void()>& work);
void PlatformSetFrameSink(PlatformFrameSink sink);
// Told of every present by its number, as the sink is, but without the
// pixels: for a caller that only counts or times frames, so that no frame is
// copied out of the framebuffer for it.
using PlatformPresentListener = std::function<void(std::uint64_t number)>;
void PlatformSetPresentListener(PlatformPresentListener listener);
// A 64-bit hash of a frame's colours (what KELVO_FRAME_HASHES writes).
std::uint64_t PlatformFrameHash(const PlatformFrame& frame);
// Writes a frame as an 8-bit RGB PNG file; false when it cannot be written.
bool PlatformWritePng(const PlatformFrame& frame, const std::string& path);
// The SDL window frames are shown in (null: none); set by the window stand-in.
void PlatformAttachPresentWindow(void* sdlWindow);

// ---- vertical blank ------------------------------------------------------------------
// 525 lines per refresh period, of which the last 45 are the blank.
constexpr int kScanLinesPerFrame = 525;
constexpr int kVisibleScanLines = 480;
bool PlatformInVerticalBlank();
int PlatformScanLine();
// Waits until the next blank begins; gives up after 100 ms so a stalled clock
// cannot hang the caller. Returns false when it gave up.
bool PlatformWaitVerticalBlankStart();
