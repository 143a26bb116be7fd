// Device contexts and bitmaps over the display framebuffer, surfaces and
// memory bitmaps.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "ddraw/display_internal.h"
#include "ddraw/gdi_font_internal.h"
#include "ddraw/gdi_internal.h"
#include "ddraw/pixel_access.h"
#include "ddraw/pixel_rows.h"
#include "ddraw/short_copy.h"
#include "platform/kernel.h"

namespace {

struct Bitmap {
    int width = 0, height = 0, pitch = 0;
    PlatformPixelLayout layout{};
    std::vector<std::uint8_t> bits;
};

enum class DcKind { Window, Display, Memory, Target };

struct DeviceContext {
    DcKind kind;
    std::shared_ptr<Bitmap> bitmap;  // memory DCs
    HGDIOBJ font = nullptr;          // null: the stock font
    DcPixelOwner* owner = nullptr;   // target DCs
};

std::mutex g_gdiMutex;
std::unordered_map<std::uintptr_t, std::shared_ptr<Bitmap>> g_bitmaps;
std::uintptr_t g_nextHandle = 0x10000;
// What SelectObject hands back for a DC's first bitmap and first font.
constexpr std::uintptr_t kStockBitmap = 0xB17;
constexpr std::uintptr_t kStockFont = 0xF07;

std::uintptr_t NewHandle() {
    g_nextHandle += 16;
    return g_nextHandle;
}

// Device contexts by handle. A DC handle holds its slot's number and how
// many times the slot has been taken, so a handle given back stays dead when
// its slot is taken again. Slots come in blocks that never move: a handle is
// resolved without the lock or a search (a surface's DC is used for every
// copy through it); the lock guards taking and freeing slots.
static_assert(sizeof(std::uintptr_t) == 8, "DC handles hold a slot number and a use count");
constexpr std::uintptr_t kDcTag = 0xD;  // the low bits of every DC handle
constexpr std::size_t kDcSlotsPerBlock = 256, kDcBlocks = 256;
struct DcSlot {
    std::atomic<std::uintptr_t> handle{0};    // 0 while free
    std::atomic<DeviceContext*> dc{nullptr};  // owned while taken
    std::uint32_t taken = 0;
};
std::atomic<DcSlot*> g_dcBlocks[kDcBlocks];
std::vector<std::uint32_t> g_freeDcSlots;  // under g_gdiMutex
std::uint32_t g_dcSlotsMade = 0;
int g_openDcs = 0;

DcSlot* SlotOf(std::uintptr_t handle) {
    if ((handle & 0xF) != kDcTag) return nullptr;
    const std::size_t index = (handle >> 4) & 0xFFFF;
    DcSlot* block = g_dcBlocks[index / kDcSlotsPerBlock].load(std::memory_order_acquire);
    return block != nullptr ? &block[index % kDcSlotsPerBlock] : nullptr;
}

DeviceContext* FindDC(HDC dc) {
    const auto handle = reinterpret_cast<std::uintptr_t>(dc);
    DcSlot* slot = SlotOf(handle);
    if (slot == nullptr || slot->handle.load(std::memory_order_acquire) != handle) return nullptr;
    return slot->dc.load(std::memory_order_relaxed);
}

// Null when every slot is taken.
HDC AddDC(std::unique_ptr<DeviceContext> dc) {
    std::lock_guard lock(g_gdiMutex);
    std::uint32_t index;
    if (!g_freeDcSlots.empty()) {
        index = g_freeDcSlots.back();
        g_freeDcSlots.pop_back();
    } else {
        if (g_dcSlotsMade == kDcSlotsPerBlock * kDcBlocks) return nullptr;
        index = g_dcSlotsMade++;
        std::atomic<DcSlot*>& block = g_dcBlocks[index / kDcSlotsPerBlock];
        if (block.load(std::memory_order_relaxed) == nullptr)
            block.store(new DcSlot[kDcSlotsPerBlock], std::memory_order_release);  // kept for the process
    }
    DcSlot& slot = g_dcBlocks[index / kDcSlotsPerBlock].load(std::memory_order_relaxed)[index % kDcSlotsPerBlock];
    slot.taken = (slot.taken + 1) & 0xFFFFFFFu;
    if (slot.taken == 0) slot.taken = 1;
    slot.dc.store(dc.release(), std::memory_order_relaxed);
    const std::uintptr_t handle = (static_cast<std::uintptr_t>(slot.taken) << 20) | (std::uintptr_t{index} << 4) | kDcTag;
    slot.handle.store(handle, std::memory_order_release);
    ++g_openDcs;
    return reinterpret_cast<HDC>(handle);
}

// Frees the DC if it is one and, unless `target`, not a surface's own.
bool RemoveDC(HDC dc, bool target) {
    const auto handle = reinterpret_cast<std::uintptr_t>(dc);
    std::lock_guard lock(g_gdiMutex);
    DcSlot* slot = SlotOf(handle);
    if (slot == nullptr || slot->handle.load(std::memory_order_relaxed) != handle) return false;
    if ((slot->dc.load(std::memory_order_relaxed)->kind == DcKind::Target) != target) return false;
    slot->handle.store(0, std::memory_order_release);
    delete slot->dc.exchange(nullptr, std::memory_order_relaxed);
    g_freeDcSlots.push_back(static_cast<std::uint32_t>((handle >> 4) & 0xFFFF));
    --g_openDcs;
    return true;
}

// What a DC draws into, now. The window DC is the client rectangle of the
// framebuffer; the display DC the whole framebuffer. Filled in place: a
// surface's view is made for every copy through its DC.
void TargetOf(const DeviceContext& dc, PixelTarget* out) {
    PixelTarget& t = *out;
    t = PixelTarget{};
    switch (dc.kind) {
        case DcKind::Window:
        case DcKind::Display: {
            std::lock_guard lock(PlatformDisplayMutex());
            std::uint8_t* fb = PlatformFramebuffer();
            t.pitch = PlatformFramebufferPitch();
            t.layout = PlatformDisplayLayout();
            t.screen = true;
            if (dc.kind == DcKind::Window) {
                RECT client = PlatformDisplayClientRect();
                t.bits = fb + static_cast<std::size_t>(client.top) * t.pitch +
                         static_cast<std::size_t>(client.left) * t.layout.BytesPerPixel();
                t.width = client.right - client.left;
                t.height = client.bottom - client.top;
            } else {
                t.bits = fb;
                t.width = PlatformDisplayWidth();
                t.height = PlatformDisplayHeight();
            }
            break;
        }
        case DcKind::Memory:
            if (dc.bitmap) {
                t.bits = dc.bitmap->bits.data();
                t.pitch = dc.bitmap->pitch;
                t.width = dc.bitmap->width;
                t.height = dc.bitmap->height;
                t.layout = dc.bitmap->layout;
            }
            break;
        case DcKind::Target: dc.owner->DcTarget(&t); break;
    }
}

void AfterWrite(const DeviceContext& dc) {
    if (dc.kind == DcKind::Window) PlatformPresent(0);
    else if (dc.kind == DcKind::Display) PlatformMarkDirty();
    else if (dc.kind == DcKind::Target) dc.owner->DcWritten();
}

// Whether two targets' pixels share any memory: two DCs of the framebuffer,
// or of one bitmap.
bool SameMemory(const PixelTarget& a, const PixelTarget& b) {
    const auto start = [](const PixelTarget& t) { return reinterpret_cast<std::uintptr_t>(t.bits); };
    const auto end = [&](const PixelTarget& t) { return start(t) + static_cast<std::size_t>(t.pitch) * t.height; };
    return start(a) < end(b) && start(b) < end(a);
}

// Rows of 32 to 512 bytes in 32-byte moves, the last one meeting the row's
// end (it may overlap the move before it).
__attribute__((target("avx2"))) void CopyMidRowsWide(std::uint8_t* out, std::size_t outPitch, const std::uint8_t* in,
                                                     std::size_t inPitch, std::size_t rowBytes, int rows) {
    typedef std::uint8_t Block32 __attribute__((vector_size(32)));
    for (int j = 0; j < rows; ++j, out += outPitch, in += inPitch) {
        for (std::size_t i = 0; i + 32 < rowBytes; i += 32) {
            Block32 v;
            std::memcpy(&v, in + i, 32);
            std::memcpy(out + i, &v, 32);
        }
        Block32 last;
        std::memcpy(&last, in + rowBytes - 32, 32);
        std::memcpy(out + rowBytes - 32, &last, 32);
    }
}

bool WideMovesHere() {
#if defined(__x86_64__) || defined(__i386__)
    static const bool wide = __builtin_cpu_supports("avx2") != 0;
    return wide;
#else
    return false;
#endif
}

// Rows of the same layout between memory that does not overlap. The rows of
// a small picture (a sprite copied through a work surface) are a few dozen
// to a few hundred bytes: 32-byte moves where the processor has them.
void CopyRows(std::uint8_t* out, std::size_t outPitch, const std::uint8_t* in, std::size_t inPitch,
              std::size_t rowBytes, int rows) {
    if (rowBytes >= 32 && rowBytes <= 512 && WideMovesHere())
        return CopyMidRowsWide(out, outPitch, in, inPitch, rowBytes, rows);
    for (int j = 0; j < rows; ++j, out += outPitch, in += inPitch) CopyShortRun(out, in, rowBytes);
}

// Moves a pixel value between layouts channel by channel (8-bit indexed
// pixels are copied as they are).
DWORD Convert(DWORD v, const PlatformPixelLayout& from, const PlatformPixelLayout& to) {
    if (from == to || from.bitsPerPixel == 8 || to.bitsPerPixel == 8) return v;
    auto channel = [&](DWORD fromMask, DWORD toMask) -> DWORD {
        if (fromMask == 0 || toMask == 0) return 0;
        int fs = __builtin_ctz(fromMask), fb = __builtin_popcount(fromMask);
        int ts = __builtin_ctz(toMask), tb = __builtin_popcount(toMask);
        DWORD c = (v & fromMask) >> fs;
        c = tb >= fb ? c << (tb - fb) : c >> (fb - tb);
        return (c << ts) & toMask;
    };
    return channel(from.redMask, to.redMask) | channel(from.greenMask, to.greenMask) |
           channel(from.blueMask, to.blueMask);
}

PlatformPixelLayout LayoutOfDib(const BITMAPINFO* info) {
    PlatformPixelLayout layout{info->bmiHeader.biBitCount, 0, 0, 0, 0};
    if (info->bmiHeader.biCompression == BI_BITFIELDS) {
        DWORD masks[3];
        std::memcpy(masks, info->bmiColors, sizeof masks);
        layout.redMask = masks[0];
        layout.greenMask = masks[1];
        layout.blueMask = masks[2];
    } else if (layout.bitsPerPixel == 16) {
        layout = kLayout555;
    } else if (layout.bitsPerPixel >= 24) {
        layout.redMask = 0xFF0000;
        layout.greenMask = 0xFF00;
        layout.blueMask = 0xFF;
    }
    return layout;
}

bool DibUsable(const BITMAPINFO* info) {
    if (info == nullptr) return false;
    const auto& h = info->bmiHeader;
    return h.biWidth > 0 && h.biWidth <= 16384 && h.biHeight != 0 && h.biHeight >= -16384 && h.biHeight <= 16384 &&
           (h.biBitCount == 8 || h.biBitCount == 16 || h.biBitCount == 24 || h.biBitCount == 32);
}

// Nearest-neighbour copy of a source rectangle (in a DIB) onto a destination
// rectangle of a DC, clipped to the destination. Rows in the DC's own layout
// are copied whole.
int CopyDibToDC(HDC dc, int x, int y, int width, int height, int sx, int sy, int sw, int sh, const void* bits,
                const BITMAPINFO* info) {
    DeviceContext* context = FindDC(dc);
    // A negative source width mirrors: columns are read leftwards from sx.
    if (context == nullptr || bits == nullptr || !DibUsable(info) || width <= 0 || height <= 0 || sw == 0 || sh <= 0) return 0;
    PixelTarget dest;
    TargetOf(*context, &dest);
    // Into the framebuffer under the display lock, as BitBlt does.
    std::unique_lock<std::recursive_mutex> screenLock;
    if (dest.screen) {
        screenLock = std::unique_lock(PlatformDisplayMutex());
        TargetOf(*context, &dest);
    }
    if (dest.bits == nullptr) return 0;
    const auto& h = info->bmiHeader;
    PlatformPixelLayout from = LayoutOfDib(info);
    int srcW = h.biWidth, srcH = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    bool topDown = h.biHeight < 0;
    int srcPitch = ((srcW * h.biBitCount + 31) / 32) * 4;
    int fromBytes = from.BytesPerPixel(), toBytes = dest.layout.BytesPerPixel();
    const auto* src = static_cast<const std::uint8_t*>(bits);
    // The columns drawn, the same on every row: inside the destination, and
    // reading inside the source (both hold for one unbroken run of them).
    auto column = [&](long long i) { return sx + static_cast<long long>(i) * sw / width; };
    long long first = std::max<long long>(0, -static_cast<long long>(x));
    long long end = std::min<long long>(width, static_cast<long long>(dest.width) - x);
    while (first < end && (column(first) < 0 || column(first) >= srcW)) ++first;
    while (end > first && (column(end - 1) < 0 || column(end - 1) >= srcW)) --end;
    const std::size_t count = static_cast<std::size_t>(std::max<long long>(0, end - first));
    thread_local std::vector<std::uint32_t> offsets;
    offsets.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        offsets[i] = static_cast<std::uint32_t>(column(first + static_cast<long long>(i)) * fromBytes);
    const bool sameLayout = from == dest.layout;
    const bool straight = sameLayout && sw == width;
    int lines = 0;
    for (int j = 0; j < height; ++j) {
        int dy = y + j;
        if (dy < 0 || dy >= dest.height) continue;
        int row = sy + static_cast<int>(static_cast<long long>(j) * sh / height);
        if (row < 0 || row >= srcH) continue;
        const std::uint8_t* srcRow = src + static_cast<std::size_t>(topDown ? row : srcH - 1 - row) * srcPitch;
        std::uint8_t* out = dest.bits + static_cast<std::size_t>(dy) * dest.pitch +
                            static_cast<std::size_t>(x + first) * toBytes;
        if (count > 0 && straight)
            std::memcpy(out, srcRow + offsets[0], count * static_cast<std::size_t>(toBytes));
        else if (sameLayout)
            CopySteppedPixelRow(out, srcRow, offsets.data(), count, toBytes, false, 0, 0);
        else
            for (std::size_t i = 0; i < count; ++i)
                WritePixel(out + i * toBytes, toBytes, Convert(ReadPixel(srcRow + offsets[i], fromBytes), from, dest.layout));
        ++lines;
    }
    if (screenLock.owns_lock()) screenLock.unlock();
    AfterWrite(*context);
    return lines;
}

}  // namespace

