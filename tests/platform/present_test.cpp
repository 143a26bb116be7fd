// Presenting finished frames: which writes present at once and which wait
// for the pump, how presents are counted and numbered, and the frames kept
// as PNG files when KELVO_CAPTURE names a folder.
#include <png.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/ddraw_fixture.h"
#include "platform/dinput.h"
#include "platform/gdi.h"
#include "platform/window.h"
#include "support/temp_dir.h"

namespace {

using Presenting = DirectDrawFixture;

// The pixels of a PNG file as 0xRRGGBB, or nothing when it cannot be read.
std::vector<std::uint32_t> ReadPng(const std::string& path, int* width, int* height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return {};
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    std::vector<std::uint32_t> rgb(bytes.size() / 3);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = (bytes[i * 3] << 16) | (bytes[i * 3 + 1] << 8) | bytes[i * 3 + 2];
    return rgb;
}

class CaptureSettings {
public:
    CaptureSettings(const std::string& folder, const char* every) {
        setenv("KELVO_CAPTURE", folder.c_str(), 1);
        if (every != nullptr)
            setenv("KELVO_CAPTURE_EVERY", every, 1);
        else
            unsetenv("KELVO_CAPTURE_EVERY");
    }
    ~CaptureSettings() {
        unsetenv("KELVO_CAPTURE");
        unsetenv("KELVO_CAPTURE_EVERY");
    }
};

// With KELVO_CAPTURE set, the first present and every KELVO_CAPTURE_EVERY-th
// (100 when it is missing or not a count) is written as frameNNNNNN.png,
// numbered by present; the file holds the client area's colours in every
// layout the display can have.
TEST_F(Presenting, CapturedFramesAreNumberedAndHoldTheClientArea) {
    const struct {
        const char* every;
        int presents;
        std::vector<int> written;
    } schedules[] = {
        {"3", 7, {1, 3, 6}},
        {"1", 3, {1, 2, 3}},
        {nullptr, 101, {1, 100}},
        {"0", 101, {1, 100}},
        {"-4", 101, {1, 100}},
        {"soon", 3, {1}},
    };
    PlatformDisplaySetClientRect(RECT{3, 2, 13, 8});
    for (const auto& s : schedules) {
        SCOPED_TRACE(s.every != nullptr ? s.every : "unset");
        TempDir dir;
        CaptureSettings settings(dir.str(), s.every);
        PlatformDisplayReset();
        PlatformDisplaySetClientRect(RECT{3, 2, 13, 8});
        for (int i = 0; i < s.presents; ++i) PlatformPresent(0);
        std::vector<int> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            ASSERT_EQ(name.size(), 15u) << name;
            EXPECT_EQ(name.substr(0, 5), "frame");
            EXPECT_EQ(name.substr(11), ".png");
            found.push_back(std::stoi(name.substr(5, 6)));
        }
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, s.written);
    }

    const struct {
        PlatformPixelLayout layout;
        const char* name;
    } layouts[] = {{kLayout565, "5:6:5"}, {kLayout555, "5:5:5"}, {kLayoutX888, "8:8:8"}, {kLayout8, "indexed"}};
    std::mt19937 random(38);
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.name);
        TempDir dir;
        CaptureSettings settings(dir.str(), "1");
        PlatformDisplayKnobsRef().desktopLayout = l.layout;
        PlatformDisplayReset();
        std::uint32_t palette[256];
        for (auto& c : palette) c = random() & 0xFFFFFF;
        PlatformSetFramebufferPalette(palette);
        const std::size_t bytes = static_cast<std::size_t>(PlatformFramebufferPitch()) * 16;  // past the client area
        for (std::size_t i = 0; i < bytes; ++i) PlatformFramebuffer()[i] = static_cast<std::uint8_t>(random());
        PlatformDisplaySetClientRect(RECT{5, 3, 5 + 37, 3 + 11});
        PlatformPresent(0);
        ASSERT_FALSE(frames.empty());
        const PlatformFrame& frame = frames.back();
        int width = 0, height = 0;
        const std::vector<std::uint32_t> png = ReadPng(dir.str() + "/frame000001.png", &width, &height);
        ASSERT_EQ(width, 37);
        ASSERT_EQ(height, 11);
        int wrong = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) wrong += png[static_cast<std::size_t>(y) * width + x] != frame.Rgb(x, y);
        EXPECT_EQ(wrong, 0);
        // The frame itself is the framebuffer's client area.
        const int bpp = l.layout.BytesPerPixel();
        EXPECT_EQ(std::memcmp(frame.pixels.data(), PlatformFramebuffer() + 3 * PlatformFramebufferPitch() + 5 * bpp,
                              static_cast<std::size_t>(37) * bpp),
                  0);
        EXPECT_EQ(std::memcmp(frame.pixels.data() + frame.pitch * 10,
                              PlatformFramebuffer() + 13 * PlatformFramebufferPitch() + 5 * bpp,
                              static_cast<std::size_t>(37) * bpp),
                  0);
        if (l.layout.bitsPerPixel == 8) {
            EXPECT_EQ(frame.Rgb(0, 0), palette[frame.Raw(0, 0)]);
        }
    }
    // A capture folder that does not exist is made with its parents; one
    // that cannot be made (a file lies in its way) writes nothing and says
    // so on the error stream, once however many frames come.
    {
        TempDir dir;
        dir.Write("in-the-way", "a file");
        const struct {
            std::string folder;
            bool made;
        } folders[] = {{dir.str() + "/new/deeper", true}, {dir.str() + "/in-the-way/frames", false}};
        for (const auto& f : folders) {
            SCOPED_TRACE(f.folder);
            CaptureSettings settings(f.folder, "1");
            PlatformDisplayReset();
            testing::internal::CaptureStderr();
            for (int i = 0; i < 3; ++i) PlatformPresent(0);
            const std::string said = testing::internal::GetCapturedStderr();
            std::error_code ec;
            EXPECT_EQ(std::filesystem::exists(f.folder + "/frame000003.png", ec), f.made);
            if (f.made) {
                EXPECT_EQ(said, "");
            } else {
                EXPECT_EQ(said, "kelvo: cannot make the capture folder " + f.folder +
                                    ": Not a directory; no frames are written\n");
            }
        }
    }
    // A file that cannot be made is reported.
    PlatformFrame tiny;
    tiny.width = tiny.height = 1;
    tiny.layout = kLayoutX888;
    tiny.pitch = 4;
    tiny.pixels.assign(4, 0);
    EXPECT_FALSE(PlatformWritePng(tiny, "/nonexistent-folder/x.png"));
    TempDir dir;
    EXPECT_TRUE(PlatformWritePng(tiny, dir.str() + "/x.png"));
}

