// Setting input up and ending it: DirectInput 7, else 8, else the Win32
// keyboard state and the multimedia joysticks.
#include <cstring>

#include "core/fatal_error.h"
#include "core/log.h"
#include "core/system_state.h"
#include "input/input.h"
#include "platform/kernel.h"
#include "window/window.h"

InputState g_InputState;

bool InputSetUp() { return g_InputState.directInput != nullptr || g_InputState.win32Mode != 0; }
bool InputInDirectInputMode() { return g_InputState.directInput != nullptr; }

namespace {

constexpr DWORD kSharedBackground = D_DISCL_NONEXCLUSIVE | D_DISCL_BACKGROUND;  // 10
constexpr DWORD kExclusiveForeground = D_DISCL_EXCLUSIVE | D_DISCL_FOREGROUND;  // 5

HRESULT CreateInputDevice(REFGUID instance, D_IDirectInputDevice7** device) {
    InputState& in = g_InputState;
    *device = nullptr;
    if (in.directInput8)
        return static_cast<D_IDirectInput8*>(in.directInput)->CreateDevice(instance, device, nullptr);
    return static_cast<D_IDirectInput7*>(in.directInput)
        ->CreateDeviceEx(instance, IID_D_IDirectInputDevice7A, reinterpret_cast<void**>(device), nullptr);
}

template <class T>
void ReleaseAndClear(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

void ReleaseDirectInput() { ReleaseAndClear(g_InputState.directInput); }

bool SetAxisRange(D_IDirectInputDevice7* device, DWORD offset) {
    D_DIPROPRANGE range{};
    range.diph = {sizeof range, sizeof range.diph, offset, D_DIPH_BYOFFSET};
    range.lMin = -1000;
    range.lMax = 1000;
    return SUCCEEDED(device->SetProperty(D_DIPROP_RANGE, &range.diph));
}

bool SetDeadZone(D_IDirectInputDevice7* device, DWORD offset) {
    D_DIPROPDWORD zone{};
    zone.diph = {sizeof zone, sizeof zone.diph, offset, D_DIPH_BYOFFSET};
    zone.dwData = 2500;
    return SUCCEEDED(device->SetProperty(D_DIPROP_DEADZONE, &zone.diph));
}

void CreatePadEffects(D_IDirectInputDevice7* device, PadRecord& pad) {
    DWORD axes[2] = {D_DIJOFS_X, D_DIJOFS_Y};
    LONG direction[2] = {0, 0};
    D_DIEFFECT effect{};
    effect.dwSize = sizeof effect;
    effect.dwDuration = D_INFINITE;
    effect.dwGain = D_DI_FFNOMINALMAX;
    effect.dwTriggerButton = D_DIEB_NOTRIGGER;
    effect.cAxes = 2;
    effect.rgdwAxes = axes;
    effect.rglDirection = direction;
    effect.dwStartDelay = 0;

    D_DIENVELOPE envelope{sizeof envelope, 0, 500000, 0, 1000000};
    D_DIPERIODIC periodic{10000, 0, 0, 1500000};
    effect.dwFlags = D_DIEFF_OBJECTOFFSETS | D_DIEFF_POLAR;
    effect.lpEnvelope = &envelope;
    effect.cbTypeSpecificParams = sizeof periodic;
    effect.lpvTypeSpecificParams = &periodic;
    device->CreateEffect(GUID_D_Sine, &effect, &pad.sineEffect, nullptr);  // a pad without it still works

    D_DICONSTANTFORCE constant{10000};
    effect.dwFlags = D_DIEFF_OBJECTOFFSETS | D_DIEFF_CARTESIAN;
    effect.lpEnvelope = nullptr;
    effect.cbTypeSpecificParams = sizeof constant;
    effect.lpvTypeSpecificParams = &constant;
    if (FAILED(device->CreateEffect(GUID_D_ConstantForce, &effect, &pad.constantEffect, nullptr)))
        WriteLogText("周期的エフェクトの作成に失敗しました。\n");
}

// Everything a half-registered pad holds, released.
void AbandonPad(PadRecord& pad, D_IDirectInputDevice7*& device, HANDLE event) {
    ReleaseAndClear(pad.sineEffect);
    ReleaseAndClear(pad.constantEffect);
    ReleaseAndClear(device);
    if (event != nullptr) CloseHandle(event);
}

[[noreturn]] void MouseOrKeyboardFailure(D_IDirectInputDevice7*& device, const char* text) {
    ReleaseAndClear(device);
    FatalError(text);
}

void InitMouse() {
    InputState& in = g_InputState;
    WriteLogText("マウスデバイスの初期化... ");
    if (FAILED(CreateInputDevice(GUID_D_SysMouse, &in.mouse)))
        MouseOrKeyboardFailure(in.mouse, "マウスデバイスの取得に失敗しました");
    if (FAILED(in.mouse->SetDataFormat(&D_c_dfDIMouse)))
        MouseOrKeyboardFailure(in.mouse, "マウスデバイスのデータ形式の設定に失敗しました");
    if (FAILED(in.mouse->SetCooperativeLevel(g_SystemState.mainWindow, kSharedBackground)))
        MouseOrKeyboardFailure(in.mouse, "マウスデバイスの協調レベルの設定に失敗しました");
    in.mouse->Acquire();  // nothing reads it; a refusal does no harm
    WriteLogText("初期化成功\n");
    in.lastKeyTick = timeGetTime();
}

void InitKeyboard() {
    InputState& in = g_InputState;
    WriteLogText("キーボードデバイスの初期化... ");
    if (FAILED(CreateInputDevice(GUID_D_SysKeyboard, &in.keyboard)))
        MouseOrKeyboardFailure(in.keyboard, "キーボードデバイスの取得に失敗しました");
    if (FAILED(in.keyboard->SetDataFormat(&D_c_dfDIKeyboard)))
        MouseOrKeyboardFailure(in.keyboard, "キーボードデバイスのデータ形式の設定に失敗しました");
    in.noMerge = 0;
    if (FAILED(in.keyboard->SetCooperativeLevel(g_SystemState.mainWindow, kSharedBackground)))
        MouseOrKeyboardFailure(in.keyboard, "キーボードデバイスの協調レベルの設定に失敗しました");
    D_DIPROPDWORD buffer{};
    buffer.diph = {sizeof buffer, sizeof buffer.diph, 0, D_DIPH_DEVICE};
    buffer.dwData = 100;
    if (FAILED(in.keyboard->SetProperty(D_DIPROP_BUFFERSIZE, &buffer.diph)))
        WriteLogText("キーボードのプロパティ設定に失敗しました\n");
    in.keyboardEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HRESULT hr = in.keyboard->SetEventNotification(in.keyboardEvent);
    if (hr != D_DI_OK && hr != D_DI_POLLEDDEVICE) {
        // Without the event the keyboard is still read once per tick, so the
        // set-up goes on rather than leaving the keyboard unacquired.
        WriteLogText("キーボードイベントのセットアップが失敗しました\n");
        CloseHandle(in.keyboardEvent);
        in.keyboardEvent = nullptr;
    }
    if (FAILED(in.keyboard->Acquire()) && FAILED(in.keyboard->Acquire())) {
        if (in.keyboardEvent != nullptr) CloseHandle(in.keyboardEvent);
        in.keyboardEvent = nullptr;
        MouseOrKeyboardFailure(in.keyboard, "キーボードデバイスの取得に失敗しました");
    }
    WriteLogText("初期化成功\n");
    in.lastKeyTick = timeGetTime();
}

// The first version that can be made and initialised; false for neither.
bool CreateDirectInput() {
    InputState& in = g_InputState;
    HINSTANCE module = GetModuleHandleA(nullptr);
    WriteLogText("DirectInput7 の取得中... ");
    void* object = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_D_DirectInput, nullptr, CLSCTX_INPROC_SERVER, IID_D_IDirectInput7A, &object);
    if (FAILED(hr)) {
        WriteLogText("取得に失敗。\n");
        WriteLogFormat("エラーコード 0x%x\n", static_cast<unsigned>(hr));
    } else {
        in.directInput = static_cast<D_IDirectInput7*>(object);
        WriteLogText("成功\n");
        IncreaseLogIndent();
        WriteLogText("引き続き初期化処理... ");
        bool ok = SUCCEEDED(static_cast<D_IDirectInput7*>(in.directInput)->Initialize(module, D_DIRECTINPUT_VERSION7));
        WriteLogText(ok ? "初期化成功\n" : "初期化に失敗。");
        DecreaseLogIndent();
        if (ok) return true;
        ReleaseDirectInput();
    }

    WriteLogText("DirectInput8 の取得を試みます...");
    object = nullptr;
    hr = CoCreateInstance(CLSID_D_DirectInput8, nullptr, CLSCTX_INPROC_SERVER, IID_D_IDirectInput8A, &object);
    if (FAILED(hr)) {
        WriteLogText("取得に失敗。");
        return false;
    }
    in.directInput = static_cast<D_IDirectInput8*>(object);
    WriteLogText("成功\n");
    WriteLogText("引き続き初期化処理... ");
    if (FAILED(static_cast<D_IDirectInput8*>(in.directInput)->Initialize(module, D_DIRECTINPUT_VERSION8))) {
        WriteLogText("初期化に失敗。");
        ReleaseDirectInput();
        return false;
    }
    in.directInput8 = 1;
    WriteLogText("初期化成功\n");
    return true;
}

int InitWin32Input(bool logAndSwitch) {
    InputState& in = g_InputState;
    if (logAndSwitch) {
        WriteLogText("DirectInput を使用しません。\n");
        DecreaseLogIndent();
        ReleaseDirectInput();
        in.directInput8 = 0;
        in.useWin32Input = 1;
    }
    int count = 0;
    for (UINT id = 0; id < kMaxPads; ++id) {
        JOYCAPSA caps;
        std::memset(&caps, 0, sizeof caps);
        if (joyGetDevCapsA(id, &caps, sizeof caps) != JOYERR_NOERROR) break;
        in.pads[id].hasZAndR = (caps.wCaps & JOYCAPS_HASZ) && (caps.wCaps & JOYCAPS_HASR) ? 1 : 0;
        ++count;
    }
    in.padCount = count;
    WriteLogFormat("パッドの数は %d 個です\n", count);
    in.win32Mode = 1;
    WriteLogText("入力関連の初期化をしました\n");
    return 0;
}

}  // namespace

