// Device contexts and bitmaps of the GDI stand-in: what a DC reports, what
// selecting hands back, bitmaps and DIB sections with the system's row
// layout, the headers and requests refused, conversions between layouts,
// DIBs read back in either row order; handles that are dead, foreign or a
// surface's own, and copies between two DCs over the same memory.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/ddraw_fixture.h"
#include "platform/gdi.h"

namespace {

using GdiDc = DirectDrawFixture;

BITMAPINFO Header(LONG width, LONG height, WORD bits, const DWORD* masks = nullptr) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bits;
    info.bmiHeader.biCompression = masks != nullptr ? BI_BITFIELDS : BI_RGB;
    if (masks != nullptr) std::memcpy(info.bmiColors, masks, 3 * sizeof(DWORD));
    return info;
}

constexpr DWORD k565[3] = {0xF800, 0x07E0, 0x001F};
constexpr DWORD k555[3] = {0x7C00, 0x03E0, 0x001F};
constexpr DWORD kBgr[3] = {0x0000FF, 0x00FF00, 0xFF0000};

// What DCs report of themselves, what selecting gives back, and that every
// DC is let go exactly once.
TEST_F(GdiDc, CapsSelectionsAndReleases) {
    const int before = PlatformOpenDCCount();
    HDC display = GetDC(nullptr);
    HDC window = GetDC(FakeWindow());
    HDC memory = CreateCompatibleDC(display);
    EXPECT_EQ(PlatformOpenDCCount(), before + 3);
    const struct {
        int index, value;
    } caps[] = {{BITSPIXEL, 32}, {HORZRES, 1024}, {VERTRES, 768}, {VREFRESH, 60}, {90, 0}};
    for (HDC dc : {display, window, memory, static_cast<HDC>(nullptr)})
        for (const auto& c : caps) EXPECT_EQ(GetDeviceCaps(dc, c.index), c.value) << c.index;
    // A memory DC reports the depth of its bitmap.
    BITMAPINFO info = Header(3, -2, 16, k565);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    HBITMAP plain = CreateCompatibleBitmap(display, 4, 4);
    EXPECT_EQ(SelectObject(memory, section), reinterpret_cast<HGDIOBJ>(0xB17)) << "the stock bitmap comes back first";
    EXPECT_EQ(GetDeviceCaps(memory, BITSPIXEL), 16);
    EXPECT_EQ(GetDeviceCaps(memory, HORZRES), 1024) << "the screen's, not the bitmap's";
    HBITMAP matching = CreateCompatibleBitmap(memory, 2, 2);  // in the memory DC's layout
    EXPECT_EQ(SelectObject(memory, plain), static_cast<HGDIOBJ>(section));
    EXPECT_EQ(GetDeviceCaps(memory, BITSPIXEL), 32);
    EXPECT_EQ(SelectObject(memory, matching), static_cast<HGDIOBJ>(plain));
    EXPECT_EQ(GetDeviceCaps(memory, BITSPIXEL), 16);
    int pen = 0;
    EXPECT_EQ(SelectObject(memory, &pen), static_cast<HGDIOBJ>(&pen)) << "pens and brushes are taken as they are";
    EXPECT_EQ(GetDeviceCaps(memory, BITSPIXEL), 16);
    EXPECT_EQ(SelectObject(reinterpret_cast<HDC>(0x77), plain), nullptr);
    EXPECT_EQ(SelectObject(memory, reinterpret_cast<HGDIOBJ>(0xF07)), reinterpret_cast<HGDIOBJ>(0xF07))
        << "the stock font, selected over the stock font";
    // Deleted and released once each.
    EXPECT_EQ(ReleaseDC(FakeWindow(), window), 1);
    EXPECT_EQ(ReleaseDC(FakeWindow(), window), 0);
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_FALSE(DeleteDC(memory));
    EXPECT_EQ(ReleaseDC(nullptr, display), 1);
    EXPECT_EQ(PlatformOpenDCCount(), before);
    EXPECT_TRUE(DeleteObject(section));
    EXPECT_TRUE(DeleteObject(plain));
    EXPECT_TRUE(DeleteObject(matching));
    EXPECT_FALSE(DeleteObject(nullptr));
}

