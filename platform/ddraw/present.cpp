// Presenting finished frames: to the SDL window, to a test's frame sink, and
// as PNG files or hashes when asked. The presenting thread copies the
// window's client area out of the framebuffer once and hands the copy to the
// video thread, which shows the newest frame it has (a streaming texture
// scaled to the window with letterboxing, never waiting for vertical sync)
// and drops any that a newer one replaced before it could take them: a slow
// display shows fewer frames but never holds the program up. Headless runs
// and captures see every frame, on the presenting thread.
#include <SDL.h>
#include <png.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>

#include "ddraw/display_internal.h"
#include "kernel/video_thread.h"
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
    SDL_Window* window = nullptr;  // where frames go; null: nowhere
};

std::mutex g_presentMutex;
PresentState g_present;

// The hand-over to the video thread. Three frame buffers go round: the one
// being filled, the one waiting, the one being shown; none is allocated anew
// once all three have the frame's size.
struct FrameSlot {
    std::mutex mutex;
    std::condition_variable caughtUp;  // told when a show ends
    PlatformFrame waiting;             // the newest frame not yet taken
    bool hasWaiting = false;
    bool showing = false;
    PlatformFrame spare;
    std::uint64_t shown = 0, dropped = 0;
};

// Never destroyed: the video thread may show a frame while the process exits.
FrameSlot& Slot() {
    static FrameSlot* slot = new FrameSlot;
    return *slot;
}

// The video thread's own: the renderer and texture of the window shown in.
struct Screen {
    SDL_Window* window = nullptr;
    std::chrono::steady_clock::time_point lastShow{};
    std::chrono::microseconds period{0};  // of the display's refresh
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0, textureHeight = 0;
    Uint32 textureFormat = 0;
    std::vector<std::uint32_t> widened;  // an 8-bit frame through its palette
};

Screen& TheScreen() {
    static Screen* screen = new Screen;
    return *screen;
}

std::uint32_t Widen(DWORD value, DWORD mask) {
    if (mask == 0) return 0;
    int shift = __builtin_ctz(mask);
    int bits = __builtin_popcount(mask);
    DWORD v = (value & mask) >> shift;
    // Widened by shifting up, without bit replication.
    return bits >= 8 ? (v >> (bits - 8)) : (v << (8 - bits));
}

