// The DirectInput objects: versions 7 and 8, the keyboard, mouse and joypad
// devices, and the force-feedback effects of a joypad.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "dinput/dinput_internal.h"
#include "platform/kernel.h"

const CLSID CLSID_D_DirectInput = {0x25E609E0, 0xB259, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const CLSID CLSID_D_DirectInput8 = {0x25E609E4, 0xB259, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_D_IDirectInput7A = {0x9A4CB684, 0x236D, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};
const IID IID_D_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
const IID IID_D_IDirectInputDevice7A = {0x57D7C6BC, 0x2356, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};
const IID IID_D_IDirectInputDevice8A = {0x54D41080, 0xDC15, 0x4833, {0xA4, 0x1B, 0x74, 0x8F, 0x73, 0xA3, 0x81, 0x79}};
const IID IID_D_IDirectInputEffect = {0xE7E1F7C0, 0x88D2, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID GUID_D_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_D_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_D_Sine = {0x13541C23, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID GUID_D_ConstantForce = {0x13541C20, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
// Property ids are small numbers in the real interface; here they are ids of
// their own so that SetProperty can tell them apart.
const GUID D_DIPROP_BUFFERSIZE = {1, 0, 0, {0xD1, 0x9B, 0, 0, 0, 0, 0, 0}};
const GUID D_DIPROP_RANGE = {4, 0, 0, {0xD1, 0x9B, 0, 0, 0, 0, 0, 0}};
const GUID D_DIPROP_DEADZONE = {5, 0, 0, {0xD1, 0x9B, 0, 0, 0, 0, 0, 0}};

const D_DIDATAFORMAT D_c_dfDIKeyboard = {24, 16, 2, 256, 256, nullptr};
const D_DIDATAFORMAT D_c_dfDIMouse = {24, 16, 2, 16, 7, nullptr};
const D_DIDATAFORMAT D_c_dfDIJoystick = {24, 16, 1, sizeof(D_DIJOYSTATE), 44, nullptr};

namespace {

// Joypad instance ids: this base with the pad's number in Data1.
constexpr GUID kPadInstanceBase = {0, 0x4B45, 0x4C56, {'K', 'E', 'L', 'V', 'O', 'P', 'A', 'D'}};
constexpr GUID kPadProduct = {0x10, 0x4B45, 0x4C56, {'K', 'E', 'L', 'V', 'O', 'P', 'A', 'D'}};

int PadIndexOf(const GUID& guid) {
    GUID base = guid;
    base.Data1 = 0;
    if (!IsEqualGUID(base, kPadInstanceBase) || guid.Data1 < 1 || guid.Data1 > 8) return -1;
    return static_cast<int>(guid.Data1) - 1;
}

bool Fails(const std::string& knob, const char* step) { return knob == step; }

enum class DeviceKind { Keyboard, Mouse, Pad };

// Motor commands of a pad's two effects: the constant force drives the low
// motor, the sine the high one.
struct PadMotors {
    int constant = 0;
    int sine = 0;
};
PadMotors g_motors[8];

void PushRumble(int pad) { InputSourceRumble(pad, g_motors[pad].constant, g_motors[pad].sine); }

class Effect final : public ComObject<D_IDirectInputEffect> {
public:
    Effect(int pad, bool sine, int strength) : pad_(pad), sine_(sine), strength_(strength) {
        ++PlatformInputStatsRef().liveEffects;
    }
    ~Effect() override {
        Stop();
        --PlatformInputStatsRef().liveEffects;
    }
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object != nullptr && IsEqualGUID(riid, IID_D_IDirectInputEffect)) {
            *object = static_cast<D_IDirectInputEffect*>(this);
            AddRef();
            return S_OK;
        }
        return ComObject::QueryInterface(riid, object);
    }
    HRESULT Start(DWORD iterations, DWORD flags) override {
        ++PlatformInputStatsRef().effectStarts;
        PlatformInputStatsRef().lastStartIterations = iterations;
        PlatformInputStatsRef().lastStartFlags = flags;
        Motor() = strength_;
        playing_ = true;
        PushRumble(pad_);
        return D_DI_OK;
    }
    HRESULT Stop() override {
        if (!playing_) return D_DI_OK;
        ++PlatformInputStatsRef().effectStops;
        playing_ = false;
        Motor() = 0;
        PushRumble(pad_);
        return D_DI_OK;
    }

private:
    int& Motor() { return sine_ ? g_motors[pad_].sine : g_motors[pad_].constant; }
    int pad_;
    bool sine_;
    int strength_;
    bool playing_ = false;
};

class Device final : public ComObject<D_IDirectInputDevice7> {
public:
    Device(DeviceKind kind, int pad) : kind_(kind), pad_(pad) {
        ++PlatformInputStatsRef().liveDevices;
        for (auto& range : ranges_) range = {0, 65535};
        PlatformDeviceRequests& r = Requests();
        r = PlatformDeviceRequests{};
        r.made = true;
        for (auto& max : r.rangeMax) max = 65535;
    }
    ~Device() override {
        if (event_ != nullptr && kind_ == DeviceKind::Keyboard) InputUnwatchKeyboard(event_);
        --PlatformInputStatsRef().liveDevices;
    }
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object != nullptr &&
            (IsEqualGUID(riid, IID_D_IDirectInputDevice7A) || IsEqualGUID(riid, IID_D_IDirectInputDevice8A))) {
            *object = static_cast<D_IDirectInputDevice7*>(this);
            AddRef();
            return S_OK;
        }
        return ComObject::QueryInterface(riid, object);
    }

    HRESULT GetDeviceInfo(D_DIDEVICEINSTANCEA* info) override {
        if (info == nullptr || info->dwSize != sizeof *info) return D_DIERR_INVALIDPARAM;
        FillInstance(kind_, pad_, info);
        return D_DI_OK;
    }

    HRESULT SetDataFormat(const D_DIDATAFORMAT* format) override {
        if (acquired_) return D_DIERR_ACQUIRED;
        const D_DIDATAFORMAT* wanted = kind_ == DeviceKind::Keyboard ? &D_c_dfDIKeyboard
                                       : kind_ == DeviceKind::Mouse  ? &D_c_dfDIMouse
                                                                     : &D_c_dfDIJoystick;
        if (format != wanted || Fails(Knob(), "format")) return D_DIERR_INVALIDPARAM;
        format_ = format;
        return D_DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND, DWORD flags) override {
        bool exclusive = (flags & D_DISCL_EXCLUSIVE) != 0, shared = (flags & D_DISCL_NONEXCLUSIVE) != 0;
        bool fore = (flags & D_DISCL_FOREGROUND) != 0, back = (flags & D_DISCL_BACKGROUND) != 0;
        if (exclusive == shared || fore == back || Fails(Knob(), "cooperate")) return D_DIERR_INVALIDPARAM;
        cooperation_ = flags;
        Requests().cooperation = flags;
        if (kind_ == DeviceKind::Pad) PlatformInputStatsRef().lastPadCooperation = flags;
        return D_DI_OK;
    }

    HRESULT SetProperty(REFGUID property, const D_DIPROPHEADER* header) override {
        if (header == nullptr) return D_DIERR_INVALIDPARAM;
        if (IsEqualGUID(property, D_DIPROP_BUFFERSIZE)) {
            if (header->dwHow != D_DIPH_DEVICE || header->dwSize != sizeof(D_DIPROPDWORD) || Fails(Knob(), "buffer"))
                return D_DIERR_INVALIDPARAM;
            Requests().bufferSize = reinterpret_cast<const D_DIPROPDWORD*>(header)->dwData;
            return D_DI_OK;
        }
        bool range = IsEqualGUID(property, D_DIPROP_RANGE), dead = IsEqualGUID(property, D_DIPROP_DEADZONE);
        if ((!range && !dead) || kind_ != DeviceKind::Pad) return D_DIERR_UNSUPPORTED;
        int axis = AxisOf(*header);
        if (axis < 0) return D_DIERR_INVALIDPARAM;
        static const char* const kRange[] = {"rangex", "rangey", "rangez", "rangerx", "rangery", "rangerz"};
        static const char* const kDead[] = {"deadx", "deady", "deadz", "deadrx", "deadry", "deadrz"};
        if (Fails(Knob(), range ? kRange[axis] : kDead[axis])) return D_DIERR_INVALIDPARAM;
        if (range) {
            if (header->dwSize != sizeof(D_DIPROPRANGE)) return D_DIERR_INVALIDPARAM;
            const auto* r = reinterpret_cast<const D_DIPROPRANGE*>(header);
            if (r->lMin >= r->lMax) return D_DIERR_INVALIDPARAM;
            ranges_[axis] = {r->lMin, r->lMax};
            Requests().rangeMin[axis] = r->lMin;
            Requests().rangeMax[axis] = r->lMax;
        } else {
            if (header->dwSize != sizeof(D_DIPROPDWORD)) return D_DIERR_INVALIDPARAM;
            DWORD zone = reinterpret_cast<const D_DIPROPDWORD*>(header)->dwData;
            if (zone > 10000) return D_DIERR_INVALIDPARAM;
            deadZones_[axis] = zone;
            Requests().deadZone[axis] = zone;
        }
        return D_DI_OK;
    }

    HRESULT SetEventNotification(HANDLE event) override {
        if (acquired_) return D_DIERR_ACQUIRED;
        if (Fails(Knob(), "event")) return E_FAIL;
        if (kind_ == DeviceKind::Keyboard) {
            if (event_ != nullptr) InputUnwatchKeyboard(event_);
            if (event != nullptr) InputWatchKeyboard(event);
        }
        event_ = event;
        Requests().notifying = event != nullptr;
        // The joypads here are read by polling; only the keyboard signals.
        return kind_ == DeviceKind::Pad ? D_DI_POLLEDDEVICE : D_DI_OK;
    }

    HRESULT Acquire() override {
        if (format_ == nullptr) return D_DIERR_INVALIDPARAM;
        if (PlatformInputKnobsRef().refuseAcquire || Fails(Knob(), "acquire")) return D_DIERR_OTHERAPPHASPRIO;
        if (acquired_) return S_FALSE;
        acquired_ = true;
        ++PlatformInputStatsRef().acquires;
        // The level set takes effect with the acquisition; a pad is read
        // once as it is taken.
        Requests().acquired = true;
        Requests().cooperationInForce = cooperation_;
        if (kind_ == DeviceKind::Pad) InputSourcePad(pad_, &polled_);
        return D_DI_OK;
    }

    HRESULT Unacquire() override {
        if (!acquired_) return S_FALSE;
        acquired_ = false;
        Requests().acquired = false;
        return D_DI_OK;
    }

    HRESULT GetDeviceState(DWORD size, void* data) override {
        if (format_ == nullptr || data == nullptr || size != format_->dwDataSize) return D_DIERR_INVALIDPARAM;
        if (!acquired_) return D_DIERR_NOTACQUIRED;
        if (PlatformInputKnobsRef().refuseAcquire) {
            // The device was taken away: it must be acquired again.
            acquired_ = false;
            Requests().acquired = false;
            return D_DIERR_INPUTLOST;
        }
        if (kind_ == DeviceKind::Keyboard) {
            ++PlatformInputStatsRef().keyboardStateReads;
            InputSourceKeys(static_cast<BYTE*>(data));
        } else if (kind_ == DeviceKind::Mouse) {
            std::memset(data, 0, size);
        } else {
            ++PlatformInputStatsRef().padStateReads;
            ReadPad(static_cast<D_DIJOYSTATE*>(data));
        }
        return D_DI_OK;
    }

    // A pad is polled: its state as read by the last Poll (or acquisition)
    // is what GetDeviceState hands back.
    HRESULT Poll() override {
        if (!acquired_) return D_DIERR_NOTACQUIRED;
        if (kind_ != DeviceKind::Pad) return S_FALSE;  // DI_NOEFFECT
        InputSourcePad(pad_, &polled_);
        ++Requests().polls;
        return D_DI_OK;
    }

    // What the device refuses in an effect's description: a wrong size, flags
    // it does not know, axes named neither by offset nor by id (or by both),
    // axes the pad does not have, a direction in no coordinate system or in
    // more than one (polar takes two axes), a gain over 10000, and an
    // envelope of the wrong size.
    static bool EffectParamsValid(const D_DIEFFECT& e) {
        constexpr DWORD kObjectIds = 0x01, kSpherical = 0x40;
        constexpr DWORD kCoordinates = D_DIEFF_CARTESIAN | D_DIEFF_POLAR | kSpherical;
        if (e.dwSize != sizeof(D_DIEFFECT)) return false;
        if ((e.dwFlags & ~(kObjectIds | D_DIEFF_OBJECTOFFSETS | kCoordinates)) != 0) return false;
        if (e.dwGain > 10000) return false;
        if (e.lpEnvelope != nullptr && e.lpEnvelope->dwSize != sizeof(D_DIENVELOPE)) return false;
        if (e.cAxes == 0) return true;
        if (e.rgdwAxes == nullptr || e.cAxes > 6) return false;
        const DWORD naming = e.dwFlags & (kObjectIds | D_DIEFF_OBJECTOFFSETS);
        if (naming != kObjectIds && naming != D_DIEFF_OBJECTOFFSETS) return false;
        for (DWORD i = 0; i < e.cAxes && naming == D_DIEFF_OBJECTOFFSETS; ++i)
            if (e.rgdwAxes[i] > D_DIJOFS_RZ || e.rgdwAxes[i] % 4 != 0) return false;
        if (e.rglDirection == nullptr) return true;
        const DWORD system = e.dwFlags & kCoordinates;
        if (system != D_DIEFF_CARTESIAN && system != D_DIEFF_POLAR && system != kSpherical) return false;
        return system != D_DIEFF_POLAR || e.cAxes == 2;
    }

    HRESULT CreateEffect(REFGUID effect, const D_DIEFFECT* params, D_IDirectInputEffect** out,
                         D_IUnknown* outer) override {
        if (out == nullptr) return D_DIERR_INVALIDPARAM;
        *out = nullptr;
        if (outer != nullptr || params == nullptr || !EffectParamsValid(*params)) return D_DIERR_INVALIDPARAM;
        if (kind_ != DeviceKind::Pad || !InputSourcePadInfo(pad_).forceFeedback) return D_DIERR_UNSUPPORTED;
        bool sine = IsEqualGUID(effect, GUID_D_Sine);
        if (!sine && !IsEqualGUID(effect, GUID_D_ConstantForce)) return D_DIERR_UNSUPPORTED;
        long magnitude = 0;
        if (sine) {
            if (params->cbTypeSpecificParams != sizeof(D_DIPERIODIC) || params->lpvTypeSpecificParams == nullptr)
                return D_DIERR_INVALIDPARAM;
            magnitude = static_cast<const D_DIPERIODIC*>(params->lpvTypeSpecificParams)->dwMagnitude;
        } else {
            if (params->cbTypeSpecificParams != sizeof(D_DICONSTANTFORCE) ||
                params->lpvTypeSpecificParams == nullptr)
                return D_DIERR_INVALIDPARAM;
            magnitude = static_cast<const D_DICONSTANTFORCE*>(params->lpvTypeSpecificParams)->lMagnitude;
        }
        magnitude = std::clamp<long>(magnitude < 0 ? -magnitude : magnitude, 0, 10000);
        long gain = params->dwGain;
        RecordEffect(*params, sine ? Requests().sine : Requests().constantForce);
        *out = new Effect(pad_, sine, static_cast<int>(magnitude * gain / 10000 * 65535 / 10000));
        return D_DI_OK;
    }

    static void FillInstance(DeviceKind kind, int pad, D_DIDEVICEINSTANCEA* info) {
        std::memset(info, 0, sizeof *info);
        info->dwSize = sizeof *info;
        if (kind == DeviceKind::Pad) {
            info->guidInstance = kPadInstanceBase;
            info->guidInstance.Data1 = static_cast<DWORD>(pad + 1);
            info->guidProduct = kPadProduct;
            info->dwDevType = D_DIDEVTYPE_JOYSTICK;
            std::string name = InputSourcePadInfo(pad).name;
            std::snprintf(info->tszInstanceName, sizeof info->tszInstanceName, "%s %d", name.c_str(), pad + 1);
            std::snprintf(info->tszProductName, sizeof info->tszProductName, "%s", name.c_str());
        } else {
            bool keyboard = kind == DeviceKind::Keyboard;
            info->guidInstance = keyboard ? GUID_D_SysKeyboard : GUID_D_SysMouse;
            info->guidProduct = info->guidInstance;
            info->dwDevType = keyboard ? D_DIDEVTYPE_KEYBOARD : D_DIDEVTYPE_MOUSE;
            std::snprintf(info->tszInstanceName, sizeof info->tszInstanceName, "%s", keyboard ? "Keyboard" : "Mouse");
            std::snprintf(info->tszProductName, sizeof info->tszProductName, "%s", keyboard ? "Keyboard" : "Mouse");
        }
    }

private:
    struct Range {
        LONG min, max;
    };

    PlatformDeviceRequests& Requests() const {
        return InputRequestsRef(kind_ == DeviceKind::Keyboard ? kPlatformKeyboardDevice
                                : kind_ == DeviceKind::Mouse  ? kPlatformMouseDevice
                                                              : pad_);
    }

    static void RecordEffect(const D_DIEFFECT& e, PlatformEffectRequest& out) {
        out = PlatformEffectRequest{};
        out.made = true;
        out.flags = e.dwFlags;
        out.duration = e.dwDuration;
        out.gain = e.dwGain;
        out.triggerButton = e.dwTriggerButton;
        out.startDelay = e.dwStartDelay;
        out.axisCount = e.cAxes;
        for (DWORD i = 0; i < e.cAxes && i < 2; ++i) {
            out.axes[i] = e.rgdwAxes[i];
            if (e.rglDirection != nullptr) out.direction[i] = e.rglDirection[i];
        }
        out.hasEnvelope = e.lpEnvelope != nullptr;
        if (out.hasEnvelope) out.envelope = *e.lpEnvelope;
        if (e.cbTypeSpecificParams == sizeof(D_DIPERIODIC))
            out.periodic = *static_cast<const D_DIPERIODIC*>(e.lpvTypeSpecificParams);
        else
            out.magnitude = static_cast<const D_DICONSTANTFORCE*>(e.lpvTypeSpecificParams)->lMagnitude;
    }

    const std::string& Knob() const {
        const PlatformInputKnobs& k = PlatformInputKnobsRef();
        return kind_ == DeviceKind::Keyboard ? k.failKeyboardAt : kind_ == DeviceKind::Mouse ? k.failMouseAt
                                                                                             : k.failPadAt;
    }

    static int AxisOf(const D_DIPROPHEADER& header) {
        if (header.dwHow != D_DIPH_BYOFFSET || header.dwObj > D_DIJOFS_RZ || header.dwObj % 4 != 0) return -1;
        return static_cast<int>(header.dwObj / 4);
    }

    // A raw axis (-32768..32767) through the dead zone into the range.
    LONG Scale(int axis, LONG raw) const {
        double r = std::clamp(raw / 32767.0, -1.0, 1.0);
        double zone = deadZones_[axis] / 10000.0;
        double magnitude = r < 0 ? -r : r;
        double scaled = magnitude <= zone || zone >= 1.0 ? 0.0 : (magnitude - zone) / (1.0 - zone);
        const Range& range = ranges_[axis];
        double centre = (static_cast<double>(range.min) + range.max) / 2.0;
        double half = (static_cast<double>(range.max) - range.min) / 2.0;
        return static_cast<LONG>(centre + (r < 0 ? -scaled : scaled) * half);
    }

    void ReadPad(D_DIJOYSTATE* out) const {
        const PlatformPadState& pad = polled_;
        std::memset(out, 0, sizeof *out);
        LONG* axes[6] = {&out->lX, &out->lY, &out->lZ, &out->lRx, &out->lRy, &out->lRz};
        for (int a = 0; a < 6; ++a) *axes[a] = Scale(a, pad.axes[a]);
        for (auto& pov : out->rgdwPOV) pov = 0xFFFFFFFFu;  // centred
        for (int b = 0; b < 32; ++b) out->rgbButtons[b] = pad.buttons[b] ? 0x80 : 0;
    }

    DeviceKind kind_;
    int pad_;
    const D_DIDATAFORMAT* format_ = nullptr;
    DWORD cooperation_ = 0;
    bool acquired_ = false;
    HANDLE event_ = nullptr;
    Range ranges_[6];
    DWORD deadZones_[6] = {};
    PlatformPadState polled_;
};

// What versions 7 and 8 share.
HRESULT CreateDeviceFor(REFGUID instance, Device** out) {
    *out = nullptr;
    const PlatformInputKnobs& knobs = PlatformInputKnobsRef();
    if (IsEqualGUID(instance, GUID_D_SysKeyboard)) {
        if (knobs.failKeyboardAt == "create") return D_DIERR_DEVICENOTREG;
        *out = new Device(DeviceKind::Keyboard, -1);
        return D_DI_OK;
    }
    if (IsEqualGUID(instance, GUID_D_SysMouse)) {
        if (knobs.failMouseAt == "create") return D_DIERR_DEVICENOTREG;
        *out = new Device(DeviceKind::Mouse, -1);
        return D_DI_OK;
    }
    int pad = PadIndexOf(instance);
    if (pad < 0 || pad >= InputSourcePadCount() || knobs.failPadAt == "create") return D_DIERR_DEVICENOTREG;
    *out = new Device(DeviceKind::Pad, pad);
    return D_DI_OK;
}

HRESULT EnumerateDevices(bool initialised, DWORD type, D_LPDIENUMDEVICESCALLBACKA callback, void* reference) {
    if (!initialised) return D_DIERR_NOTINITIALIZED;
    if (callback == nullptr) return D_DIERR_INVALIDPARAM;
    D_DIDEVICEINSTANCEA info;
    if (type == 0 || type == D_DIDEVTYPE_MOUSE) {
        Device::FillInstance(DeviceKind::Mouse, -1, &info);
        if (callback(&info, reference) == D_DIENUM_STOP) return D_DI_OK;
    }
    if (type == 0 || type == D_DIDEVTYPE_KEYBOARD) {
        Device::FillInstance(DeviceKind::Keyboard, -1, &info);
        if (callback(&info, reference) == D_DIENUM_STOP) return D_DI_OK;
    }
    if (type == 0 || type == D_DIDEVTYPE_JOYSTICK) {
        int count = InputSourcePadCount();
        for (int pad = 0; pad < count; ++pad) {
            Device::FillInstance(DeviceKind::Pad, pad, &info);
            if (callback(&info, reference) == D_DIENUM_STOP) return D_DI_OK;
        }
    }
    return D_DI_OK;
}

constexpr HRESULT kOldVersion = static_cast<HRESULT>(0x8007047Eu);  // DIERR_OLDDIRECTINPUTVERSION

HRESULT CheckInitialise(DWORD version, DWORD wanted, bool* initialised) {
    if (version < 0x0500 || version > wanted) return kOldVersion;
    *initialised = true;
    return D_DI_OK;
}

class DirectInput7 final : public ComObject<D_IDirectInput7> {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object != nullptr && IsEqualGUID(riid, IID_D_IDirectInput7A)) {
            *object = static_cast<D_IDirectInput7*>(this);
            AddRef();
            return S_OK;
        }
        return ComObject::QueryInterface(riid, object);
    }
    HRESULT Initialize(HINSTANCE, DWORD version) override {
        if (PlatformInputKnobsRef().failInitialise7) return kOldVersion;
        return CheckInitialise(version, D_DIRECTINPUT_VERSION7, &initialised_);
    }
    HRESULT EnumDevices(DWORD type, D_LPDIENUMDEVICESCALLBACKA callback, void* reference, DWORD) override {
        return EnumerateDevices(initialised_, type, callback, reference);
    }
    HRESULT CreateDeviceEx(REFGUID instance, REFIID riid, void** device, D_IUnknown* outer) override {
        if (device == nullptr) return D_DIERR_INVALIDPARAM;
        *device = nullptr;
        if (!initialised_) return D_DIERR_NOTINITIALIZED;
        if (outer != nullptr) return D_DIERR_INVALIDPARAM;
        Device* made = nullptr;
        HRESULT hr = CreateDeviceFor(instance, &made);
        if (FAILED(hr)) return hr;
        hr = made->QueryInterface(riid, device);
        made->Release();
        return hr;
    }

private:
    bool initialised_ = false;
};