// Bitmaps and DIB sections: sides from 1 to 16384, DIB section rows
// padded to four bytes as the caller writes them, refusals with nothing
// made; then conversions between layouts through BitBlt, pixel by pixel.
TEST_F(GdiDc, BitmapsSectionsAndConversions) {
    HDC display = GetDC(nullptr);
    const struct {
        int width, height;
        bool made;
    } sizes[] = {{1, 1, true}, {16384, 1, true}, {1, 16384, true}, {0, 1, false},
                 {1, 0, false}, {-1, 4, false}, {16385, 1, false}, {1, 16385, false}};
    for (const auto& s : sizes) {
        HBITMAP b = CreateCompatibleBitmap(display, s.width, s.height);
        EXPECT_EQ(b != nullptr, s.made) << s.width << " x " << s.height;
        if (b != nullptr) DeleteObject(b);
    }
    const struct {
        const char* name;
        BITMAPINFO info;
    } refused[] = {
        {"bottom-up", Header(4, 4, 32)},     {"8-bit", Header(4, -4, 8)},        {"no width", Header(0, -4, 32)},
        {"no height", Header(4, 0, 32)},     {"12-bit", Header(4, -4, 12)},      {"too wide", Header(16385, -1, 32)},
        {"too high", Header(1, -16385, 32)},
    };
    for (const auto& r : refused) {
        void* bits = &display;
        EXPECT_EQ(CreateDIBSection(display, &r.info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr) << r.name;
        EXPECT_EQ(bits, nullptr) << r.name;
    }
    EXPECT_EQ(CreateDIBSection(display, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);

    // Pixels written by the caller into one section's rows (four-byte
    // aligned), copied into a section of another layout, read from its rows.
    const struct {
        const char* name;
        WORD fromBits;
        const DWORD* fromMasks;
        DWORD from;
        WORD toBits;
        const DWORD* toMasks;
        DWORD to;
    } conversions[] = {
        {"5:6:5 red to 8:8:8", 16, k565, 0xF800, 32, nullptr, 0xF80000},
        {"5:6:5 green to 8:8:8", 16, k565, 0x07E0, 32, nullptr, 0x00FC00},
        {"5:6:5 white to 8:8:8", 16, k565, 0xFFFF, 32, nullptr, 0xF8FCF8},
        {"8:8:8 to 5:6:5", 32, nullptr, 0x123456, 16, k565, 0x11AA},
        {"5:5:5 white to 5:6:5", 16, k555, 0x7FFF, 16, k565, 0xFFDF},
        {"5:6:5 white to 5:5:5", 16, k565, 0xFFFF, 16, k555, 0x7FFF},
        {"5:5:5 (no masks) to 8:8:8", 16, nullptr, 0x7C1F, 32, nullptr, 0xF800F8},
        {"8:8:8 to blue first", 32, nullptr, 0x123456, 32, kBgr, 0x563412},
        {"24-bit to 32-bit", 24, nullptr, 0xABCDEF, 32, nullptr, 0xABCDEF},
        {"32-bit to 24-bit", 32, nullptr, 0xABCDEF, 24, nullptr, 0xABCDEF},
    };
    for (const auto& c : conversions) {
        SCOPED_TRACE(c.name);
        // Three pixels a row, two rows: the second row starts at the padded pitch.
        BITMAPINFO fromInfo = Header(3, -2, c.fromBits, c.fromMasks), toInfo = Header(3, -2, c.toBits, c.toMasks);
        void *fromBits = nullptr, *toBits = nullptr;
        HBITMAP from = CreateDIBSection(display, &fromInfo, DIB_RGB_COLORS, &fromBits, nullptr, 0);
        HBITMAP to = CreateDIBSection(display, &toInfo, DIB_RGB_COLORS, &toBits, nullptr, 0);
        ASSERT_NE(from, nullptr);
        ASSERT_NE(to, nullptr);
        const int fromBytes = c.fromBits / 8, toBytes = c.toBits / 8;
        const int fromPitch = (3 * fromBytes + 3) & ~3, toPitch = (3 * toBytes + 3) & ~3;
        std::memcpy(static_cast<std::uint8_t*>(fromBits) + fromPitch + 2 * fromBytes, &c.from, fromBytes);
        HDC a = CreateCompatibleDC(display), b = CreateCompatibleDC(display);
        SelectObject(a, from);
        SelectObject(b, to);
        EXPECT_TRUE(BitBlt(b, 0, 0, 3, 2, a, 0, 0, SRCCOPY));
        DWORD got = 0, untouched = 0;
        std::memcpy(&got, static_cast<std::uint8_t*>(toBits) + toPitch + 2 * toBytes, toBytes);
        std::memcpy(&untouched, static_cast<std::uint8_t*>(toBits) + toPitch + toBytes, toBytes);
        EXPECT_EQ(got, c.to) << std::hex << got;
        EXPECT_EQ(untouched, 0u);
        // Only a plain copy is done; a DC without a bitmap has nothing to copy.
        EXPECT_FALSE(BitBlt(b, 0, 0, 3, 2, a, 0, 0, 0x00EE0086));
        HDC empty = CreateCompatibleDC(display);
        EXPECT_FALSE(BitBlt(b, 0, 0, 3, 2, empty, 0, 0, SRCCOPY));
        EXPECT_FALSE(BitBlt(empty, 0, 0, 3, 2, a, 0, 0, SRCCOPY));
        EXPECT_FALSE(BitBlt(reinterpret_cast<HDC>(0x77), 0, 0, 3, 2, a, 0, 0, SRCCOPY));
        DeleteDC(empty);
        DeleteDC(a);
        DeleteDC(b);
        DeleteObject(from);
        DeleteObject(to);
    }
    ReleaseDC(nullptr, display);
}

// Copies between two bitmaps of one layout, for row lengths from a few
// bytes to past 512 at several offsets: exactly the rectangle's bytes move,
// and nothing beside it.
TEST_F(GdiDc, SameLayoutCopiesMoveExactlyTheirRectangle) {
    HDC display = GetDC(nullptr);
    constexpr int kW = 300, kH = 6;
    for (int bits : {16, 32}) {
        const int bytes = bits / 8, pitch = (kW * bytes + 3) & ~3;
        BITMAPINFO info = Header(kW, -kH, bits, nullptr);
        void *fromBits = nullptr, *toBits = nullptr;
        HBITMAP from = CreateDIBSection(display, &info, DIB_RGB_COLORS, &fromBits, nullptr, 0);
        HBITMAP to = CreateDIBSection(display, &info, DIB_RGB_COLORS, &toBits, nullptr, 0);
        ASSERT_NE(from, nullptr);
        ASSERT_NE(to, nullptr);
        auto* in = static_cast<std::uint8_t*>(fromBits);
        auto* out = static_cast<std::uint8_t*>(toBits);
        for (int i = 0; i < pitch * kH; ++i) in[i] = static_cast<std::uint8_t>(i * 31 + 7);
        HDC a = CreateCompatibleDC(display), b = CreateCompatibleDC(display);
        SelectObject(a, from);
        SelectObject(b, to);
        for (int width : {1, 3, 8, 15, 16, 17, 31, 32, 33, 64, 100, 128, 129, 160, 255, 256, 257, 290})
            for (int x : {0, 1, 5})
                for (int sx : {0, 3}) {
                    if (x + width > kW || sx + width > kW) continue;
                    SCOPED_TRACE(testing::Message() << bits << "-bit, " << width << " wide at " << x << " from " << sx);
                    std::memset(out, 0xA5, static_cast<std::size_t>(pitch) * kH);
                    std::vector<std::uint8_t> expected(out, out + pitch * kH);
                    for (int y = 1; y < 5; ++y)
                        std::memcpy(expected.data() + y * pitch + x * bytes, in + (y - 1) * pitch + sx * bytes,
                                    static_cast<std::size_t>(width) * bytes);
                    ASSERT_TRUE(BitBlt(b, x, 1, width, 4, a, sx, 0, SRCCOPY));
                    ASSERT_EQ(std::vector<std::uint8_t>(out, out + pitch * kH), expected);
                }
        DeleteDC(a);
        DeleteDC(b);
        DeleteObject(from);
        DeleteObject(to);
    }
    ReleaseDC(nullptr, display);
}

// DIB headers a copy takes and refuses (sides up to 16384 either way up,
// 8, 16, 24 or 32 bits); copies of part of the lines asked; stretches
// that are not plain copies refused; DIBs read back bottom row first or
// top row first from any scan line.
TEST_F(GdiDc, DibHeadersLinesAndReadBack) {
    HDC display = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(display);
    HBITMAP bitmap = CreateCompatibleBitmap(display, 4, 4);  // 32-bit, the desktop's
    SelectObject(memory, bitmap);
    std::vector<std::uint8_t> source(static_cast<std::size_t>(16384) * 4 * 2, 0x5A);
    const struct {
        LONG width, height;
        WORD bits;
        bool taken;
    } headers[] = {
        {1, 1, 32, true},       {16384, -1, 32, true}, {16385, -1, 32, false}, {1, -16384, 8, true},
        {1, -16385, 8, false},  {1, 16384, 8, true},   {1, 16385, 8, false},   {1, 0, 32, false},
        {0, 1, 32, false},      {-1, 1, 32, false},    {1, 1, 16, true},       {1, 1, 24, true},
        {1, 1, 1, false},       {1, 1, 4, false},      {1, 1, 15, false},
    };
    for (const auto& h : headers) {
        const BITMAPINFO info = Header(h.width, h.height, h.bits);
        EXPECT_EQ(SetDIBitsToDevice(memory, 0, 0, 1, 1, 0, 0, 0, 1, source.data(), &info, DIB_RGB_COLORS) > 0, h.taken)
            << h.width << " x " << h.height << " x " << h.bits;
    }
    // Four rows given, three lines asked: three copied. Stretches other than a
    // plain copy, and no pixels at all, are refused.
    std::uint32_t rows[16];
    for (int i = 0; i < 16; ++i) rows[i] = 0x010101u * static_cast<std::uint32_t>(i + 1);
    const BITMAPINFO topDown = Header(4, -4, 32);
    EXPECT_EQ(SetDIBitsToDevice(memory, 0, 0, 4, 4, 0, 0, 0, 3, rows, &topDown, DIB_RGB_COLORS), 3);
    EXPECT_EQ(StretchDIBits(memory, 0, 0, 4, 4, 0, 0, 4, 4, rows, &topDown, DIB_RGB_COLORS, 0x00EE0086), 0);
    EXPECT_EQ(StretchDIBits(memory, 0, 0, 4, 4, 0, 0, 4, 4, nullptr, &topDown, DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(SetDIBitsToDevice(memory, 0, 0, 16385, 1, 0, 0, 0, 1, rows, &topDown, DIB_RGB_COLORS), 0);
    // Read back: bottom-up, every line; top-down from the second scan line
    // (scans count from the bottom); past the end nothing more.
    std::uint32_t bottomUp[16] = {}, fromSecond[16] = {};
    const BITMAPINFO up = Header(4, 4, 32), down = Header(4, -4, 32);
    EXPECT_EQ(GetDIBits(memory, bitmap, 0, 4, bottomUp, const_cast<BITMAPINFO*>(&up), DIB_RGB_COLORS), 4);
    EXPECT_EQ(GetDIBits(memory, bitmap, 1, 9, fromSecond, const_cast<BITMAPINFO*>(&down), DIB_RGB_COLORS), 3);
    const std::uint32_t firstOf[4] = {0, 0x090909, 0x050505, 0x010101};  // the bitmap's rows, bottom first
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(bottomUp[row * 4] & 0xFFFFFF, firstOf[row]) << row;
        EXPECT_EQ(bottomUp[row * 4 + 3] & 0xFFFFFF, row == 0 ? 0u : firstOf[row] + 0x030303) << row;
    }
    // Top-down, scans 1 to 3 from the bottom fill rows 2 to 0 of the buffer.
    EXPECT_EQ(fromSecond[0] & 0xFFFFFF, 0x010101u);
    EXPECT_EQ(fromSecond[4] & 0xFFFFFF, 0x050505u);
    EXPECT_EQ(fromSecond[8] & 0xFFFFFF, 0x090909u);
    EXPECT_EQ(fromSecond[12], 0u) << "scan 0 was not asked for";
    EXPECT_EQ(GetDIBits(memory, reinterpret_cast<HBITMAP>(0x77), 0, 4, bottomUp, const_cast<BITMAPINFO*>(&up), 0), 0);
    EXPECT_EQ(GetDIBits(memory, bitmap, 0, 4, nullptr, const_cast<BITMAPINFO*>(&up), 0), 0);
    DeleteDC(memory);
    DeleteObject(bitmap);
    ReleaseDC(nullptr, display);

    // Mode changes through the display settings: the refresh counts only
    // when its field is given.
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmBitsPerPel = 16;
    mode.dmPelsWidth = 640;
    mode.dmPelsHeight = 480;
    mode.dmDisplayFrequency = 75;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, 0), DISP_CHANGE_SUCCESSFUL);
    mode.dmFields |= DM_DISPLAYFREQUENCY;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, 0), DISP_CHANGE_BADMODE);
    mode.dmDisplayFrequency = 60;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, 0), DISP_CHANGE_SUCCESSFUL);
    mode.dmBitsPerPel = 24;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, 0), DISP_CHANGE_BADMODE);
    EXPECT_EQ(PlatformDisplayLayout(), kLayout565);
    // A field left unmarked is the current mode's.
    mode.dmFields = DM_BITSPERPEL;
    mode.dmBitsPerPel = 32;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, 0), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(PlatformDisplayWidth(), 640);
    EXPECT_EQ(PlatformDisplayLayout(), kLayoutX888);
    mode.dmFields = DM_PELSWIDTH;
    mode.dmPelsWidth = 800;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, 0), DISP_CHANGE_BADMODE) << "800 x 480";
    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(PlatformDisplayLayout(), kLayoutX888);
}