// A copy over the whole of the primary presents at once; a copy to part of
// it, a lock, a DC on the display or a surface's DC only asks for the next
// pump, whose frame is not the program's own. A flip presents with its
// flags after the wait it asks for; a window DC presents at once.
TEST_F(Presenting, WhatPresentsAtOnceAndWhatWaitsForThePump) {
    D_IDirectDrawSurface7* primary = MakeFullScreenChain();
    ASSERT_NE(primary, nullptr);
    D_DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x07E0;
    RECT part{0, 0, 640, 479}, whole{0, 0, 640, 480};
    auto fillPart = [&] { return primary->Blt(&part, nullptr, nullptr, D_DDBLT_COLORFILL, &fx); };
    auto fillWhole = [&] { return primary->Blt(&whole, nullptr, nullptr, D_DDBLT_COLORFILL, &fx); };
    auto lockOnce = [&] {
        D_DDSURFACEDESC2 lock{};
        lock.dwSize = sizeof lock;
        HRESULT hr = primary->Lock(nullptr, &lock, 0, nullptr);
        return hr != D_DD_OK ? hr : primary->Unlock(nullptr);
    };
    auto surfaceDc = [&] {
        HDC dc = nullptr;
        HRESULT hr = primary->GetDC(&dc);
        if (hr != D_DD_OK) return hr;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = 1;
        info.bmiHeader.biHeight = -1;
        info.bmiHeader.biBitCount = 32;
        const std::uint32_t pixel = 0xFFFFFF;
        SetDIBitsToDevice(dc, 0, 0, 1, 1, 0, 0, 0, 1, &pixel, &info, DIB_RGB_COLORS);
        return primary->ReleaseDC(dc);
    };
    // A copy from a memory bitmap through the DC of the display (no window)
    // or of the window.
    auto dcCopy = [&](HWND window) {
        HDC dc = GetDC(window);
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, 2, 2);
        SelectObject(memory, bitmap);
        BOOL ok = BitBlt(dc, 0, 0, 2, 2, memory, 0, 0, SRCCOPY);
        DeleteDC(memory);
        DeleteObject(bitmap);
        ReleaseDC(window, dc);
        return ok ? D_DD_OK : D_DDERR_GENERIC;
    };
    auto flip = [&] { return primary->Flip(nullptr, D_DDFLIP_NOVSYNC); };
    const struct {
        const char* name;
        std::function<HRESULT()> write;
        bool atOnce;
    } writes[] = {
        {"a fill of the whole primary", fillWhole, true}, {"a fill of part of it", fillPart, false},
        {"a lock of the primary", lockOnce, false},       {"a DC of the primary", surfaceDc, false},
        {"the display's DC", [&] { return dcCopy(nullptr); }, false},
        {"the window's DC", [&] { return dcCopy(FakeWindow()); }, true},
        {"a flip", flip, true},
    };
    // A listener hears of every present the sink sees, by its number.
    std::vector<std::uint64_t> heard;
    PlatformSetPresentListener([&](std::uint64_t number) { heard.push_back(number); });
    for (const auto& w : writes) {
        SCOPED_TRACE(w.name);
        const std::uint64_t presents = PlatformPresentCount(), own = PlatformProgramFrameCount();
        frames.clear();
        heard.clear();
        ASSERT_EQ(w.write(), D_DD_OK);
        EXPECT_EQ(PlatformPresentCount(), presents + (w.atOnce ? 1 : 0));
        EXPECT_EQ(PlatformProgramFrameCount(), own + (w.atOnce ? 1 : 0));
        EXPECT_EQ(frames.size(), w.atOnce ? 1u : 0u);
        PlatformPumpPresent();
        EXPECT_EQ(PlatformPresentCount(), presents + 1) << "the pump shows what waited, once";
        EXPECT_EQ(PlatformProgramFrameCount(), own + (w.atOnce ? 1 : 0)) << "a pumped frame is not the program's";
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].number, presents + 1);
        PlatformPumpPresent();
        EXPECT_EQ(PlatformPresentCount(), presents + 1) << "nothing more to show";
        EXPECT_EQ(heard, std::vector<std::uint64_t>{presents + 1});
    }
    PlatformSetPresentListener(nullptr);
    // The flip's frame carries its flags; a flip that waits for the blank
    // lands in it, one that does not stays out of it.
    PlatformResetVirtualClock();
    frames.clear();
    ASSERT_EQ(primary->Flip(nullptr, D_DDFLIP_NOVSYNC), D_DD_OK);
    EXPECT_FALSE(PlatformInVerticalBlank());
    ASSERT_EQ(primary->Flip(nullptr, D_DDFLIP_WAIT), D_DD_OK);
    EXPECT_TRUE(PlatformInVerticalBlank());
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].flipFlags, D_DDFLIP_NOVSYNC);
    EXPECT_EQ(frames[1].flipFlags, D_DDFLIP_WAIT);
    EXPECT_GT(frames[1].micros, frames[0].micros + 15000) << "the wait shows in the frame's time";
    EXPECT_GE(frames[0].micros, 1'000'000u);
    EXPECT_LT(frames[0].micros, 1'010'000u);
    // A reset starts the counts again.
    PlatformDisplayReset();
    EXPECT_EQ(PlatformPresentCount(), 0u);
    EXPECT_EQ(PlatformProgramFrameCount(), 0u);
    primary->Release();
}

