// DirectDraw surfaces: memory with a fixed pitch, the primary over the
// display framebuffer with its back buffer, blits, locks, colour keys, lost
// surfaces and device contexts.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "ddraw/ddraw_internal.h"
#include "ddraw/display_internal.h"
#include "ddraw/gdi_internal.h"
#include "ddraw/opaque_runs.h"
#include "ddraw/pixel_rows.h"
#include "platform/backend.h"
#include "platform/kernel.h"

namespace {

constexpr int kMaxSurfaceSide = 16384;
// Keyed copies of pictures up to this size go 32 bytes at a time, comparing
// with the key as they go: faster for them than following opaque runs (a
// 64 x 64 16-bit picture in about two thirds of the time of the run-by-run
// copy, a 16 x 16 glyph in half). Larger ones follow their runs when those
// are this many bytes long on average, the rows being mostly keyed.
constexpr std::size_t kKeyedVectorBytes = 16384;
constexpr std::size_t kRunBytesToGo = 256;

std::atomic<int> g_liveSurfaces{0};

enum class SurfaceRole { Plain, Primary, BackBuffer, ZBuffer };

bool RectInside(const RECT& r, int width, int height) {
    return r.left >= 0 && r.top >= 0 && r.left <= r.right && r.top <= r.bottom && r.right <= width &&
           r.bottom <= height;
}

class Surface : public ComObject<D_IDirectDrawSurface7>, private DcPixelOwner {
public:
    Surface(std::shared_ptr<DirectDrawCore> core, SurfaceRole role, int width, int height, PlatformPixelLayout layout,
            DWORD caps, bool videoMemory)
        : core_(std::move(core)),
          role_(role),
          width_(width),
          height_(height),
          layout_(layout),
          caps_(caps),
          videoMemory_(videoMemory),
          epoch_(PlatformDisplayLossEpoch()),
          bytes_(layout.BytesPerPixel()),
          keyMask_(layout.bitsPerPixel == 8 ? 0xFFu
                                            : (layout.redMask | layout.greenMask | layout.blueMask | layout.alphaMask)) {
        ++g_liveSurfaces;
        pixelFormat_ = MakePixelFormat();
        MakeLockDesc();
        if (role_ != SurfaceRole::Primary) {
            pitch_ = PlatformSurfacePitch(width_, layout_.BytesPerPixel());
            memory_.assign(static_cast<std::size_t>(pitch_) * height_, 0);
        }
    }

    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object != nullptr && IsEqualGUID(riid, IID_D_IDirectDrawSurface7)) {
            *object = static_cast<D_IDirectDrawSurface7*>(this);
            AddRef();
            return S_OK;
        }
        return ComObject::QueryInterface(riid, object);
    }

    ~Surface() override {
        --g_liveSurfaces;
        if (role_ == SurfaceRole::Primary) {
            core_->primaryExists = false;
            core_->primary = nullptr;
            core_->gdiSurfaceInBack = false;
            // The whole chain goes with the primary, whatever references remain.
            if (backBuffer_ != nullptr) {
                backBuffer_->detached_ = true;
                backBuffer_->Release();
            }
            if (palette_ != nullptr) palette_->AttachToPrimary(false);
        }
        for (Surface* s : attached_) s->Release();
        if (clipper_ != nullptr) clipper_->Release();
        if (palette_ != nullptr) palette_->Release();
        if (dc_ != nullptr) DestroyTargetDC(dc_);
    }

    void SetBackBuffer(Surface* back) { backBuffer_ = back; }
    void SetFourCC(DWORD code) {
        fourCC_ = code;
        pixelFormat_ = MakePixelFormat();
        MakeLockDesc();
    }

    // The pixels as the Direct3D stand-in draws them, resolved now.
    HRESULT View(SurfacePixels* out, bool toWrite) {
        if (HRESULT hr = Usable(); hr != D_DD_OK) return hr;
        if (dcOut_) return D_DDERR_SURFACEBUSY;
        out->bits = toWrite ? Bits() : const_cast<std::uint8_t*>(PixelsToRead());
        out->pitch = Pitch();
        out->width = width_;
        out->height = height_;
        out->layout = layout_;
        out->hasKey = hasKey_;
        out->keyLow = key_.dwColorSpaceLowValue;
        out->keyHigh = key_.dwColorSpaceHighValue;
        out->primary = role_ == SurfaceRole::Primary;
        out->zBuffer = role_ == SurfaceRole::ZBuffer;
        return D_DD_OK;
    }
    void Drawn() {
        if (role_ == SurfaceRole::Primary) PlatformMarkDirty();
    }
    SurfaceDerivedData* Derived(int* uses) {
        if (role_ == SurfaceRole::Primary || lockCount_ > 0 || dcOut_) {
            *uses = 0;
            return nullptr;
        }
        *uses = ++derivedUses_;
        return derived_.get();
    }
    void KeepDerived(std::unique_ptr<SurfaceDerivedData> data) {
        if (role_ != SurfaceRole::Primary && lockCount_ == 0 && !dcOut_) derived_ = std::move(data);
    }
    void SetColorKeyValue(const D_DDCOLORKEY& key) {
        key_ = key;
        hasKey_ = true;
    }

    // ---- the interface ----
    HRESULT Lock(RECT* rect, D_DDSURFACEDESC2* desc, DWORD, HANDLE) override {
        if (HRESULT hr = Usable(); hr != D_DD_OK) return hr;
        if (desc == nullptr || desc->dwSize != sizeof(D_DDSURFACEDESC2)) return D_DDERR_INVALIDPARAMS;
        if (rect != nullptr && !RectInside(*rect, width_, height_)) return D_DDERR_INVALIDRECT;
        if (dcOut_ || (lockCount_ > 0 && PlatformDisplayKnobsRef().strictLocks)) return D_DDERR_SURFACEBUSY;
        ++lockCount_;
        const int pitch = Pitch();
        // What is derived from the pixels is neither made nor used while a
        // lock is out, and Unlock drops it: nothing to drop here.
        std::uint8_t* bits = const_cast<std::uint8_t*>(PixelsToRead());
        if (rect != nullptr)
            bits += static_cast<std::size_t>(rect->top) * pitch + static_cast<std::size_t>(rect->left) * bytes_;
        std::memcpy(desc, &lockDesc_, sizeof *desc);
        desc->lPitch = pitch;
        desc->lpSurface = bits;
        return D_DD_OK;
    }

    HRESULT Unlock(RECT*) override {
        if (lockCount_ == 0) return D_DDERR_NOTLOCKED;
        --lockCount_;
        PixelsMayChange();  // written through the lock
        if (role_ == SurfaceRole::Primary) PlatformMarkDirty();
        return D_DD_OK;
    }

    HRESULT Blt(RECT* destRect, D_IDirectDrawSurface7* sourceInterface, RECT* sourceRect, DWORD flags,
                D_DDBLTFX* fx) override {
        if (HRESULT hr = UsableForWrite(); hr != D_DD_OK) return hr;
        RECT dest = destRect != nullptr ? *destRect : RECT{0, 0, width_, height_};
        const bool fill = (flags & (D_DDBLT_COLORFILL | D_DDBLT_DEPTHFILL)) != 0;
        auto* source = fill ? nullptr : static_cast<Surface*>(sourceInterface);  // a fill has none
        std::unique_lock<std::recursive_mutex> displayLock;
        if (TouchesScreen(source)) displayLock = std::unique_lock(PlatformDisplayMutex());
        if (fill) {
            if (fx == nullptr || fx->dwSize != sizeof *fx) return D_DDERR_INVALIDPARAMS;
            if ((flags & D_DDBLT_DEPTHFILL) && role_ != SurfaceRole::ZBuffer) return D_DDERR_INVALIDPARAMS;
            if (!ClipToWindow(dest, nullptr)) return D_DD_OK;
            if (!RectInside(dest, width_, height_)) return D_DDERR_INVALIDRECT;
            Fill(dest, (flags & D_DDBLT_DEPTHFILL) ? fx->dwFillDepth : fx->dwFillColor);
            AfterWrite(dest);
            return D_DD_OK;
        }
        if (source == nullptr) return D_DDERR_INVALIDPARAMS;
        if (HRESULT hr = source->Usable(); hr != D_DD_OK) return hr;
        if (source->dcOut_) return D_DDERR_SURFACEBUSY;
        if (source->layout_ != layout_) return D_DDERR_INVALIDPIXELFORMAT;
        RECT src = sourceRect != nullptr ? *sourceRect : RECT{0, 0, source->width_, source->height_};
        if (!RectInside(src, source->width_, source->height_)) return D_DDERR_INVALIDRECT;
        if (!ClipToWindow(dest, &src)) return D_DD_OK;
        if (!RectInside(dest, width_, height_)) return D_DDERR_INVALIDRECT;
        bool keyed = (flags & D_DDBLT_KEYSRC) != 0 && source->hasKey_;
        Copy(*source, src, dest, keyed);
        AfterWrite(dest);
        return D_DD_OK;
    }

    HRESULT BltFast(DWORD x, DWORD y, D_IDirectDrawSurface7* sourceInterface, RECT* sourceRect, DWORD flags) override {
        if (HRESULT hr = UsableForWrite(); hr != D_DD_OK) return hr;
        auto* source = static_cast<Surface*>(sourceInterface);
        if (source == nullptr) return D_DDERR_INVALIDPARAMS;
        if (HRESULT hr = source->Usable(); hr != D_DD_OK) return hr;
        if (source->dcOut_) return D_DDERR_SURFACEBUSY;
        if (source->layout_ != layout_) return D_DDERR_INVALIDPIXELFORMAT;
        RECT src = sourceRect != nullptr ? *sourceRect : RECT{0, 0, source->width_, source->height_};
        if (!RectInside(src, source->width_, source->height_)) return D_DDERR_INVALIDRECT;
        if (x > static_cast<DWORD>(kMaxSurfaceSide) || y > static_cast<DWORD>(kMaxSurfaceSide))
            return D_DDERR_INVALIDRECT;
        RECT dest{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x) + (src.right - src.left),
                  static_cast<LONG>(y) + (src.bottom - src.top)};
        if (!RectInside(dest, width_, height_)) return D_DDERR_INVALIDRECT;
        std::unique_lock<std::recursive_mutex> displayLock;
        if (TouchesScreen(source)) displayLock = std::unique_lock(PlatformDisplayMutex());
        const bool keyed = (flags & D_DDBLTFAST_SRCCOLORKEY) != 0 && source->hasKey_;
        Copy(*source, src, dest, keyed);
        if (displayLock.owns_lock()) displayLock.unlock();
        AfterWrite(dest);
        return D_DD_OK;
    }

    HRESULT Flip(D_IDirectDrawSurface7*, DWORD flags) override {
        if (HRESULT hr = UsableForWrite(); hr != D_DD_OK) return hr;
        if (role_ != SurfaceRole::Primary || backBuffer_ == nullptr) return D_DDERR_NOTFLIPPABLE;
        if (!core_->Exclusive()) return D_DDERR_NOEXCLUSIVEMODE;
        if (HRESULT hr = backBuffer_->UsableForWrite(); hr != D_DD_OK) return hr;
        {
            std::lock_guard displayLock(PlatformDisplayMutex());
            // The back buffer afterwards holds what was on the screen: the
            // two trade their memory, unless a lock still points into it.
            backBuffer_->Bits();  // any fill it is owed
            bool traded = lockCount_ == 0 && backBuffer_->lockCount_ == 0 &&
                          PlatformSwapFramebuffer(backBuffer_->memory_, backBuffer_->pitch_);
            if (!traded) {
                std::uint8_t* front = Bits();
                std::size_t rowBytes = static_cast<std::size_t>(width_) * layout_.BytesPerPixel();
                for (int y = 0; y < height_; ++y)
                    std::swap_ranges(front + static_cast<std::size_t>(y) * Pitch(),
                                     front + static_cast<std::size_t>(y) * Pitch() + rowBytes,
                                     backBuffer_->Bits() + static_cast<std::size_t>(y) * backBuffer_->Pitch());
            }
        }
        core_->gdiSurfaceInBack = !core_->gdiSurfaceInBack;
        if ((flags & D_DDFLIP_NOVSYNC) == 0) PlatformWaitVerticalBlankStart();
        PlatformPresent(flags);
        return D_DD_OK;
    }

    HRESULT GetAttachedSurface(D_DDSCAPS2* caps, D_IDirectDrawSurface7** out) override {
        if (caps == nullptr || out == nullptr) return D_DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (detached_ || !core_->alive) return D_DDERR_INVALIDOBJECT;
        if (PlatformDisplayKnobsRef().refuseAttachments) return D_DDERR_NOTFOUND;
        // No surface here has any of the further caps words.
        if ((caps->dwCaps2 | caps->dwCaps3 | caps->dwCaps4) != 0) return D_DDERR_NOTFOUND;
        if ((caps->dwCaps & D_DDSCAPS_BACKBUFFER) && backBuffer_ != nullptr) {
            backBuffer_->AddRef();
            *out = backBuffer_;
            return D_DD_OK;
        }
        for (Surface* s : attached_)
            if ((s->ReportedCaps() & caps->dwCaps) == caps->dwCaps) {
                s->AddRef();
                *out = s;
                return D_DD_OK;
            }
        return D_DDERR_NOTFOUND;
    }

    HRESULT AddAttachedSurface(D_IDirectDrawSurface7* other) override {
        auto* s = static_cast<Surface*>(other);
        if (s == nullptr || s == this) return D_DDERR_INVALIDPARAMS;
        if (detached_ || !core_->alive) return D_DDERR_INVALIDOBJECT;
        if (PlatformDisplayKnobsRef().refuseAttachments) return D_DDERR_CANNOTATTACHSURFACE;
        if (std::find(attached_.begin(), attached_.end(), s) != attached_.end()) return D_DDERR_INVALIDPARAMS;
        s->AddRef();
        attached_.push_back(s);
        return D_DD_OK;
    }

    HRESULT DeleteAttachedSurface(DWORD, D_IDirectDrawSurface7* other) override {
        auto it = std::find(attached_.begin(), attached_.end(), static_cast<Surface*>(other));
        if (it == attached_.end()) return D_DDERR_NOTFOUND;
        (*it)->Release();
        attached_.erase(it);
        return D_DD_OK;
    }

    HRESULT EnumAttachedSurfaces(void* context, D_LPDDENUMSURFACESCALLBACK7 callback) override {
        if (callback == nullptr) return D_DDERR_INVALIDPARAMS;
        std::vector<Surface*> list = attached_;
        if (backBuffer_ != nullptr) list.insert(list.begin(), backBuffer_);
        for (Surface* s : list) {
            // The callback owns the reference it is given, as it would with
            // the real interface.
            s->AddRef();
            D_DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            s->GetSurfaceDesc(&desc);
            if (callback(s, &desc, context) != 1) break;
        }
        return D_DD_OK;
    }

    HRESULT SetColorKey(DWORD flags, D_DDCOLORKEY* key) override {
        if ((flags & D_DDCKEY_SRCBLT) == 0) return D_DDERR_UNSUPPORTED;
        if (key == nullptr) {
            hasKey_ = false;
            return D_DD_OK;
        }
        SetColorKeyValue(*key);
        return D_DD_OK;
    }

    HRESULT GetColorKey(DWORD flags, D_DDCOLORKEY* key) override {
        if ((flags & D_DDCKEY_SRCBLT) == 0 || key == nullptr) return D_DDERR_INVALIDPARAMS;
        if (!hasKey_) return D_DDERR_NOCOLORKEY;
        *key = key_;
        return D_DD_OK;
    }

    HRESULT SetClipper(D_IDirectDrawClipper* clipper) override {
        if (clipper != nullptr) clipper->AddRef();
        if (clipper_ != nullptr) clipper_->Release();
        clipper_ = static_cast<Clipper*>(clipper);
        return D_DD_OK;
    }

    HRESULT GetClipper(D_IDirectDrawClipper** clipper) override {
        if (clipper == nullptr) return D_DDERR_INVALIDPARAMS;
        *clipper = clipper_;
        if (clipper_ == nullptr) return D_DDERR_NOTFOUND;
        clipper_->AddRef();
        return D_DD_OK;
    }

    HRESULT SetPalette(D_IDirectDrawPalette* palette) override {
        if (layout_.bitsPerPixel != 8 && palette != nullptr) return D_DDERR_INVALIDPIXELFORMAT;
        if (palette != nullptr) palette->AddRef();
        if (palette_ != nullptr) {
            if (role_ == SurfaceRole::Primary) palette_->AttachToPrimary(false);
            palette_->Release();
        }
        palette_ = static_cast<Palette*>(palette);
        if (palette_ != nullptr && role_ == SurfaceRole::Primary) palette_->AttachToPrimary(true);
        return D_DD_OK;
    }

    HRESULT GetPalette(D_IDirectDrawPalette** palette) override {
        if (palette == nullptr) return D_DDERR_INVALIDPARAMS;
        *palette = palette_;
        if (palette_ == nullptr) return D_DDERR_NOTFOUND;
        palette_->AddRef();
        return D_DD_OK;
    }

    HRESULT GetCaps(D_DDSCAPS2* caps) override {
        if (caps == nullptr) return D_DDERR_INVALIDPARAMS;
        *caps = D_DDSCAPS2{ReportedCaps(), 0, 0, 0};
        return D_DD_OK;
    }

    HRESULT GetSurfaceDesc(D_DDSURFACEDESC2* desc) override {
        if (desc == nullptr || desc->dwSize != sizeof *desc) return D_DDERR_INVALIDPARAMS;
        DWORD size = desc->dwSize;
        std::memset(desc, 0, sizeof *desc);
        desc->dwSize = size;
        desc->dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT | D_DDSD_PITCH | D_DDSD_PIXELFORMAT;
        desc->dwWidth = static_cast<DWORD>(width_);
        desc->dwHeight = static_cast<DWORD>(height_);
        desc->lPitch = Pitch();
        desc->ddpfPixelFormat = PixelFormat();
        desc->ddsCaps.dwCaps = ReportedCaps();
        if (hasKey_) {
            desc->dwFlags |= D_DDSD_CKSRCBLT;
            desc->ddckCKSrcBlt = key_;
        }
        return D_DD_OK;
    }

    HRESULT GetPixelFormat(D_DDPIXELFORMAT* format) override {
        if (format == nullptr) return D_DDERR_INVALIDPARAMS;
        *format = PixelFormat();
        return D_DD_OK;
    }

    HRESULT GetDC(HDC* dc) override {
        if (dc == nullptr) return D_DDERR_INVALIDPARAMS;
        *dc = nullptr;
        if (HRESULT hr = Usable(); hr != D_DD_OK) return hr;
        if (dcOut_ || lockCount_ > 0) return D_DDERR_SURFACEBUSY;
        // Made on the first call and kept with the surface.
        if (dc_ == nullptr) dc_ = CreateTargetDC(this);
        if (dc_ == nullptr) return D_DDERR_OUTOFMEMORY;
        dcOut_ = true;
        *dc = dc_;
        return D_DD_OK;
    }

    HRESULT ReleaseDC(HDC dc) override {
        if (!dcOut_ || dc != dc_) return D_DDERR_INVALIDPARAMS;
        dcOut_ = false;
        return D_DD_OK;
    }

    HRESULT IsLost() override {
        if (detached_ || !core_->alive) return D_DDERR_INVALIDOBJECT;
        return Lost() ? D_DDERR_SURFACELOST : D_DD_OK;
    }

    HRESULT Restore() override {
        if (detached_ || !core_->alive) return D_DDERR_INVALIDOBJECT;
        if (!Lost()) return D_DD_OK;
        if (PlatformDisplayModeChanged() && !PlatformDisplayHasExclusive()) return D_DDERR_NOEXCLUSIVEMODE;
        if (role_ == SurfaceRole::Primary &&
            (PlatformDisplayWidth() != width_ || PlatformDisplayHeight() != height_ || PlatformDisplayLayout() != layout_))
            return D_DDERR_WRONGMODE;
        epoch_ = PlatformDisplayLossEpoch();
        // Restored memory holds a recognisable pattern until the owner
        // reloads it, so a missing reload shows in captured frames.
        if (role_ != SurfaceRole::Primary && PlatformIsHeadless()) {
            PixelsMayChange();
            owedFill_ = false;
            for (std::size_t i = 0; i < memory_.size(); ++i) memory_[i] = static_cast<std::uint8_t>((i / 4) & 1 ? 0xF8 : 0x1F);
        }
        if (backBuffer_ != nullptr) backBuffer_->epoch_ = epoch_;
        return D_DD_OK;
    }