HDC CreateTargetDC(DcPixelOwner* owner) {
    auto dc = std::make_unique<DeviceContext>();
    dc->kind = DcKind::Target;
    dc->owner = owner;
    return AddDC(std::move(dc));
}

void DestroyTargetDC(HDC dc) { RemoveDC(dc, true); }

int PlatformOpenDCCount() {
    std::lock_guard lock(g_gdiMutex);
    return g_openDcs;
}

HDC GetDC(HWND window) {
    auto dc = std::make_unique<DeviceContext>();
    dc->kind = window == nullptr ? DcKind::Display : DcKind::Window;
    return AddDC(std::move(dc));
}

int ReleaseDC(HWND, HDC dc) { return RemoveDC(dc, false) ? 1 : 0; }

int GetDeviceCaps(HDC dc, int index) {
    const DeviceContext* context = FindDC(dc);
    PlatformPixelLayout layout = PlatformDisplayLayout();
    if (context != nullptr && context->kind == DcKind::Memory && context->bitmap) layout = context->bitmap->layout;
    switch (index) {
        case BITSPIXEL: return layout.bitsPerPixel;
        case HORZRES: return PlatformDisplayWidth();
        case VERTRES: return PlatformDisplayHeight();
        case VREFRESH: {
            const int reported = PlatformDisplayKnobsRef().reportedRefresh;
            return reported >= 0 ? reported : PlatformDisplayRefresh();
        }
        default: return 0;
    }
}