class DirectInput8 final : public ComObject<D_IDirectInput8> {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object != nullptr && IsEqualGUID(riid, IID_D_IDirectInput8A)) {
            *object = static_cast<D_IDirectInput8*>(this);
            AddRef();
            return S_OK;
        }
        return ComObject::QueryInterface(riid, object);
    }
    HRESULT Initialize(HINSTANCE, DWORD version) override {
        if (PlatformInputKnobsRef().failInitialise8) return kOldVersion;
        return CheckInitialise(version, D_DIRECTINPUT_VERSION8, &initialised_);
    }
    HRESULT EnumDevices(DWORD type, D_LPDIENUMDEVICESCALLBACKA callback, void* reference, DWORD) override {
        return EnumerateDevices(initialised_, type, callback, reference);
    }
    HRESULT CreateDevice(REFGUID instance, D_IDirectInputDevice8** device, D_IUnknown* outer) override {
        if (device == nullptr) return D_DIERR_INVALIDPARAM;
        *device = nullptr;
        if (!initialised_) return D_DIERR_NOTINITIALIZED;
        if (outer != nullptr) return D_DIERR_INVALIDPARAM;
        Device* made = nullptr;
        HRESULT hr = CreateDeviceFor(instance, &made);
        if (SUCCEEDED(hr)) *device = made;
        return hr;
    }

private:
    bool initialised_ = false;
};

template <class Object>
HRESULT Make(bool refused, REFIID riid, void** object) {
    if (refused) return REGDB_E_CLASSNOTREG;
    auto* made = new Object;
    HRESULT hr = made->QueryInterface(riid, object);
    made->Release();
    return hr;
}

HRESULT MakeDirectInput7(REFIID riid, void** object) {
    return Make<DirectInput7>(PlatformInputKnobsRef().refuseDirectInput7, riid, object);
}
HRESULT MakeDirectInput8(REFIID riid, void** object) {
    return Make<DirectInput8>(PlatformInputKnobsRef().refuseDirectInput8, riid, object);
}

}  // namespace

void RegisterDirectInputStandIn() {
    RegisterComClass(CLSID_D_DirectInput, MakeDirectInput7);
    RegisterComClass(CLSID_D_DirectInput8, MakeDirectInput8);
}