// Copies the client area of the framebuffer into `frame`, reusing its memory.
void CaptureClientArea(DWORD flipFlags, PlatformFrame& frame) {
    std::lock_guard lock(PlatformDisplayMutex());
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

// Video thread: shows one frame in the screen's window.
void ShowFrame(Screen& screen, const PlatformFrame& frame) {
    if (screen.window == nullptr || frame.width <= 0 || frame.height <= 0) return;
    if (screen.renderer == nullptr) {
        screen.renderer = SDL_GetRenderer(screen.window);
        if (screen.renderer == nullptr) PlatformMakeWindowRenderer(screen.window);
        screen.renderer = SDL_GetRenderer(screen.window);
        if (screen.renderer == nullptr) return;
    }
    const bool eightBit = frame.layout.bitsPerPixel == 8;
    // A new texture for a new size or a new depth (a mode change can keep
    // the size and change the layout).
    const Uint32 format = eightBit ? static_cast<Uint32>(SDL_PIXELFORMAT_RGB888) : SdlFormatFor(frame.layout);
    if (screen.texture == nullptr || screen.textureWidth != frame.width || screen.textureHeight != frame.height ||
        screen.textureFormat != format) {
        if (screen.texture != nullptr) SDL_DestroyTexture(screen.texture);
        screen.texture =
            SDL_CreateTexture(screen.renderer, format, SDL_TEXTUREACCESS_STREAMING, frame.width, frame.height);
        screen.textureWidth = frame.width;
        screen.textureHeight = frame.height;
        screen.textureFormat = format;
        SDL_RenderSetLogicalSize(screen.renderer, frame.width, frame.height);  // letterboxed scaling
    }
    if (screen.texture == nullptr) return;
    if (eightBit) {
        screen.widened.resize(static_cast<std::size_t>(frame.width) * frame.height);
        for (int y = 0; y < frame.height; ++y)
            for (int x = 0; x < frame.width; ++x)
                screen.widened[static_cast<std::size_t>(y) * frame.width + x] =
                    frame.palette[frame.pixels[static_cast<std::size_t>(y) * frame.pitch + x]] & 0xFFFFFF;
        SDL_UpdateTexture(screen.texture, nullptr, screen.widened.data(), frame.width * 4);
    } else {
        SDL_UpdateTexture(screen.texture, nullptr, frame.pixels.data(), frame.pitch);
    }
    SDL_SetRenderDrawColor(screen.renderer, 0, 0, 0, 255);
    SDL_RenderClear(screen.renderer);
    SDL_RenderCopy(screen.renderer, screen.texture, nullptr, nullptr);
    SDL_RenderPresent(screen.renderer);
}

// The display's refresh period: more frames than it refreshes in a second
// are never seen, and only take the processor from the program.
std::chrono::microseconds RefreshPeriod(SDL_Window* window) {
    SDL_DisplayMode mode{};
    int index = window != nullptr ? SDL_GetWindowDisplayIndex(window) : 0;
    int hz = SDL_GetCurrentDisplayMode(index >= 0 ? index : 0, &mode) == 0 ? mode.refresh_rate : 0;
    if (hz <= 0 || hz > 1000) hz = 60;
    return std::chrono::microseconds(1'000'000 / hz);
}

// Video thread, each pass: the newest waiting frame, shown, at most once a
// refresh of the display.
void ShowNewestFrame() {
    FrameSlot& slot = Slot();
    Screen& screen = TheScreen();
    const auto now = std::chrono::steady_clock::now();
    if (screen.period.count() == 0) screen.period = RefreshPeriod(screen.window);
    if (now - screen.lastShow < screen.period) return;
    PlatformFrame frame;
    {
        std::lock_guard lock(slot.mutex);
        if (!slot.hasWaiting) return;
        frame = std::move(slot.waiting);
        slot.hasWaiting = false;
        slot.showing = true;
    }
    screen.lastShow = now;
    ShowFrame(screen, frame);
    {
        std::lock_guard lock(slot.mutex);
        slot.showing = false;
        ++slot.shown;
        if (slot.spare.pixels.capacity() < frame.pixels.capacity()) slot.spare = std::move(frame);
    }
    slot.caughtUp.notify_all();
}

// Video thread: lets go of the renderer (the window changes, or SDL ends).
void ReleaseScreen() {
    Screen& screen = TheScreen();
    if (screen.texture != nullptr) SDL_DestroyTexture(screen.texture);
    if (screen.renderer != nullptr) SDL_DestroyRenderer(screen.renderer);
    screen.texture = nullptr;
    screen.renderer = nullptr;
    screen.window = nullptr;
    screen.period = std::chrono::microseconds(0);
}

// Video thread, before SDL ends: nothing is shown any more.
void ReleaseAtEnd() {
    ReleaseScreen();
    std::lock_guard lock(g_presentMutex);
    g_present.window = nullptr;
}

// Presenting thread: hands a filled frame over; a frame still waiting is
// replaced, and dropped.
void HandOver(PlatformFrame& frame) {
    FrameSlot& slot = Slot();
    {
        std::lock_guard lock(slot.mutex);
        if (slot.hasWaiting) {
            ++slot.dropped;
            std::swap(slot.waiting, frame);
        } else {
            slot.waiting = std::move(frame);
            slot.hasWaiting = true;
            frame = std::move(slot.spare);
        }
    }
    VideoThreadWake();
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

// The frame the presenting thread fills next, its memory kept from frame to
// frame. Its mutex is taken after the display's, as every present does. A
// listener is told only the present's number: no frame is copied for it.
std::mutex g_fillMutex;
PlatformFrame g_filling;

void Present(DWORD flipFlags, bool byProgram) {
    PlatformFrameSink sink;
    PlatformPresentListener listener;
    std::uint64_t number, programFrames;
    bool toWindow;
    {
        std::lock_guard lock(g_presentMutex);
        number = ++g_present.count;
        if (byProgram) ++g_present.programFrames;
        programFrames = g_present.programFrames;
        g_present.dirty = false;
        if (g_present.sink) sink = g_present.sink;
        if (g_present.listener) listener = g_present.listener;
        toWindow = g_present.window != nullptr;
    }
    toWindow = toWindow && !PlatformIsHeadless();
    const char* folder = CaptureFolderFor(number);
    std::FILE* hashes = HashFileFor(number);
    if (sink || folder != nullptr || hashes != nullptr || toWindow) {
        // The one copy of the frame: what the sink, the files and the
        // window all get.
        std::lock_guard display(PlatformDisplayMutex());
        std::lock_guard fill(g_fillMutex);
        CaptureClientArea(flipFlags, g_filling);
        g_filling.number = number;
        if (sink) sink(g_filling);
        if (folder != nullptr) CaptureToFile(g_filling, folder);
        if (hashes != nullptr) WriteFrameHash(g_filling, hashes);
        if (toWindow) HandOver(g_filling);
    }
    if (listener) listener(number);
    if (byProgram) {
        PlatformWriteRunCounters();
        PlatformEndHeadlessRunIfDue(programFrames);
    }
}

}  // namespace

void PlatformPresent(DWORD flipFlags) { Present(flipFlags, true); }

void PlatformMarkDirty() {
    std::lock_guard lock(g_presentMutex);
    g_present.dirty = true;
}

void PlatformPumpPresent() {
    bool dirty;
    {
        std::lock_guard lock(g_presentMutex);
        dirty = g_present.dirty;
    }
    if (dirty) Present(0, false);
}

std::uint64_t PlatformProgramFrameCount() {
    std::lock_guard lock(g_presentMutex);
    return g_present.programFrames;
}

std::uint64_t PlatformShownFrameCount() {
    FrameSlot& slot = Slot();
    std::lock_guard lock(slot.mutex);
    return slot.shown;
}

std::uint64_t PlatformDroppedFrameCount() {
    FrameSlot& slot = Slot();
    std::lock_guard lock(slot.mutex);
    return slot.dropped;
}

bool PlatformWaitForDisplay(int timeoutMs) {
    FrameSlot& slot = Slot();
    std::unique_lock lock(slot.mutex);
    return slot.caughtUp.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return !slot.hasWaiting && !slot.showing; });
}

void PlatformRunOnDisplayThread(const std::function<void()>& work) { VideoThreadCall(work); }

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
    SDL_Window* window = static_cast<SDL_Window*>(sdlWindow);
    {
        std::lock_guard lock(g_presentMutex);
        if (g_present.window == window) return;
        g_present.window = window;
    }
    {
        // A frame meant for the old window is not shown in the new one.
        FrameSlot& slot = Slot();
        std::lock_guard lock(slot.mutex);
        if (slot.hasWaiting) std::swap(slot.spare, slot.waiting);
        slot.hasWaiting = false;
    }
    VideoThreadSetFrameWork(ShowNewestFrame, ReleaseAtEnd);
    VideoThreadCall([window] {
        ReleaseScreen();
        TheScreen().window = window;
    });
    Slot().caughtUp.notify_all();
}

void PlatformResetPresentState() {
    {
        std::lock_guard lock(g_presentMutex);
        g_present.count = 0;
        g_present.programFrames = 0;
        g_present.dirty = false;
    }
    PlatformResetRunCounters();
    FrameSlot& slot = Slot();
    std::lock_guard lock(slot.mutex);
    slot.shown = 0;
    slot.dropped = 0;
}
