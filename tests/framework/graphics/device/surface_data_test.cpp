// Surface data: handles, settled flags and kinds, transparent colours and
// colour keys, sharing by reference count, nested locks, Z buffers, and loss.
#include <gtest/gtest.h>

#include "graphics/image/memimg.h"
#include "storage_fixture.h"

namespace {

using SurfaceDataTest = StorageTest;

TEST_F(SurfaceDataTest, HandlesCountFromTheTypeAndTheCheckCounter) {
    const HandleId first = AddSurfaceData(1, 8, 8, 0, PlainFlags());
    const HandleId second = AddSurfaceData(1, 8, 8, 0, PlainFlags());
    EXPECT_EQ(first, 0x38000000);
    EXPECT_EQ(second, 0x38010001);
    EXPECT_NE(LookupSurfaceData(first), nullptr);
    // Another table's type, a negative value and a stale check all fail.
    EXPECT_EQ(LookupSurfaceData(0x28000000), nullptr);
    EXPECT_EQ(LookupSurfaceData(-1), nullptr);
    DeleteSurfaceData(first);
    EXPECT_EQ(LookupSurfaceData(first), nullptr);
    EXPECT_EQ(DeleteSurfaceData(first), -1);
    EXPECT_EQ(DeleteSurfaceData(second), 0);
}

TEST_F(SurfaceDataTest, FlagsSettleIntoTheKindAndPlaceOfTheStorage) {
    // Plain: a DirectDraw surface in video memory, drawable.
    SurfaceCreateFlags plain = PlainFlags();
    plain.AlphaTestFlag = 1;
    const SurfaceDataRecord* r = LookupSurfaceData(AddSurfaceData(1, 16, 8, 0, plain));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->kind, kSurfaceKindPlain);
    EXPECT_EQ(r->heldAsMemImg, 0u);
    EXPECT_EQ(r->flags.DrawValid, 1);
    EXPECT_EQ(r->flags.AlphaTestFlag, 0);
    EXPECT_EQ(r->flags.SystemMemFlag, 0);
    D_DDSCAPS2 caps{};
    r->surface->GetCaps(&caps);
    EXPECT_TRUE(caps.dwCaps & D_DDSCAPS_VIDEOMEMORY);

    // An alpha channel or a palette goes to system memory as a software image.
    const std::uint32_t kinds[4] = {kSurfaceKindMemImg16 + 1, kSurfaceKindMemImg32 + 1, kSurfaceKindMemImg16,
                                    kSurfaceKindMemImg32};
    for (int i = 0; i < 4; ++i) {
        SurfaceCreateFlags f = PlainFlags(i % 2 ? 32 : 16);
        if (i < 2) f.AlphaChFlag = 1;
        else f.Palette8Flag = 1;
        const SurfaceDataRecord* m = LookupSurfaceData(AddSurfaceData(1, 4, 4, 0, f));
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->heldAsMemImg, 1u);
        EXPECT_EQ(m->flags.SystemMemFlag, 1);
        EXPECT_EQ(m->kind, kinds[i]) << i;
        EXPECT_EQ(m->memImg.kind, i % 2 ? kMemImgKind888 : kMemImgKind565);
        EXPECT_EQ(m->memImg.alphaChannel, i < 2 ? 1u : 0u);
        EXPECT_EQ(m->memImg.paletted, i < 2 ? 0u : 1u);
    }

    // Wider than the screen: system memory, though not asked for.
    const SurfaceDataRecord* wide = LookupSurfaceData(AddSurfaceData(1, 700, 2, 0, PlainFlags()));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->flags.SystemMemFlag, 1);
}

TEST_F(SurfaceDataTest, VideoMemoryThatFailsIsTriedOnceMoreInSystemMemory) {
    PlatformDisplayKnobsRef().videoMemoryFails = true;
    const SurfaceDataRecord* r = LookupSurfaceData(AddSurfaceData(1, 8, 8, 0, PlainFlags()));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->flags.SystemMemFlag, 1);
    D_DDSCAPS2 caps{};
    r->surface->GetCaps(&caps);
    EXPECT_TRUE(caps.dwCaps & D_DDSCAPS_SYSTEMMEMORY);
}

