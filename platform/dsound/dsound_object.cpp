// The DirectSound object: opens the shared output on Initialize, makes and
// duplicates buffers, reports what the software mixer can do.
#include <new>

#include "dsound/dsound_internal.h"
#include "platform/kernel.h"

const CLSID CLSID_D_DirectSound = {0x4B564453, 0x0000, 0x0001, {0x4B, 0x56, 0x44, 0x53, 0x4F, 0x42, 0x4A, 0x31}};
const IID IID_D_IDirectSound = {0x4B564453, 0x0001, 0x0001, {0x4B, 0x56, 0x44, 0x53, 0x49, 0x46, 0x43, 0x31}};

namespace {

class DirectSound final : public ComObject<D_IDirectSound> {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object != nullptr && IsEqualGUID(riid, IID_D_IDirectSound)) {
            *object = static_cast<D_IDirectSound*>(this);
            AddRef();
            return S_OK;
        }
        return ComObject::QueryInterface(riid, object);
    }

    HRESULT Initialize(const GUID*) override {
        if (output_) return D_DSERR_ALREADYINITIALIZED;
        output_ = AcquireAudioOutput();
        return output_ ? D_DS_OK : D_DSERR_NODRIVER;
    }

    HRESULT SetCooperativeLevel(HWND, DWORD level) override {
        if (!output_) return D_DSERR_UNINITIALIZED;
        if (level < D_DSSCL_NORMAL || level > D_DSSCL_WRITEPRIMARY) return D_DSERR_INVALIDPARAM;
        return D_DS_OK;
    }

    HRESULT CreateSoundBuffer(const D_DSBUFFERDESC* desc, D_IDirectSoundBuffer** buffer, D_IUnknown* outer) override {
        if (buffer == nullptr) return D_DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (!output_) return D_DSERR_UNINITIALIZED;
        if (desc == nullptr || outer != nullptr) return D_DSERR_INVALIDPARAM;
        if ((desc->dwFlags & D_DSBCAPS_PRIMARYBUFFER) != 0) {
            if (desc->dwBufferBytes != 0 || desc->lpwfxFormat != nullptr) return D_DSERR_INVALIDPARAM;
            *buffer = new SoundBuffer(output_);
            return D_DS_OK;
        }
        HRESULT check = CheckBufferDescription(*desc);
        if (check != D_DS_OK) return check;
        std::shared_ptr<SampleMemory> memory;
        try {
            // Zero-filled, so a region nobody wrote plays as silence (16-bit)
            // or a steady offset (8-bit), never as old data.
            memory = std::make_shared<SampleMemory>(desc->dwBufferBytes, std::uint8_t{0});
        } catch (const std::bad_alloc&) {
            return D_DSERR_OUTOFMEMORY;
        }
        WAVEFORMATEX format = *desc->lpwfxFormat;
        format.cbSize = 0;
        *buffer = new SoundBuffer(output_, format, desc->dwFlags, std::move(memory));
        return D_DS_OK;
    }

    HRESULT GetCaps(D_DSCAPS* caps) override {
        if (caps == nullptr) return D_DSERR_INVALIDPARAM;
        if (!output_) return D_DSERR_UNINITIALIZED;
        *caps = {};
        caps->dwSize = sizeof(D_DSCAPS);
        caps->dwFlags = D_DSCAPS_PRIMARYMONO | D_DSCAPS_PRIMARYSTEREO | D_DSCAPS_PRIMARY8BIT |
                        D_DSCAPS_PRIMARY16BIT | D_DSCAPS_CONTINUOUSRATE | D_DSCAPS_SECONDARYMONO |
                        D_DSCAPS_SECONDARYSTEREO | D_DSCAPS_SECONDARY8BIT | D_DSCAPS_SECONDARY16BIT;
        caps->dwMinSecondarySampleRate = D_DSBFREQUENCY_MIN;
        caps->dwMaxSecondarySampleRate = D_DSBFREQUENCY_MAX;
        caps->dwPrimaryBuffers = 1;
        return D_DS_OK;
    }

    HRESULT DuplicateSoundBuffer(D_IDirectSoundBuffer* original, D_IDirectSoundBuffer** duplicate) override {
        if (duplicate == nullptr) return D_DSERR_INVALIDPARAM;
        *duplicate = nullptr;
        if (!output_) return D_DSERR_UNINITIALIZED;
        auto* source = dynamic_cast<SoundBuffer*>(original);
        if (source == nullptr) return D_DSERR_INVALIDPARAM;
        if (source->IsPrimary()) return D_DSERR_INVALIDCALL;
        *duplicate = source->Duplicate();
        return D_DS_OK;
    }

private:
    std::shared_ptr<AudioOutput> output_;
};

HRESULT MakeDirectSound(REFIID riid, void** object) {
    auto* sound = new DirectSound();
    HRESULT result = sound->QueryInterface(riid, object);
    sound->Release();
    return result;
}

}  // namespace

HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context) {
    if (callback == nullptr) return D_DSERR_INVALIDPARAM;
    callback(nullptr, "Primary Sound Driver", "", context);
    return D_DS_OK;
}

void RegisterDirectSoundStandIn() {
    RegisterComClass(CLSID_D_DirectSound, MakeDirectSound);
    PlatformRegisterModuleExport("DSOUND.DLL", "DirectSoundEnumerateA",
                                 reinterpret_cast<FARPROC>(&DirectSoundEnumerateA));
}
