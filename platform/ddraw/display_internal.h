// Shared between the display, presenting and the DirectDraw stand-in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

// Pixel memory of surfaces and of the framebuffer starts on a cache line, so
// that rows of a pitch that is a multiple of 32 bytes take whole vectors.
template <typename T>
struct CacheLineAllocator {
    using value_type = T;
    static constexpr std::align_val_t kAlignment{64};
    CacheLineAllocator() = default;
    template <typename U>
    CacheLineAllocator(const CacheLineAllocator<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), kAlignment)); }
    void deallocate(T* p, std::size_t) { ::operator delete(p, kAlignment); }
    template <typename U>
    bool operator==(const CacheLineAllocator<U>&) const { return true; }
};
using PixelMemory = std::vector<std::uint8_t, CacheLineAllocator<std::uint8_t>>;

// Guards the display state; DirectDraw and GDI calls take it while they touch
// the framebuffer.
std::recursive_mutex& PlatformDisplayMutex();
// Bytes per row of a surface `width` pixels wide: 8-byte aligned plus the
// test padding.
int PlatformSurfacePitch(int width, int bytesPerPixel);
void PlatformResetPresentState();
// Trades the framebuffer's memory for `memory` when both have the same size
// and row pitch (a flip); false, with nothing changed, otherwise.
bool PlatformSwapFramebuffer(PixelMemory& memory, int pitch);
// KELVO_COUNTERS: rewrites the counters file after a program's present;
// notes the first close a window was asked for (and rewrites it at once);
// forgets that close (PlatformResetPresentState).
void PlatformWriteRunCounters();
void PlatformNoteCloseRequest();
void PlatformResetRunCounters();
// Video thread: an SDL window (SDL_CreateWindow's arguments) made for the
// renderer that will draw in it, and that renderer: OpenGL's where the display
// gives OpenGL, else the software renderer. Null when no window could be made.
void* PlatformMakeRenderedWindow(const char* title, int x, int y, int width, int height, unsigned flags);
// Video thread: gives an SDL window the renderer frames are shown through:
// OpenGL's when the window was made for OpenGL, else (or should that fail)
// the software renderer. Neither makes the window anew, so that a window the
// window manager, and the user, already know is never replaced.
void PlatformMakeWindowRenderer(void* sdlWindow);
