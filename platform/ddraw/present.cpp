// Presenting finished frames: to the SDL window (a streaming texture scaled
// to the window with letterboxing, never waiting for vertical sync), to a
// test's frame sink, and as PNG files when KELVO_CAPTURE names a folder.
#include <SDL.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>

#include "ddraw/display_internal.h"
#include "platform/backend.h"
#include "platform/display.h"
#include "platform/window.h"
#include "platform/kernel.h"

namespace {

struct PresentState {
    PlatformFrameSink sink;
    PlatformPresentListener listener;
    std::uint64_t count = 0;
    std::uint64_t programFrames = 0;
    bool dirty = false;
    bool pendingShow = false;  // a frame waits for the main thread
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0, textureHeight = 0;
    Uint32 textureFormat = 0;
};

std::mutex g_presentMutex;
PresentState g_present;

std::uint32_t Widen(DWORD value, DWORD mask) {
    if (mask == 0) return 0;
    int shift = __builtin_ctz(mask);
    int bits = __builtin_popcount(mask);
    DWORD v = (value & mask) >> shift;
    // Widened by shifting up, without bit replication.
    return bits >= 8 ? (v >> (bits - 8)) : (v << (8 - bits));
}

PlatformFrame CaptureClientArea(DWORD flipFlags) {
    std::lock_guard lock(PlatformDisplayMutex());
    PlatformFrame frame;
    RECT client = PlatformDisplayClientRect();
    frame.layout = PlatformDisplayLayout();
    frame.width = client.right - client.left;
    frame.height = client.bottom - client.top;
    int bpp = frame.layout.BytesPerPixel();
    frame.pitch = frame.width * bpp;
    frame.pixels.resize(static_cast<std::size_t>(frame.pitch) * frame.height);
    const std::uint8_t* fb = PlatformFramebuffer();
    int fbPitch = PlatformFramebufferPitch();
    for (int y = 0; y < frame.height; ++y)
        std::memcpy(frame.pixels.data() + static_cast<std::size_t>(y) * frame.pitch,
                    fb + static_cast<std::size_t>(client.top + y) * fbPitch + static_cast<std::size_t>(client.left) * bpp,
                    static_cast<std::size_t>(frame.pitch));
    PlatformFramebufferPalette(frame.palette);
    frame.flipFlags = flipFlags;
    LARGE_INTEGER c{}, f{};
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    frame.micros = static_cast<std::uint64_t>(c.QuadPart) * 1'000'000 / static_cast<std::uint64_t>(f.QuadPart);
    return frame;
}

// KELVO_CAPTURE_EVERY: every how many presents a frame is kept (100). The
// capture settings are read at each present (a look-up is nothing beside a
// frame), so a test can set them.
std::uint64_t CaptureEvery() {
    const char* v = std::getenv("KELVO_CAPTURE_EVERY");
    long n = v != nullptr ? std::strtol(v, nullptr, 10) : 100;
    return static_cast<std::uint64_t>(n > 0 ? n : 100);
}

// The folder KELVO_CAPTURE names when frame `number` is to be written
// there, else null.
const char* CaptureFolderFor(std::uint64_t number) {
    const char* folder = std::getenv("KELVO_CAPTURE");
    if (folder == nullptr || *folder == '\0') return nullptr;
    return number % CaptureEvery() == 0 || number == 1 ? folder : nullptr;
}

// KELVO_FRAME_HASHES=FILE: one line "<present number> <hash>" for every
// KELVO_CAPTURE_EVERY-th frame, so two runs can be compared frame by frame
// without keeping pictures. Null when no line is due for `number`.
std::FILE* HashFileFor(std::uint64_t number) {
    static std::FILE* file = [] {
        const char* path = std::getenv("KELVO_FRAME_HASHES");
        return path != nullptr && *path != '\0' ? std::fopen(path, "w") : nullptr;
    }();
    return file != nullptr && number % CaptureEvery() == 0 ? file : nullptr;
}

void WriteFrameHash(const PlatformFrame& frame, std::FILE* file) {
    std::fprintf(file, "%llu %016llx\n", static_cast<unsigned long long>(frame.number),
                 static_cast<unsigned long long>(PlatformFrameHash(frame)));
    std::fflush(file);
}

// The capture folder is made, with its parents, before the first frame goes
// into it. A folder that cannot be made, or a frame that cannot be written,
// is said on the error stream once for that folder, not at every frame.
std::mutex g_captureMutex;
std::string g_captureFolderMade;  // the folder last made or found
std::string g_captureFolderSaid;  // the folder last reported as unusable

void CaptureToFile(const PlatformFrame& frame, const char* folder) {
    std::lock_guard lock(g_captureMutex);
    auto complain = [&](const std::string& what) {
        if (g_captureFolderSaid == folder) return;
        g_captureFolderSaid = folder;
        std::fprintf(stderr, "kelvo: %s\n", what.c_str());
    };
    if (g_captureFolderMade != folder) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (!ec && !std::filesystem::is_directory(folder, ec))
            ec = std::make_error_code(std::errc::not_a_directory);
        if (ec)
            return complain("cannot make the capture folder " + std::string(folder) + ": " + ec.message() +
                            "; no frames are written");
        g_captureFolderMade = folder;
    }
    char name[64];
    std::snprintf(name, sizeof name, "/frame%06llu.png", static_cast<unsigned long long>(frame.number));
    const std::string path = folder + std::string(name);
    if (!PlatformWritePng(frame, path)) complain("cannot write the captured frame " + path);
}