int InputDeviceEnumCallback(const D_DIDEVICEINSTANCEA* instance, void*) {
    InputState& in = g_InputState;
    if (in.padCount >= kMaxPads) return D_DIENUM_STOP;
    PadRecord& pad = in.pads[in.padCount];
    std::memset(&pad, 0, sizeof pad);
    WriteLogText("入力装置を見つけました\n");
    D_IDirectInputDevice7* device = nullptr;
    if (FAILED(CreateInputDevice(instance->guidInstance, &device))) {
        WriteLogText("入力装置の取得に失敗しました\n");
        return D_DIENUM_CONTINUE;
    }
    D_DIDEVICEINSTANCEA info{};
    info.dwSize = sizeof info;
    device->GetDeviceInfo(&info);
    std::memcpy(pad.instanceName, info.tszInstanceName, sizeof pad.instanceName);
    std::memcpy(pad.productName, info.tszProductName, sizeof pad.productName);
    pad.instanceName[MAX_PATH - 1] = pad.productName[MAX_PATH - 1] = '\0';
    IncreaseLogIndent();
    WriteLogFormat("デバイスの登録名:%s", pad.instanceName);
    WriteLogFormat("デバイスの製品登録名:%s", pad.productName);
    DecreaseLogIndent();

    const char* failure = nullptr;
    if (FAILED(device->SetDataFormat(&D_c_dfDIJoystick)))
        failure = "ジョイパッドデバイスではありませんでした、又は設定に失敗しました\n";
    else if (FAILED(device->SetCooperativeLevel(g_SystemState.mainWindow, kExclusiveForeground)))
        failure = "ジョイパッドデバイスの協調レベルの設定に失敗しました\n";
    else if (!SetAxisRange(device, D_DIJOFS_X))
        failure = "ジョイパッドデバイスのＸ軸関係の設定に失敗しました\n";
    else if (!SetAxisRange(device, D_DIJOFS_Y))
        failure = "ジョイパッドデバイスのＹ軸関係の設定に失敗しました\n";
    if (failure == nullptr) {
        SetAxisRange(device, D_DIJOFS_Z);
        SetAxisRange(device, D_DIJOFS_RZ);
        if (!SetDeadZone(device, D_DIJOFS_X))
            failure = "ジョイパッドデバイスのＸ軸の無効ゾーンの設定に失敗しました\n";
        else if (!SetDeadZone(device, D_DIJOFS_Y))
            failure = "ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました\n";
    }
    if (failure != nullptr) {
        device->Release();
        WriteLogText(failure);
        return D_DIENUM_CONTINUE;
    }
    SetDeadZone(device, D_DIJOFS_Z);
    SetDeadZone(device, D_DIJOFS_RZ);

    CreatePadEffects(device, pad);
    pad.vibrationWanted = 0;
    pad.vibrationPower = 10000;
    pad.constantEffectState = pad.sineEffectState = 0;

    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HRESULT hr = device->SetEventNotification(event);
    if (hr != D_DI_OK && hr != D_DI_POLLEDDEVICE) {
        // Nothing of the half-made pad is kept.
        AbandonPad(pad, device, event);
        WriteLogText("ジョイパッドイベントのセットアップが失敗しました\n");
        return D_DIENUM_CONTINUE;
    }
    device->Acquire();
    pad.device = device;
    pad.event = event;
    std::memset(&pad.state, 0, sizeof pad.state);
    ++in.padCount;
    WriteLogText("ジョイパッドの追加は正常に終了しました\n");
    return in.padCount >= kMaxPads ? D_DIENUM_STOP : D_DIENUM_CONTINUE;
}