// A surface's DC stays the surface's: GDI's own release and delete refuse
// it, and it is counted from its first use until the surface goes. Handles
// of DCs let go stay dead when their slots are taken again, and no made-up
// handle reaches a DC.
TEST_F(GdiDc, SurfaceDcsDeadAndForeignHandles) {
    const int before = PlatformOpenDCCount();
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT;
    desc.dwWidth = 8;
    desc.dwHeight = 8;
    desc.ddsCaps.dwCaps = D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY;
    D_IDirectDrawSurface7* surface = nullptr;
    ASSERT_EQ(dd->CreateSurface(&desc, &surface, nullptr), D_DD_OK);
    HDC display = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(display);
    HBITMAP bitmap = CreateCompatibleBitmap(display, 8, 8);
    SelectObject(memory, bitmap);
    HDC first = nullptr, again = nullptr;
    ASSERT_EQ(surface->GetDC(&first), D_DD_OK);
    EXPECT_EQ(PlatformOpenDCCount(), before + 3);
    EXPECT_EQ(ReleaseDC(nullptr, first), 0);
    EXPECT_FALSE(DeleteDC(first));
    EXPECT_TRUE(BitBlt(first, 0, 0, 8, 8, memory, 0, 0, SRCCOPY)) << "still the surface's";
    ASSERT_EQ(surface->ReleaseDC(first), D_DD_OK);
    ASSERT_EQ(surface->GetDC(&again), D_DD_OK);
    EXPECT_EQ(again, first) << "kept with the surface";
    ASSERT_EQ(surface->ReleaseDC(again), D_DD_OK);
    surface->Release();
    EXPECT_EQ(PlatformOpenDCCount(), before + 2);

    HDC gone = CreateCompatibleDC(display);
    ASSERT_TRUE(DeleteDC(gone));
    HDC taken = CreateCompatibleDC(display);  // most likely in the slot just freed
    ASSERT_NE(taken, nullptr);
    EXPECT_NE(taken, gone);
    const auto raw = [](std::uintptr_t v) { return reinterpret_cast<HDC>(v); };
    const struct {
        const char* name;
        HDC dc;
    } foreign[] = {
        {"deleted", gone},
        {"the released surface's", first},
        {"null", nullptr},
        {"small", raw(0x77)},
        {"a DC's low bits alone", raw(0xD)},
        {"a slot never taken", raw((std::uintptr_t{1} << 20) | (std::uintptr_t{0xFFF0} << 4) | 0xD)},
        {"a live DC's slot taken once more", raw(reinterpret_cast<std::uintptr_t>(taken) + (std::uintptr_t{1} << 20))},
        {"every bit", raw(~std::uintptr_t{0})},
    };
    for (const auto& f : foreign) {
        SCOPED_TRACE(f.name);
        EXPECT_FALSE(BitBlt(f.dc, 0, 0, 8, 8, memory, 0, 0, SRCCOPY));
        EXPECT_FALSE(BitBlt(memory, 0, 0, 8, 8, f.dc, 0, 0, SRCCOPY));
        EXPECT_EQ(SelectObject(f.dc, bitmap), nullptr);
        EXPECT_EQ(GetDeviceCaps(f.dc, BITSPIXEL), 32) << "the screen's";
        EXPECT_EQ(ReleaseDC(nullptr, f.dc), 0);
        EXPECT_FALSE(DeleteDC(f.dc));
    }
    EXPECT_EQ(PlatformOpenDCCount(), before + 3);
    EXPECT_TRUE(DeleteDC(taken));
    DeleteDC(memory);
    DeleteObject(bitmap);
    ReleaseDC(nullptr, display);
    EXPECT_EQ(PlatformOpenDCCount(), before);
}