Uint32 SdlFormatFor(const PlatformPixelLayout& layout) {
    if (layout == kLayout565) return SDL_PIXELFORMAT_RGB565;
    if (layout == kLayout555) return SDL_PIXELFORMAT_RGB555;
    return SDL_PIXELFORMAT_RGB888;
}

// Shows the client area of the framebuffer in the SDL window; main thread
// only. The texture is updated straight from the framebuffer while the
// display is held.
void ShowInWindow() {
    PresentState& p = g_present;
    if (p.window == nullptr) return;
    if (p.renderer == nullptr) {
        // No vertical-sync wait: the game paces itself.
        p.renderer = SDL_CreateRenderer(p.window, -1, 0);
        if (p.renderer == nullptr) return;
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    }
    {
        std::lock_guard lock(PlatformDisplayMutex());
        const RECT client = PlatformDisplayClientRect();
        const PlatformPixelLayout layout = PlatformDisplayLayout();
        const int width = client.right - client.left, height = client.bottom - client.top;
        if (width <= 0 || height <= 0) return;
        const bool eightBit = layout.bitsPerPixel == 8;
        // A new texture for a new size or a new depth (a mode change can
        // keep the size and change the layout).
        const Uint32 format = eightBit ? static_cast<Uint32>(SDL_PIXELFORMAT_RGB888) : SdlFormatFor(layout);
        if (p.texture == nullptr || p.textureWidth != width || p.textureHeight != height || p.textureFormat != format) {
            if (p.texture != nullptr) SDL_DestroyTexture(p.texture);
            p.texture = SDL_CreateTexture(p.renderer, format, SDL_TEXTUREACCESS_STREAMING, width, height);
            p.textureWidth = width;
            p.textureHeight = height;
            p.textureFormat = format;
            SDL_RenderSetLogicalSize(p.renderer, width, height);  // letterboxed scaling
        }
        if (p.texture == nullptr) return;
        const int pitch = PlatformFramebufferPitch();
        const std::uint8_t* first = PlatformFramebuffer() + static_cast<std::size_t>(client.top) * pitch +
                                    static_cast<std::size_t>(client.left) * layout.BytesPerPixel();
        if (eightBit) {
            std::uint32_t palette[256];
            PlatformFramebufferPalette(palette);
            std::vector<std::uint32_t> rgb(static_cast<std::size_t>(width) * height);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    rgb[static_cast<std::size_t>(y) * width + x] =
                        palette[first[static_cast<std::size_t>(y) * pitch + x]] & 0xFFFFFF;
            SDL_UpdateTexture(p.texture, nullptr, rgb.data(), width * 4);
        } else {
            SDL_UpdateTexture(p.texture, nullptr, first, pitch);
        }
    }
    SDL_SetRenderDrawColor(p.renderer, 0, 0, 0, 255);
    SDL_RenderClear(p.renderer);
    SDL_RenderCopy(p.renderer, p.texture, nullptr, nullptr);
    SDL_RenderPresent(p.renderer);
}

}  // namespace

bool PlatformWritePng(const PlatformFrame& frame, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(frame.width), static_cast<png_uint_32>(frame.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<std::size_t>(frame.width) * 3);
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            std::uint32_t rgb = frame.Rgb(x, y);
            row[x * 3] = static_cast<png_byte>(rgb >> 16);
            row[x * 3 + 1] = static_cast<png_byte>(rgb >> 8);
            row[x * 3 + 2] = static_cast<png_byte>(rgb);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

std::uint64_t PlatformFrameHash(const PlatformFrame& frame) {
    // FNV-1a over the colours, row by row: the same picture in any layout
    // with the same colour depth hashes alike, padding never counts.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            std::uint32_t rgb = frame.Rgb(x, y);
            for (int b = 0; b < 3; ++b) {
                hash ^= (rgb >> (8 * b)) & 0xFF;
                hash *= 0x100000001b3ull;
            }
        }
    return hash;
}