// KELVO_COUNTERS names a file rewritten in place after every present with
// the frames presented, shown and dropped (none without a window), the
// frames presented when the keyboard was first read and when a window was
// first asked to close (-1 before; the window tests see a close).
TEST_F(Presenting, TheCountersFileFollowsEveryPresent) {
    TempDir dir;
    const std::string path = dir.str() + "/counters";
    setenv("KELVO_COUNTERS", path.c_str(), 1);
    PlatformInputReset();
    PlatformDisplayReset();
    auto counters = [&] {
        std::ifstream file(path);
        std::string name, text;
        long long value = 0;
        while (file >> name >> value) text += name + "=" + std::to_string(value) + " ";
        return text;
    };
    BYTE keys[256];
    PlatformPresent(0);
    PlatformPresent(0);
    EXPECT_EQ(counters(), "presented=2 shown=0 dropped=0 first-input=-1 close=-1 ");
    const auto size = std::filesystem::file_size(path);
    PlatformPresent(0);
    GetKeyboardState(keys);  // read while 3 frames have been presented
    PlatformPresent(0);
    GetKeyboardState(keys);
    PlatformPresent(0);
    EXPECT_EQ(counters(), "presented=5 shown=0 dropped=0 first-input=3 close=-1 ");
    EXPECT_EQ(std::filesystem::file_size(path), size) << "rewritten in place";
    unsetenv("KELVO_COUNTERS");
    PlatformPresent(0);
    EXPECT_EQ(counters(), "presented=5 shown=0 dropped=0 first-input=3 close=-1 ") << "no longer written";
    PlatformInputReset();
}

}  // namespace