int InitInput() {
    InputState& in = g_InputState;
    if (InputSetUp()) return 0;
    int useWin32 = in.useWin32Input;
    std::memset(&in, 0, sizeof in);
    in.useWin32Input = useWin32;
    if (useWin32) return InitWin32Input(false);

    WriteLogText("DirectInput関係初期化処理\n");
    IncreaseLogIndent();
    if (!CreateDirectInput()) return InitWin32Input(true);

    BringWindowToTop(g_SystemState.mainWindow);
    ProcessMessage();
    WriteLogText("ジョイパッドの初期化... \n");
    in.padCount = 0;
    auto callback = [](const D_DIDEVICEINSTANCEA* instance, void* reference) -> BOOL {
        return InputDeviceEnumCallback(instance, reference);
    };
    if (in.directInput8)
        static_cast<D_IDirectInput8*>(in.directInput)
            ->EnumDevices(D_DIDEVTYPE_JOYSTICK, callback, nullptr, D_DIEDFL_ATTACHEDONLY);
    else
        static_cast<D_IDirectInput7*>(in.directInput)
            ->EnumDevices(D_DIDEVTYPE_JOYSTICK, callback, nullptr, D_DIEDFL_ATTACHEDONLY);
    WriteLogText("ジョイパッドの初期化は正常に終了しました\n");

    InitMouse();
    if (!in.noKeyboardDevice) InitKeyboard();
    DecreaseLogIndent();
    WriteLogText("DirectInput 関連の初期化は正常に終了しました\n");
    return 0;
}