HDC CreateCompatibleDC(HDC) {
    auto dc = std::make_unique<DeviceContext>();
    dc->kind = DcKind::Memory;
    return AddDC(std::move(dc));
}

BOOL DeleteDC(HDC dc) { return RemoveDC(dc, false); }

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    const DeviceContext* context = FindDC(dc);
    auto bitmap = std::make_shared<Bitmap>();
    bitmap->layout = (context != nullptr && context->kind == DcKind::Memory && context->bitmap) ? context->bitmap->layout
                                                                                      : PlatformDisplayLayout();
    bitmap->width = width;
    bitmap->height = height;
    bitmap->pitch = (width * bitmap->layout.BytesPerPixel() + 3) & ~3;
    bitmap->bits.assign(static_cast<std::size_t>(bitmap->pitch) * height, 0);
    std::lock_guard lock(g_gdiMutex);
    std::uintptr_t handle = NewHandle();
    g_bitmaps.emplace(handle, std::move(bitmap));
    return reinterpret_cast<HBITMAP>(handle);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD) {
    if (bits != nullptr) *bits = nullptr;
    if (!DibUsable(info) || info->bmiHeader.biHeight >= 0 || info->bmiHeader.biBitCount == 8) return nullptr;
    auto bitmap = std::make_shared<Bitmap>();
    bitmap->layout = LayoutOfDib(info);
    bitmap->width = info->bmiHeader.biWidth;
    bitmap->height = -info->bmiHeader.biHeight;
    // DIB rows are padded to four bytes.
    bitmap->pitch = (bitmap->width * bitmap->layout.BytesPerPixel() + 3) & ~3;
    bitmap->bits.assign(static_cast<std::size_t>(bitmap->pitch) * bitmap->height, 0);
    if (bits != nullptr) *bits = bitmap->bits.data();
    std::lock_guard lock(g_gdiMutex);
    std::uintptr_t handle = NewHandle();
    g_bitmaps.emplace(handle, std::move(bitmap));
    return reinterpret_cast<HBITMAP>(handle);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    std::lock_guard lock(g_gdiMutex);
    DeviceContext* context = FindDC(dc);
    if (context == nullptr) return nullptr;
    const auto value = reinterpret_cast<std::uintptr_t>(object);
    if (value == kStockFont || IsFontObject(object)) {
        HGDIOBJ old = context->font;
        context->font = value == kStockFont ? nullptr : object;
        return old != nullptr ? old : reinterpret_cast<HGDIOBJ>(kStockFont);
    }
    auto bmIt = g_bitmaps.find(value);
    if (bmIt == g_bitmaps.end()) return object;  // pens and brushes: accepted, not used here
    std::shared_ptr<Bitmap> old = context->bitmap;
    context->bitmap = bmIt->second;
    if (!old) return reinterpret_cast<HGDIOBJ>(kStockBitmap);  // the stock 1 x 1 bitmap
    for (auto& [handle, bm] : g_bitmaps)
        if (bm == old) return reinterpret_cast<HGDIOBJ>(handle);
    return nullptr;
}