private:
    // The DC's view. GDI reads through the DC as often as it writes; only a
    // write changes the pixels.
    void DcTarget(PixelTarget* out) override {
        out->bits = const_cast<std::uint8_t*>(PixelsToRead());
        out->pitch = Pitch();
        out->width = width_;
        out->height = height_;
        out->layout = layout_;
        out->screen = role_ == SurfaceRole::Primary;
    }
    void DcWritten() override {
        PixelsMayChange();
        if (role_ == SurfaceRole::Primary) PlatformMarkDirty();
    }

    // Whether a copy between this surface and `source` (or a fill, without
    // one) touches the framebuffer, which the presenting thread reads and a
    // mode change moves: only such copies take the display lock.
    bool TouchesScreen(const Surface* source) const {
        return role_ == SurfaceRole::Primary || (source != nullptr && source->role_ == SurfaceRole::Primary);
    }

    // The pixel memory, to be written, with any fill still owed written
    // out first.
    std::uint8_t* Bits() {
        PixelsMayChange();
        return const_cast<std::uint8_t*>(PixelsToRead());
    }

    // The pixel memory, only to be read.
    const std::uint8_t* PixelsToRead() {
        if (role_ == SurfaceRole::Primary) return PlatformFramebuffer();
        if (owedFill_) {
            owedFill_ = false;
            FillPixels(memory_.data(), 0, memory_.size() / layout_.BytesPerPixel(), 1, layout_.BytesPerPixel(), owedValue_);
        }
        return memory_.data();
    }

    void PixelsMayChange() {
        runs_.reset();
        keyedReads_ = 0;
        derived_.reset();
        derivedUses_ = 0;
    }

    // The opaque runs under the key, for a keyed copy from this surface: made
    // on the second such copy from unchanged pixels, so that pictures drawn
    // on between their uses never pay for them. Null when not (yet) made.
    const OpaqueRuns* RunsFor(DWORD mask, DWORD key) {
        if (role_ == SurfaceRole::Primary || lockCount_ > 0 || dcOut_) return nullptr;
        if (runs_ != nullptr && runs_->MadeFor(mask, key)) return runs_.get();
        if (++keyedReads_ < 2) return nullptr;
        runs_ = std::make_unique<OpaqueRuns>(PixelsToRead(), static_cast<std::size_t>(pitch_), width_, height_,
                                             layout_.BytesPerPixel(), mask, key);
        return runs_.get();
    }
    int Pitch() const { return role_ == SurfaceRole::Primary ? PlatformFramebufferPitch() : pitch_; }
    const D_DDPIXELFORMAT& PixelFormat() const { return pixelFormat_; }
    // What Lock reports, all but the pitch and the address.
    void MakeLockDesc() {
        lockDesc_ = D_DDSURFACEDESC2{};
        lockDesc_.dwSize = sizeof lockDesc_;
        lockDesc_.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT | D_DDSD_PITCH | D_DDSD_PIXELFORMAT | D_DDSD_LPSURFACE;
        lockDesc_.dwWidth = static_cast<DWORD>(width_);
        lockDesc_.dwHeight = static_cast<DWORD>(height_);
        lockDesc_.ddpfPixelFormat = pixelFormat_;
        lockDesc_.ddsCaps.dwCaps = ReportedCaps();
    }
    D_DDPIXELFORMAT MakePixelFormat() const {
        if (role_ == SurfaceRole::ZBuffer) {
            D_DDPIXELFORMAT pf{};
            pf.dwSize = sizeof pf;
            pf.dwFlags = D_DDPF_ZBUFFER;
            pf.dwZBufferBitDepth = static_cast<DWORD>(layout_.bitsPerPixel);
            pf.dwZBitMask = layout_.bitsPerPixel >= 32 ? 0xFFFFFFFFu : ((1u << layout_.bitsPerPixel) - 1);
            return pf;
        }
        if (fourCC_ != 0) {
            D_DDPIXELFORMAT pf{};
            pf.dwSize = sizeof pf;
            pf.dwFlags = D_DDPF_FOURCC;
            pf.dwFourCC = fourCC_;
            return pf;
        }
        return PixelFormatOf(layout_);
    }
    DWORD ReportedCaps() const { return caps_ | (videoMemory_ ? D_DDSCAPS_VIDEOMEMORY | D_DDSCAPS_LOCALVIDMEM : D_DDSCAPS_SYSTEMMEMORY); }
    bool Lost() const { return videoMemory_ && epoch_ != PlatformDisplayLossEpoch(); }

    HRESULT Usable() {
        if (detached_ || !core_->alive) return D_DDERR_INVALIDOBJECT;
        if (Lost()) return D_DDERR_SURFACELOST;
        if (role_ == SurfaceRole::Primary &&
            (PlatformDisplayWidth() != width_ || PlatformDisplayHeight() != height_))
            return D_DDERR_SURFACELOST;
        return D_DD_OK;
    }

    HRESULT UsableForWrite() {
        if (HRESULT hr = Usable(); hr != D_DD_OK) return hr;
        if (dcOut_ || (lockCount_ > 0 && PlatformDisplayKnobsRef().strictLocks)) return D_DDERR_SURFACEBUSY;
        return D_DD_OK;
    }

    // With a clipper, writes to the primary stay inside the window's client
    // rectangle; the source shrinks in proportion. False when nothing is left.
    bool ClipToWindow(RECT& dest, RECT* src) {
        if (clipper_ == nullptr || role_ != SurfaceRole::Primary) return true;
        RECT client = PlatformDisplayClientRect();
        RECT clipped{std::max(dest.left, client.left), std::max(dest.top, client.top),
                     std::min(dest.right, client.right), std::min(dest.bottom, client.bottom)};
        if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) return false;
        if (src != nullptr) {
            long dw = dest.right - dest.left, dh = dest.bottom - dest.top;
            long sw = src->right - src->left, sh = src->bottom - src->top;
            if (dw <= 0 || dh <= 0) return false;
            RECT s = *src;
            s.left = src->left + static_cast<LONG>((clipped.left - dest.left) * sw / dw);
            s.right = src->left + static_cast<LONG>((clipped.right - dest.left) * sw / dw);
            s.top = src->top + static_cast<LONG>((clipped.top - dest.top) * sh / dh);
            s.bottom = src->top + static_cast<LONG>((clipped.bottom - dest.top) * sh / dh);
            *src = s;
        }
        dest = clipped;
        return true;
    }

    // A fill of a whole surface without padding is only noted, and written
    // when the memory is next used: the depth buffer, cleared every frame
    // and never read without Direct3D, then costs nothing.
    void Fill(const RECT& r, DWORD value) {
        const int bytes = layout_.BytesPerPixel(), pitch = Pitch();
        if (role_ != SurfaceRole::Primary && r.left == 0 && r.top == 0 && r.right == width_ && r.bottom == height_ &&
            pitch == width_ * bytes) {
            PixelsMayChange();
            owedFill_ = true;
            owedValue_ = value;
            return;
        }
        const std::size_t width = static_cast<std::size_t>(r.right - r.left);
        const std::size_t rows = static_cast<std::size_t>(r.bottom - r.top);
        std::uint8_t* first = Bits() + static_cast<std::size_t>(r.top) * pitch + static_cast<std::size_t>(r.left) * bytes;
        // Whole rows without padding between them are one run.
        if (r.left == 0 && r.right == width_ && pitch == width_ * bytes)
            FillPixels(first, 0, width * rows, 1, bytes, value);
        else
            FillPixels(first, static_cast<std::size_t>(pitch), width, rows, bytes, value);
    }

    // Nearest-neighbour copy of `src` of `source` onto `dest`; keyed copies
    // skip pixels equal to the source key on the format's channel bits.
    void Copy(Surface& source, const RECT& src, const RECT& dest, bool keyed) {
        const int bytes = bytes_;
        const long dw = dest.right - dest.left, dh = dest.bottom - dest.top;
        const long sw = src.right - src.left, sh = src.bottom - src.top;
        if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
        const DWORD mask = keyMask_;
        const DWORD key = source.key_.dwColorSpaceLowValue & mask;
        const std::uint8_t* sourceBits = source.PixelsToRead();
        const std::size_t sourcePitch = static_cast<std::size_t>(source.Pitch());
        const std::size_t keyedBytes = static_cast<std::size_t>(dw) * bytes * static_cast<std::size_t>(dh);
        if (keyed && dw == sw && dh == sh && &source != this && keyedBytes > kKeyedVectorBytes) {
            // A large picture whose opaque runs are long on average is
            // copied run by run, reading and writing only what it draws.
            const OpaqueRuns* runs = source.RunsFor(mask, key);
            if (runs != nullptr && runs->RunsOnRows(static_cast<int>(src.top), static_cast<int>(dh)) * kRunBytesToGo <
                                       keyedBytes) {
                const std::size_t outPitch = static_cast<std::size_t>(Pitch());
                std::uint8_t* out = Bits() + static_cast<std::size_t>(dest.top) * outPitch +
                                    static_cast<std::size_t>(dest.left) * bytes;
                runs->Copy(out, outPitch, sourceBits, sourcePitch, src.left, src.top, static_cast<int>(dw),
                           static_cast<int>(dh));
                return;
            }
        }
        const std::uint8_t* in =
            sourceBits + static_cast<std::size_t>(src.top) * sourcePitch + static_cast<std::size_t>(src.left) * bytes;
        std::size_t inPitch = sourcePitch;
        // Copying within one surface onto the source's own pixels: go
        // through a copy of the source rectangle.
        if (&source == this && src.left < dest.right && dest.left < src.right && src.top < dest.bottom &&
            dest.top < src.bottom) {
            thread_local std::vector<std::uint8_t> staging;
            const std::size_t rowBytes = static_cast<std::size_t>(sw) * bytes;
            staging.resize(rowBytes * static_cast<std::size_t>(sh));
            for (long j = 0; j < sh; ++j) std::memcpy(staging.data() + j * rowBytes, in + j * inPitch, rowBytes);
            in = staging.data();
            inPitch = rowBytes;
        }
        const std::size_t outPitch = static_cast<std::size_t>(Pitch());
        std::uint8_t* out = Bits() + static_cast<std::size_t>(dest.top) * outPitch +
                            static_cast<std::size_t>(dest.left) * bytes;
        const std::size_t rowBytes = static_cast<std::size_t>(dw) * bytes;
        if (dw == sw && dh == sh) {
            if (keyed)
                CopyKeyedPixels(out, outPitch, in, inPitch, static_cast<std::size_t>(dw), static_cast<std::size_t>(dh),
                                bytes, mask, key);
            else if (inPitch == rowBytes && outPitch == rowBytes)
                std::memcpy(out, in, rowBytes * static_cast<std::size_t>(dh));  // one run
            else
                for (long j = 0; j < dh; ++j, out += outPitch, in += inPitch) std::memcpy(out, in, rowBytes);
            return;
        }
        // Stretched: the source column of every destination column, once.
        thread_local std::vector<std::uint32_t> columns;
        columns.resize(static_cast<std::size_t>(dw));
        for (long i = 0; i < dw; ++i) columns[i] = static_cast<std::uint32_t>(i * sw / dw * bytes);
        long previous = -1;
        for (long j = 0; j < dh; ++j, out += outPitch) {
            const long sy = j * sh / dh;
            // An opaque row from the same source row as the one above is
            // that row again.
            if (!keyed && sy == previous)
                std::memcpy(out, out - outPitch, rowBytes);
            else
                CopySteppedPixelRow(out, in + static_cast<std::size_t>(sy) * inPitch, columns.data(),
                                    static_cast<std::size_t>(dw), bytes, keyed, mask, key);
            previous = sy;
        }
    }

    void AfterWrite(const RECT& dest) {
        if (role_ != SurfaceRole::Primary) return;
        RECT client = PlatformDisplayClientRect();
        bool covers = dest.left <= client.left && dest.top <= client.top && dest.right >= client.right &&
                      dest.bottom >= client.bottom;
        if (covers)
            PlatformPresent(0);
        else
            PlatformMarkDirty();
    }

    std::shared_ptr<DirectDrawCore> core_;
    SurfaceRole role_;
    int width_, height_;
    PlatformPixelLayout layout_;
    DWORD caps_;
    bool videoMemory_;
    std::uint64_t epoch_;
    int bytes_;                     // a pixel's
    DWORD keyMask_;                 // the bits a colour key is compared on
    D_DDPIXELFORMAT pixelFormat_{};  // as Lock and GetPixelFormat report it
    D_DDSURFACEDESC2 lockDesc_{};
    int pitch_ = 0;
    PixelMemory memory_;
    bool owedFill_ = false;  // memory_ is to be filled with owedValue_
    DWORD owedValue_ = 0;
    std::unique_ptr<OpaqueRuns> runs_;
    int keyedReads_ = 0;  // keyed copies from these pixels since they last changed
    std::unique_ptr<SurfaceDerivedData> derived_;
    int derivedUses_ = 0;  // asked for since the pixels last changed
    int lockCount_ = 0;
    bool dcOut_ = false;
    HDC dc_ = nullptr;
    bool hasKey_ = false;
    D_DDCOLORKEY key_{};
    bool detached_ = false;
    Surface* backBuffer_ = nullptr;
    DWORD fourCC_ = 0;
    std::vector<Surface*> attached_;
    Clipper* clipper_ = nullptr;
    Palette* palette_ = nullptr;
};