TEST_F(SurfaceDataTest, FailuresLeaveNothingBehind) {
    // Direct3D is down: a texture cannot be made, and no record stays.
    SurfaceCreateFlags texture = PlainFlags();
    texture.TextureFlag = 1;
    EXPECT_EQ(AddSurfaceData(1, 8, 8, 0, texture), -1);
    EXPECT_EQ(AddSurfaceData(1, 0, 8, 0, PlainFlags()), -1);
    EXPECT_EQ(AddSurfaceData(1, 70000, 8, 0, PlainFlags()), -1);
    SetTrackedAllocFailures(1);
    EXPECT_EQ(AddSurfaceData(1, 8, 8, 0, PlainFlags()), -1);
    SetTrackedAllocFailures(0);
    // The record is made, its software image (16 GiB) is not.
    SurfaceCreateFlags soft = PlainFlags(32);
    soft.AlphaChFlag = 1;
    EXPECT_EQ(AddSurfaceData(1, 65535, 65535, 0, soft), -1);
    // Without a DirectDraw object a plain surface cannot be made.
    UseNoDevice();
    EXPECT_EQ(AddSurfaceData(1, 8, 8, 0, PlainFlags()), -1);
    EXPECT_EQ(g_SurfaceDataTable.Count(), 0);
}

TEST_F(SurfaceDataTest, SharedDataIsFreedWithItsLastReference) {
    const int blocks = g_MemoryTracker.count;
    const HandleId h = AddSurfaceData(1, 8, 8, 0, PlainFlags());
    EXPECT_GT(g_MemoryTracker.count, blocks);
    EXPECT_EQ(AddSurfaceDataRef(h), 2);
    EXPECT_EQ(AddSurfaceDataRef(h), 3);
    EXPECT_EQ(ReleaseSurfaceDataRef(h), 2);
    EXPECT_EQ(ReleaseSurfaceDataRef(h), 1);
    EXPECT_NE(LookupSurfaceData(h), nullptr);
    EXPECT_EQ(ReleaseSurfaceDataRef(h), 0);
    EXPECT_EQ(LookupSurfaceData(h), nullptr);
    EXPECT_EQ(g_MemoryTracker.count, blocks);
    EXPECT_EQ(ReleaseSurfaceDataRef(h), -1);
    EXPECT_EQ(AddSurfaceDataRef(h), -1);
}

TEST_F(SurfaceDataTest, TheColorKeyIsTheTransparentColourInTheScreenFormat) {
    const SurfaceDataRecord* r = LookupSurfaceData(AddSurfaceData(1, 4, 4, 0xFF00FF, PlainFlags()));
    ASSERT_NE(r, nullptr);
    D_DDCOLORKEY key{};
    ASSERT_EQ(r->surface->GetColorKey(D_DDCKEY_SRCBLT, &key), D_DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue, 0xF81Fu);
    EXPECT_EQ(key.dwColorSpaceHighValue, 0xF81Fu);
}