HGDIOBJ SelectedFontOf(HDC dc) {
    std::lock_guard lock(g_gdiMutex);
    const DeviceContext* context = FindDC(dc);
    return context != nullptr ? context->font : nullptr;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (object == nullptr) return FALSE;
    if (DeleteFontObject(object)) return TRUE;
    std::lock_guard lock(g_gdiMutex);
    g_bitmaps.erase(reinterpret_cast<std::uintptr_t>(object));
    return TRUE;
}

BOOL BitBlt(HDC destDC, int x, int y, int width, int height, HDC sourceDC, int sx, int sy, DWORD rop) {
    DeviceContext* dest = FindDC(destDC);
    DeviceContext* source = FindDC(sourceDC);
    if (dest == nullptr || source == nullptr || rop != SRCCOPY) return FALSE;
    PixelTarget d, s;
    TargetOf(*dest, &d);
    TargetOf(*source, &s);
    // The framebuffer is read by the presenting thread and moves with the
    // display mode: a copy touching it is made under the display lock, from
    // the framebuffer as it is then.
    std::unique_lock<std::recursive_mutex> screenLock;
    if (d.screen || s.screen) {
        screenLock = std::unique_lock(PlatformDisplayMutex());
        TargetOf(*dest, &d);
        TargetOf(*source, &s);
    }
    if (d.bits == nullptr || s.bits == nullptr) return FALSE;
    const int db = d.layout.BytesPerPixel(), sb = s.layout.BytesPerPixel();
    // Clipped to both sides once, then copied row by row: whole rows at once
    // when the layouts agree, pixel by pixel through a conversion otherwise.
    using Wide = long long;  // no overflow whatever the caller passes
    const Wide wideLeft = std::max({Wide{0}, -Wide{x}, -Wide{sx}}), wideTop = std::max({Wide{0}, -Wide{y}, -Wide{sy}});
    const Wide wideRight = std::min({Wide{width}, Wide{d.width} - x, Wide{s.width} - sx});
    const Wide wideBottom = std::min({Wide{height}, Wide{d.height} - y, Wide{s.height} - sy});
    if (wideLeft < wideRight && wideTop < wideBottom) {
        const int left = static_cast<int>(wideLeft), top = static_cast<int>(wideTop);
        const int right = static_cast<int>(wideRight), bottom = static_cast<int>(wideBottom);
        const std::size_t rowBytes = static_cast<std::size_t>(right - left) * db;
        std::uint8_t* out = d.bits + static_cast<std::size_t>(y + top) * d.pitch + static_cast<std::size_t>(x + left) * db;
        const std::uint8_t* in =
            s.bits + static_cast<std::size_t>(sy + top) * s.pitch + static_cast<std::size_t>(sx + left) * sb;
        if (d.layout != s.layout) {
            for (int j = top; j < bottom; ++j, out += d.pitch, in += s.pitch)
                for (int i = 0; i < right - left; ++i)
                    WritePixel(out + static_cast<std::size_t>(i) * db, db,
                               Convert(ReadPixel(in + static_cast<std::size_t>(i) * sb, sb), s.layout, d.layout));
        } else if (!SameMemory(d, s)) {
            CopyRows(out, static_cast<std::size_t>(d.pitch), in, static_cast<std::size_t>(s.pitch), rowBytes, bottom - top);
        } else if (out <= in) {
            for (int j = top; j < bottom; ++j, out += d.pitch, in += s.pitch) std::memmove(out, in, rowBytes);
        } else {
            // Moving down the same memory: rows from the bottom up, so that
            // every row is read before it is overwritten.
            out += static_cast<std::size_t>(bottom - 1 - top) * d.pitch;
            in += static_cast<std::size_t>(bottom - 1 - top) * s.pitch;
            for (int j = top; j < bottom; ++j, out -= d.pitch, in -= s.pitch) std::memmove(out, in, rowBytes);
        }
    }
    if (screenLock.owns_lock()) screenLock.unlock();
    AfterWrite(*dest);
    return TRUE;
}