bool LayoutFromPixelFormat(const D_DDPIXELFORMAT& pf, PlatformPixelLayout& out) {
    if (pf.dwFlags & D_DDPF_FOURCC) return false;
    if (pf.dwFlags & D_DDPF_PALETTEINDEXED8) {
        out = kLayout8;
        return true;
    }
    if ((pf.dwFlags & D_DDPF_RGB) == 0) return false;
    int bits = static_cast<int>(pf.dwRGBBitCount);
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    out = PlatformPixelLayout{bits, pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask,
                              (pf.dwFlags & D_DDPF_ALPHAPIXELS) ? pf.dwRGBAlphaBitMask : 0};
    return true;
}

bool SizeGiven(const D_DDSURFACEDESC2& desc) {
    return (desc.dwFlags & D_DDSD_WIDTH) && (desc.dwFlags & D_DDSD_HEIGHT) && desc.dwWidth != 0 &&
           desc.dwHeight != 0 && desc.dwWidth <= kMaxSurfaceSide && desc.dwHeight <= kMaxSurfaceSide;
}

// An overlay of the one four-character code or RGB layout the hardware
// takes (a four-character code is held as 16 bits a pixel).
HRESULT CreateOverlay(const std::shared_ptr<DirectDrawCore>& core, const D_DDSURFACEDESC2& desc, DWORD caps,
                      const PlatformDisplayKnobs& knobs, D_IDirectDrawSurface7** out) {
    if (knobs.overlayFourCC == 0 && knobs.overlayLayout.bitsPerPixel == 0) return D_DDERR_NOOVERLAYHW;
    if (!SizeGiven(desc) || !(desc.dwFlags & D_DDSD_PIXELFORMAT)) return D_DDERR_INVALIDPARAMS;
    const D_DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    PlatformPixelLayout layout{};
    if (pf.dwFlags & D_DDPF_FOURCC) {
        if (pf.dwFourCC != knobs.overlayFourCC) return D_DDERR_INVALIDPIXELFORMAT;
        layout.bitsPerPixel = 16;
    } else if (!LayoutFromPixelFormat(pf, layout) || layout != knobs.overlayLayout) {
        return D_DDERR_INVALIDPIXELFORMAT;
    }
    DWORD kept = caps & ~(D_DDSCAPS_SYSTEMMEMORY | D_DDSCAPS_VIDEOMEMORY | D_DDSCAPS_LOCALVIDMEM);
    auto* overlay = new Surface(core, SurfaceRole::Plain, static_cast<int>(desc.dwWidth),
                                static_cast<int>(desc.dwHeight), layout, kept, !knobs.overlaysInSystemMemory);
    overlay->SetFourCC(pf.dwFlags & D_DDPF_FOURCC ? pf.dwFourCC : 0);
    *out = overlay;
    return D_DD_OK;
}

}  // namespace