std::uint32_t PlatformFrame::Rgb(int x, int y) const {
    DWORD raw = Raw(x, y);
    if (layout.bitsPerPixel == 8) return palette[raw & 0xFF] & 0xFFFFFF;
    return (Widen(raw, layout.redMask) << 16) | (Widen(raw, layout.greenMask) << 8) | Widen(raw, layout.blueMask);
}

DWORD PlatformFrame::Raw(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    const std::uint8_t* p = pixels.data() + static_cast<std::size_t>(y) * pitch +
                            static_cast<std::size_t>(x) * layout.BytesPerPixel();
    switch (layout.BytesPerPixel()) {
        case 1: return p[0];
        case 2: return static_cast<DWORD>(p[0] | (p[1] << 8));
        case 3: return static_cast<DWORD>(p[0] | (p[1] << 8) | (p[2] << 16));
        default: return static_cast<DWORD>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24));
    }
}

namespace {

// A frame is copied out of the framebuffer only for a test's sink, a capture
// file or a frame hash; the window reads the framebuffer itself, and a
// listener is told only the present's number.
void Present(DWORD flipFlags, bool byProgram) {
    PlatformFrameSink sink;
    PlatformPresentListener listener;
    std::uint64_t number, programFrames;
    const bool inWindow = !PlatformIsHeadless();
    const bool mainThread = PlatformIsMainThread();
    {
        std::lock_guard lock(g_presentMutex);
        number = ++g_present.count;
        if (byProgram) ++g_present.programFrames;
        programFrames = g_present.programFrames;
        g_present.dirty = false;
        if (g_present.sink) sink = g_present.sink;
        if (g_present.listener) listener = g_present.listener;
        g_present.pendingShow = inWindow && !mainThread;
    }
    const char* folder = CaptureFolderFor(number);
    std::FILE* hashes = HashFileFor(number);
    if (sink || folder != nullptr || hashes != nullptr) {
        PlatformFrame frame = CaptureClientArea(flipFlags);
        frame.number = number;
        if (sink) sink(frame);
        if (folder != nullptr) CaptureToFile(frame, folder);
        if (hashes != nullptr) WriteFrameHash(frame, hashes);
    }
    if (listener) listener(number);
    if (inWindow && mainThread) ShowInWindow();
    if (byProgram) PlatformEndHeadlessRunIfDue(programFrames);
}

}  // namespace

void PlatformPresent(DWORD flipFlags) { Present(flipFlags, true); }

void PlatformMarkDirty() {
    std::lock_guard lock(g_presentMutex);
    g_present.dirty = true;
}

void PlatformPumpPresent() {
    bool dirty, pending;
    {
        std::lock_guard lock(g_presentMutex);
        dirty = g_present.dirty;
        pending = g_present.pendingShow;
        if (!dirty && pending && PlatformIsMainThread()) g_present.pendingShow = false;
    }
    if (dirty)
        Present(0, false);
    else if (pending && PlatformIsMainThread() && !PlatformIsHeadless())
        ShowInWindow();
}

std::uint64_t PlatformProgramFrameCount() {
    std::lock_guard lock(g_presentMutex);
    return g_present.programFrames;
}

std::uint64_t PlatformPresentCount() {
    std::lock_guard lock(g_presentMutex);
    return g_present.count;
}

void PlatformSetFrameSink(PlatformFrameSink sink) {
    std::lock_guard lock(g_presentMutex);
    g_present.sink = std::move(sink);
}

void PlatformSetPresentListener(PlatformPresentListener listener) {
    std::lock_guard lock(g_presentMutex);
    g_present.listener = std::move(listener);
}

void PlatformAttachPresentWindow(void* sdlWindow) {
    std::lock_guard lock(g_presentMutex);
    PresentState& p = g_present;
    if (p.window == sdlWindow) return;
    if (p.texture != nullptr) SDL_DestroyTexture(p.texture);
    if (p.renderer != nullptr) SDL_DestroyRenderer(p.renderer);
    p.texture = nullptr;
    p.renderer = nullptr;
    p.window = static_cast<SDL_Window*>(sdlWindow);
}

void PlatformResetPresentState() {
    std::lock_guard lock(g_presentMutex);
    g_present.count = 0;
    g_present.programFrames = 0;
    g_present.dirty = false;
    g_present.pendingShow = false;
}