// Software images carry their transparent colour as a pixel value. A 32-bit
// image holds 0x00RRGGBB pixels, so the key has no top byte either.
TEST_F(SurfaceDataTest, SoftwareImagesGetTheTransparentColourAsAPixelValue) {
    SurfaceCreateFlags f = PlainFlags(16);
    f.SystemMemFlag = 1;
    const SurfaceDataRecord* r16 = LookupSurfaceData(AddSurfaceData(1, 2, 1, 0xFF00FF, f));
    f.ColorBitDepth = 32;
    const HandleId h32 = AddSurfaceData(1, 2, 1, 0xFF00FF, f);
    SurfaceDataRecord* r32 = LookupSurfaceData(h32);
    ASSERT_NE(r16, nullptr);
    ASSERT_NE(r32, nullptr);
    EXPECT_EQ(r16->memImg.transparentColor, 0xF81Fu);
    EXPECT_EQ(r32->memImg.transparentColor, 0x00FF00FFu);

    // A magenta pixel written through the converting blit is transparent.
    GraphImage image{};
    BuildColorFormat(&image.colorFormat, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    std::uint32_t row[2] = {0xFF00FF, 0x123456};
    image.width = 2;
    image.height = 1;
    image.pitch = 8;
    image.pixels = reinterpret_cast<std::uint8_t*>(row);
    ASSERT_EQ(WriteGraphImageToMemImg(&image, nullptr, &r32->memImg, 0, 0, 2, 1, 0, 0, 0), 0);
    ASSERT_EQ(r32->memImg.runTableValid, 1u);
    EXPECT_EQ(r32->memImg.runTable[0], kRunTransparent);
    EXPECT_EQ(r32->memImg.runTable[1], kRunOpaque);
}

// With the no-transparent-colour flag (and for paletted images) the value
// is one that no pixel can equal; a 5:6:5 65535 would make white vanish.
TEST_F(SurfaceDataTest, NoTransparentColourIsAValueNoPixelEquals) {
    SurfaceCreateFlags f = PlainFlags(16);
    f.SystemMemFlag = 1;
    f.NoTransColorFlag = 1;
    SurfaceDataRecord* r = LookupSurfaceData(AddSurfaceData(1, 2, 1, 0xFFFFFF, f));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->memImg.transparentColor, kNoTransparentColor);
    EXPECT_EQ(kNoTransparentColor, 0xFFFFFFFFu);
    const std::uint16_t white[2] = {0xFFFF, 0xFFFF};
    std::memcpy(r->memImg.pixels, white, sizeof white);
    BuildMemImgRunTable(&r->memImg);
    EXPECT_EQ(r->memImg.runTable[0], kRunOpaque | 1);  // two opaque pixels
    EXPECT_EQ(r->memImg.runTable[1], kRunEndOfRow);

    SurfaceCreateFlags paletted = PlainFlags(32);
    paletted.Palette8Flag = 1;
    const SurfaceDataRecord* p = LookupSurfaceData(AddSurfaceData(1, 2, 1, 0, paletted));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->memImg.transparentColor, kNoTransparentColor);
}

TEST_F(SurfaceDataTest, ANestedLockReturnsMinusTwoAndNeedsAsManyUnlocks) {
    for (int soft = 0; soft < 2; ++soft) {
        SurfaceCreateFlags f = PlainFlags();
        f.SystemMemFlag = static_cast<std::uint8_t>(soft);
        const HandleId h = AddSurfaceData(1, 16, 16, 0, f);
        int pitch = 0, pitch2 = 0;
        void *first = nullptr, *again = nullptr, *corner = nullptr;
        const ColorFormatDesc* format = nullptr;
        ASSERT_EQ(LockSurfaceData(h, &pitch, &first, 1, nullptr, &format), 0) << soft;
        EXPECT_EQ(format->bytesPerPixel, 2);
        EXPECT_EQ(LockSurfaceData(h, &pitch2, &again, 0, nullptr, nullptr), -2);
        EXPECT_EQ(again, first);
        EXPECT_EQ(pitch2, pitch);
        // A nested lock of another rectangle gets that rectangle's corner.
        const RECT r{3, 2, 8, 9};
        EXPECT_EQ(LockSurfaceData(h, nullptr, &corner, 0, &r, nullptr), -2);
        EXPECT_EQ(static_cast<std::uint8_t*>(corner), static_cast<std::uint8_t*>(first) + 2 * pitch + 3 * 2);
        EXPECT_EQ(UnlockSurfaceData(h), 0);
        EXPECT_EQ(UnlockSurfaceData(h), 0);
        EXPECT_EQ(LookupSurfaceData(h)->lockCount, 1);  // still locked
        EXPECT_EQ(UnlockSurfaceData(h), 0);
        EXPECT_EQ(UnlockSurfaceData(h), -1);
        // A rectangle outside the storage is refused.
        const RECT outside{10, 10, 17, 12};
        EXPECT_EQ(LockSurfaceData(h, nullptr, &corner, 0, &outside, nullptr), -1);
        DeleteSurfaceData(h);
    }
}