int PlatformLiveSurfaceCount() { return g_liveSurfaces.load(); }

HRESULT ViewSurfacePixels(D_IDirectDrawSurface7* surface, SurfacePixels* out, bool toWrite) {
    if (surface == nullptr || out == nullptr) return D_DDERR_INVALIDPARAMS;
    return static_cast<Surface*>(surface)->View(out, toWrite);
}

SurfaceDerivedData* FindSurfaceDerived(D_IDirectDrawSurface7* surface, int* uses) {
    *uses = 0;
    return surface != nullptr ? static_cast<Surface*>(surface)->Derived(uses) : nullptr;
}

void KeepSurfaceDerived(D_IDirectDrawSurface7* surface, std::unique_ptr<SurfaceDerivedData> data) {
    if (surface != nullptr) static_cast<Surface*>(surface)->KeepDerived(std::move(data));
}

void NoteSurfaceDrawn(D_IDirectDrawSurface7* surface) {
    if (surface != nullptr) static_cast<Surface*>(surface)->Drawn();
}

HRESULT CreateStandInSurface(const std::shared_ptr<DirectDrawCore>& core, const D_DDSURFACEDESC2& desc,
                             D_IDirectDrawSurface7** out) {
    if (desc.dwSize != sizeof(D_DDSURFACEDESC2)) return D_DDERR_INVALIDPARAMS;
    DWORD caps = (desc.dwFlags & D_DDSD_CAPS) ? desc.ddsCaps.dwCaps : D_DDSCAPS_OFFSCREENPLAIN;
    const PlatformDisplayKnobs& knobs = PlatformDisplayKnobsRef();
    if (caps & D_DDSCAPS_OVERLAY) return CreateOverlay(core, desc, caps, knobs, out);

    if (caps & D_DDSCAPS_PRIMARYSURFACE) {
        // The primary surface is the screen: its size and format are the
        // display mode's and cannot be asked for.
        if (desc.dwFlags & (D_DDSD_WIDTH | D_DDSD_HEIGHT | D_DDSD_PIXELFORMAT)) return D_DDERR_INVALIDPARAMS;
        if (core->primaryExists) return D_DDERR_PRIMARYSURFACEALREADYEXISTS;
        bool chain = (caps & D_DDSCAPS_FLIP) != 0;
        if (chain && (!(desc.dwFlags & D_DDSD_BACKBUFFERCOUNT) || desc.dwBackBufferCount != 1))
            return D_DDERR_INVALIDPARAMS;
        if (chain && !core->Exclusive()) return D_DDERR_NOEXCLUSIVEMODE;
        int w = PlatformDisplayWidth(), h = PlatformDisplayHeight();
        PlatformPixelLayout layout = PlatformDisplayLayout();
        DWORD primaryCaps = (caps & ~(D_DDSCAPS_SYSTEMMEMORY | D_DDSCAPS_VIDEOMEMORY)) |
                            (chain ? D_DDSCAPS_FRONTBUFFER : 0);
        auto* primary = new Surface(core, SurfaceRole::Primary, w, h, layout, primaryCaps, true);
        if (chain) {
            DWORD backCaps = D_DDSCAPS_BACKBUFFER | D_DDSCAPS_FLIP | D_DDSCAPS_COMPLEX | (caps & D_DDSCAPS_3DDEVICE);
            primary->SetBackBuffer(new Surface(core, SurfaceRole::BackBuffer, w, h, layout, backCaps, true));
        }
        core->primaryExists = true;
        core->primary = primary;
        *out = primary;
        return D_DD_OK;
    }

    if (!SizeGiven(desc)) return D_DDERR_INVALIDPARAMS;
    // Textures that Direct3D manages keep their pixels through a device loss.
    const bool managed = (caps & D_DDSCAPS_TEXTURE) && (desc.ddsCaps.dwCaps2 & D_DDSCAPS2_TEXTUREMANAGE);
    bool video = (caps & D_DDSCAPS_SYSTEMMEMORY) == 0 && !managed;
    if (video && knobs.videoMemoryFails) return static_cast<HRESULT>(0x887600BBu);  // out of video memory
    DWORD kept = caps & ~(D_DDSCAPS_SYSTEMMEMORY | D_DDSCAPS_VIDEOMEMORY | D_DDSCAPS_LOCALVIDMEM);

    if (caps & D_DDSCAPS_ZBUFFER) {
        // The depth format may be missing: Direct3D has not said it yet.
        int bits = 16;
        if ((desc.dwFlags & D_DDSD_PIXELFORMAT) && desc.ddpfPixelFormat.dwZBufferBitDepth != 0)
            bits = static_cast<int>(desc.ddpfPixelFormat.dwZBufferBitDepth);
        if (bits != 16 && bits != 24 && bits != 32) return D_DDERR_INVALIDPIXELFORMAT;
        *out = new Surface(core, SurfaceRole::ZBuffer, static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight),
                           PlatformPixelLayout{bits, 0, 0, 0, 0}, kept, video);
        return D_DD_OK;
    }

    PlatformPixelLayout layout = PlatformDisplayLayout();
    if ((desc.dwFlags & D_DDSD_PIXELFORMAT) && !LayoutFromPixelFormat(desc.ddpfPixelFormat, layout))
        return D_DDERR_INVALIDPIXELFORMAT;
    auto* surface = new Surface(core, SurfaceRole::Plain, static_cast<int>(desc.dwWidth),
                                static_cast<int>(desc.dwHeight), layout, kept, video);
    if (desc.dwFlags & D_DDSD_CKSRCBLT) surface->SetColorKeyValue(desc.ddckCKSrcBlt);
    *out = surface;
    return D_DD_OK;
}