// The window's DC and the display's view the same framebuffer from
// different corners: a copy between them that moves pixels down, or up,
// reads every row before it is overwritten.
TEST_F(GdiDc, CopiesBetweenTwoViewsOfTheFramebuffer) {
    PlatformDisplaySetClientRect(RECT{8, 4, 248, 164});
    std::uint8_t* fb = PlatformFramebuffer();
    const int pitch = PlatformFramebufferPitch(), height = PlatformDisplayHeight();
    std::vector<std::uint8_t> model(static_cast<std::size_t>(pitch) * height);
    for (std::size_t i = 0; i < model.size(); ++i) model[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
    std::memcpy(fb, model.data(), model.size());
    HDC window = GetDC(FakeWindow()), display = GetDC(nullptr);
    // Window coordinates are the display's less (8, 4).
    const struct {
        const char* name;
        HDC to;
        int x, y;
        HDC from;
        int sx, sy;
    } copies[] = {
        {"down", window, 0, 10, display, 8, 4},
        {"up", display, 8, 4, window, 3, 10},
        {"right and down by one", window, 1, 1, display, 8, 4},
        {"onto itself", display, 50, 50, window, 42, 46},
    };
    for (const auto& c : copies) {
        SCOPED_TRACE(c.name);
        const int toX = c.x + (c.to == window ? 8 : 0), toY = c.y + (c.to == window ? 4 : 0);
        const int fromX = c.sx + (c.from == window ? 8 : 0), fromY = c.sy + (c.from == window ? 4 : 0);
        const std::vector<std::uint8_t> was = model;
        for (int j = 0; j < 50; ++j)
            std::memcpy(model.data() + static_cast<std::size_t>(toY + j) * pitch + toX * 4,
                        was.data() + static_cast<std::size_t>(fromY + j) * pitch + fromX * 4, 100 * 4);
        ASSERT_TRUE(BitBlt(c.to, c.x, c.y, 100, 50, c.from, c.sx, c.sy, SRCCOPY));
        ASSERT_EQ(std::memcmp(PlatformFramebuffer(), model.data(), model.size()), 0);
    }
    ReleaseDC(FakeWindow(), window);
    ReleaseDC(nullptr, display);
}

}  // namespace