TEST_F(SurfaceDataTest, FillsComposeTheColourInTheStoragesFormat) {
    const HandleId plain = AddSurfaceData(1, 4, 4, 0, PlainFlags());
    ASSERT_EQ(FillSurfaceDataColor(plain, 255, 0, 0, 255), 0);
    EXPECT_EQ(PixelAt(plain, 3, 3), 0xF800u);
    SurfaceCreateFlags f = PlainFlags(32);
    f.AlphaChFlag = 1;
    const HandleId soft = AddSurfaceData(1, 4, 4, 0, f);
    const RECT corner{2, 2, 4, 4};
    ASSERT_EQ(FillSurfaceDataColor(soft, 0, 0, 0, 0), 0);
    ASSERT_EQ(FillSurfaceDataRect(soft, &corner, 0x12, 0x34, 0x56, 0x80), 0);
    EXPECT_EQ(PixelAt(soft, 3, 3), 0x80123456u);
    EXPECT_EQ(PixelAt(soft, 1, 1), 0u);
    const RECT beyond{2, 2, 5, 4};
    EXPECT_EQ(FillSurfaceDataRect(soft, &beyond, 1, 1, 1, 1), -1);
}

TEST_F(SurfaceDataTest, ZBuffersComeAndGoWithTheFlag) {
    SurfaceCreateFlags f = PlainFlags();
    f.SystemMemFlag = 1;
    const HandleId soft = AddSurfaceData(1, 8, 4, 0, f);
    const HandleId plain = AddSurfaceData(1, 8, 4, 0, PlainFlags());
    ASSERT_EQ(SetSurfaceDataZBuffer(soft, 1), 0);
    EXPECT_EQ(LookupSurfaceData(soft)->zBufferMemImg.kind, kMemImgKindZBuffer);
    EXPECT_EQ(LookupSurfaceData(soft)->zBufferMemImg.magic, kMemImgMagic);
    ASSERT_EQ(SetSurfaceDataZBuffer(plain, 1), 0);
    EXPECT_NE(LookupSurfaceData(plain)->zBufferSurface, nullptr);
    EXPECT_EQ(SetSurfaceDataZBuffer(plain, 1), 0);  // already so
    ASSERT_EQ(SetSurfaceDataZBuffer(plain, 0), 0);
    EXPECT_EQ(LookupSurfaceData(plain)->zBufferSurface, nullptr);
    // Storage made again follows the wanted state.
    ReleaseSurfaceDataSurfaces(soft);
    EXPECT_EQ(LookupSurfaceData(soft)->zBufferMemImg.magic, 0u);
    ASSERT_EQ(CreateSurfaceDataSurfaces(soft), 0);
    EXPECT_EQ(LookupSurfaceData(soft)->zBufferMemImg.magic, kMemImgMagic);
    EXPECT_EQ(SetSurfaceDataZBuffer(-1, 1), -1);
}

TEST_F(SurfaceDataTest, ALostSurfaceIsRestoredOnlyWithExclusiveModeBack) {
    const HandleId video = AddSurfaceData(1, 8, 8, 0, PlainFlags());
    SurfaceCreateFlags f = PlainFlags();
    f.SystemMemFlag = 1;
    const HandleId soft = AddSurfaceData(1, 8, 8, 0, f);
    PlatformDisplayLoseExclusive();
    EXPECT_EQ(IsSurfaceDataLost(video), 1);
    EXPECT_EQ(IsSurfaceDataLost(soft), 0);
    EXPECT_EQ(LockSurfaceData(video, nullptr, nullptr, 0, nullptr, nullptr), -1);
    EXPECT_EQ(RestoreSurfaceData(video), -1);
    EXPECT_EQ(RestoreSurfaceData(soft), 0);
    PlatformDisplayRegainExclusive();
    EXPECT_EQ(RestoreSurfaceData(video), 0);
    EXPECT_EQ(IsSurfaceDataLost(video), 0);
    EXPECT_EQ(FillSurfaceDataColor(video, 0, 0, 255, 255), 0);
    EXPECT_EQ(PixelAt(video, 0, 0), 0x001Fu);
}

}  // namespace