int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int sourceX, int sourceY, UINT, UINT lines,
                      const void* bits, const BITMAPINFO* info, UINT) {
    if (width > 16384 || height > 16384) return 0;
    int w = static_cast<int>(width), h = static_cast<int>(std::min<DWORD>(height, lines));
    return CopyDibToDC(dc, x, y, w, h, sourceX, sourceY, w, h, bits, info);
}

int StretchDIBits(HDC dc, int x, int y, int width, int height, int sourceX, int sourceY, int sourceWidth,
                  int sourceHeight, const void* bits, const BITMAPINFO* info, UINT, DWORD rop) {
    if (rop != SRCCOPY) return 0;
    return CopyDibToDC(dc, x, y, width, height, sourceX, sourceY, sourceWidth, sourceHeight, bits, info);
}

int GetDIBits(HDC, HBITMAP bitmapHandle, UINT startScan, UINT lines, void* bits, BITMAPINFO* info, UINT) {
    std::shared_ptr<Bitmap> bitmap;
    {
        std::lock_guard lock(g_gdiMutex);
        auto it = g_bitmaps.find(reinterpret_cast<std::uintptr_t>(bitmapHandle));
        if (it != g_bitmaps.end()) bitmap = it->second;
    }
    if (!bitmap || !DibUsable(info) || bits == nullptr) return 0;
    const auto& h = info->bmiHeader;
    PlatformPixelLayout to = LayoutOfDib(info);
    int dibW = h.biWidth, dibH = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    bool topDown = h.biHeight < 0;
    int pitch = ((dibW * h.biBitCount + 31) / 32) * 4;
    int tb = to.BytesPerPixel(), fb = bitmap->layout.BytesPerPixel();
    auto* out = static_cast<std::uint8_t*>(bits);
    int copied = 0;
    for (UINT n = 0; n < lines; ++n) {
        int row = static_cast<int>(startScan + n);  // counted from the bottom, as DIB scans are
        if (row >= dibH) break;
        int bitmapRow = bitmap->height - 1 - row;
        int dibRow = topDown ? dibH - 1 - row : row;
        if (bitmapRow < 0 || bitmapRow >= bitmap->height) continue;
        for (int x = 0; x < std::min(dibW, bitmap->width); ++x) {
            DWORD v = ReadPixel(bitmap->bits.data() + static_cast<std::size_t>(bitmapRow) * bitmap->pitch +
                                    static_cast<std::size_t>(x) * fb,
                                fb);
            WritePixel(out + static_cast<std::size_t>(dibRow) * pitch + static_cast<std::size_t>(x) * tb, tb,
                       Convert(v, bitmap->layout, to));
        }
        ++copied;
    }
    return copied;
}

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD) {
    if (mode == nullptr) {
        PlatformDisplayRestoreMode();
        return DISP_CHANGE_SUCCESSFUL;
    }
    // A field the caller did not mark is the current mode's.
    auto field = [&](DWORD flag, DWORD value, int current) {
        return (mode->dmFields & flag) ? static_cast<int>(value) : current;
    };
    const int refresh = field(DM_DISPLAYFREQUENCY, mode->dmDisplayFrequency, 0);
    return PlatformDisplaySetMode(field(DM_PELSWIDTH, mode->dmPelsWidth, PlatformDisplayWidth()),
                                  field(DM_PELSHEIGHT, mode->dmPelsHeight, PlatformDisplayHeight()),
                                  field(DM_BITSPERPEL, mode->dmBitsPerPel, PlatformDisplayLayout().bitsPerPixel),
                                  refresh)
               ? DISP_CHANGE_SUCCESSFUL
               : DISP_CHANGE_BADMODE;
}