int TerminateInput() {
    InputState& in = g_InputState;
    if (!InputSetUp()) return 0;
    if (in.win32Mode) {
        WriteLogText("入力関連の終了処理... 完了\n");
        in.win32Mode = 0;
        in.padCount = 0;
        return 0;
    }
    WriteLogText("DirectInput 関連の終了処理... 完了\n");
    for (int i = 0; i < in.padCount; ++i) {
        PadRecord& pad = in.pads[i];
        if (pad.device == nullptr) continue;
        pad.device->Unacquire();
        pad.device->SetEventNotification(nullptr);
        for (D_IDirectInputEffect** effect : {&pad.constantEffect, &pad.sineEffect}) {
            if (*effect == nullptr) continue;
            (*effect)->Stop();
            ReleaseAndClear(*effect);
        }
        ReleaseAndClear(pad.device);
        if (pad.event != nullptr) CloseHandle(pad.event);
        pad.event = nullptr;
    }
    // Nothing may reach the released pads afterwards.
    in.padCount = 0;
    if (in.keyboard != nullptr) {
        in.keyboard->Unacquire();
        ReleaseAndClear(in.keyboard);
    }
    if (in.keyboardEvent != nullptr) CloseHandle(in.keyboardEvent);
    in.keyboardEvent = nullptr;
    if (in.mouse != nullptr) {
        in.mouse->Unacquire();
        ReleaseAndClear(in.mouse);
    }
    ReleaseDirectInput();
    return 0;
}
