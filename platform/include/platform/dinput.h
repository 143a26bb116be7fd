// Input devices: the DirectInput 7 / 8 stand-in (keyboard, mouse and joypad
// devices, their data formats, acquisition, state reads and force-feedback
// effects) and the Win32 fall-backs the framework uses without DirectInput
// (the keyboard state by virtual key and the multimedia joystick functions).
//
// Behind both stand the backend's devices: on sdl the SDL keyboard state and
// SDL joysticks (rumble for force feedback); on headless a script of
// per-frame input states.
//
// Headless input script. A test sets a list of PlatformInputFrame; a headless
// game run reads the file named by KELVO_INPUT. Entry i is the input while i
// frames have been presented since the script was set; after the last entry
// nothing is held. The file is text, one frame per line:
//
//     # comment lines and blank lines are skipped (they are no frame)
//     -                     a frame with nothing held
//     RIGHT Z               keys held, by name (see PlatformInputKeyCode)
//     0x2C                  a key by its scan code (DIK value), hexadecimal
//     30* RIGHT             the same frame 30 times
//     pad1.b3 pad1.x=-1000  pad 1's button 3 held, its X axis at -1000
//
// Key names are the DIK names without their prefix: A-Z, 0-9, ESCAPE,
// SPACE, RETURN, BACK, TAB, LEFT, RIGHT, UP, DOWN, NUMPAD0-NUMPAD9, LSHIFT,
// RSHIFT, LCONTROL, RCONTROL, LMENU, RMENU, F1-F12, DELETE, INSERT, HOME,
// END, PRIOR, NEXT. Pad tokens: padN.bM (button M, 1-32) and padN.x=V,
// padN.y=V, padN.z=V, padN.rz=V with V in -1000..1000 (N 1-8). A pad named
// anywhere in the file is attached for the whole run. A script holds at most
// kMaxInputScriptFrames frames.
//
// Typing. The foreground window (headless) gets the key messages a keyboard
// gives: WM_KEYDOWN when a key is held that the frame before did not hold
// (TranslateMessage adds WM_CHAR for BACK, TAB, RETURN and ESCAPE), WM_KEYUP
// when one is let go. Text tokens type text and steer the input method, in
// the order written, after the frame's key messages:
//
//     text=abc              types "abc"
//     text="a \"b\" \\"     quoted: spaces, \" and \\ within
//     compose=にほん         the input method's composition, cursor at its end
//     compose@1=にほん       the same with the cursor after one character
//     compose=              ends the composition without committing it
//     text=日本              commits: the composition ends, "日本" is typed
//
// The text is UTF-8 and reaches the window as Shift-JIS. A repeated frame
// types its text each time.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/com.h"
#include "platform/types.h"

using REFGUID = const GUID&;

// ---- results and flags ---------------------------------------------------------
constexpr HRESULT D_DI_OK = 0;
constexpr HRESULT D_DI_POLLEDDEVICE = 2;
constexpr HRESULT D_DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
constexpr HRESULT D_DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
constexpr HRESULT D_DIERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT D_DIERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT D_DIERR_NOTINITIALIZED = static_cast<HRESULT>(0x80070015u);
constexpr HRESULT D_DIERR_DEVICENOTREG = REGDB_E_CLASSNOTREG;
constexpr HRESULT D_DIERR_ACQUIRED = static_cast<HRESULT>(0x800700AAu);
constexpr HRESULT D_DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005u);

constexpr DWORD D_DIRECTINPUT_VERSION7 = 0x0700;
constexpr DWORD D_DIRECTINPUT_VERSION8 = 0x0800;

constexpr BOOL D_DIENUM_STOP = 0;
constexpr BOOL D_DIENUM_CONTINUE = 1;
constexpr DWORD D_DIEDFL_ALLDEVICES = 0;
constexpr DWORD D_DIEDFL_ATTACHEDONLY = 1;
constexpr DWORD D_DIDEVTYPE_MOUSE = 2;
constexpr DWORD D_DIDEVTYPE_KEYBOARD = 3;
constexpr DWORD D_DIDEVTYPE_JOYSTICK = 4;

constexpr DWORD D_DISCL_EXCLUSIVE = 0x1;
constexpr DWORD D_DISCL_NONEXCLUSIVE = 0x2;
constexpr DWORD D_DISCL_FOREGROUND = 0x4;
constexpr DWORD D_DISCL_BACKGROUND = 0x8;

constexpr DWORD D_DIPH_DEVICE = 0;
constexpr DWORD D_DIPH_BYOFFSET = 1;

// Offsets of the axes in D_DIJOYSTATE.
constexpr DWORD D_DIJOFS_X = 0;
constexpr DWORD D_DIJOFS_Y = 4;
constexpr DWORD D_DIJOFS_Z = 8;
constexpr DWORD D_DIJOFS_RX = 12;
constexpr DWORD D_DIJOFS_RY = 16;
constexpr DWORD D_DIJOFS_RZ = 20;

constexpr DWORD D_DIEFF_OBJECTOFFSETS = 0x02;
constexpr DWORD D_DIEFF_CARTESIAN = 0x10;
constexpr DWORD D_DIEFF_POLAR = 0x20;
constexpr DWORD D_DIEB_NOTRIGGER = 0xFFFFFFFFu;
constexpr DWORD D_INFINITE = 0xFFFFFFFFu;
constexpr DWORD D_DI_FFNOMINALMAX = 10000;
constexpr DWORD D_DI_SECONDS = 1000000;

// ---- structures -------------------------------------------------------------
struct D_DIJOYSTATE {
    LONG lX, lY, lZ;
    LONG lRx, lRy, lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];
    BYTE rgbButtons[32];
};
static_assert(sizeof(D_DIJOYSTATE) == 80);

struct D_DIDEVICEINSTANCEA {
    DWORD dwSize;
    GUID guidInstance;
    GUID guidProduct;
    DWORD dwDevType;
    char tszInstanceName[MAX_PATH];
    char tszProductName[MAX_PATH];
    GUID guidFFDriver;
    WORD wUsagePage;
    WORD wUsage;
};

// A data format: which state GetDeviceState hands back and its size.
struct D_DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
    const void* rgodf;
};
extern const D_DIDATAFORMAT D_c_dfDIKeyboard;  // 256 bytes by scan code
extern const D_DIDATAFORMAT D_c_dfDIMouse;     // 16 bytes
extern const D_DIDATAFORMAT D_c_dfDIJoystick;  // D_DIJOYSTATE

struct D_DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
};
struct D_DIPROPDWORD {
    D_DIPROPHEADER diph;
    DWORD dwData;
};
struct D_DIPROPRANGE {
    D_DIPROPHEADER diph;
    LONG lMin;
    LONG lMax;
};
extern const GUID D_DIPROP_BUFFERSIZE;  // D_DIPROPDWORD, whole device
extern const GUID D_DIPROP_RANGE;       // D_DIPROPRANGE, by offset
extern const GUID D_DIPROP_DEADZONE;    // D_DIPROPDWORD 0-10000, by offset

struct D_DIENVELOPE {
    DWORD dwSize;
    DWORD dwAttackLevel;
    DWORD dwAttackTime;
    DWORD dwFadeLevel;
    DWORD dwFadeTime;
};
struct D_DIPERIODIC {
    DWORD dwMagnitude;
    LONG lOffset;
    DWORD dwPhase;
    DWORD dwPeriod;
};
struct D_DICONSTANTFORCE {
    LONG lMagnitude;
};
struct D_DIEFFECT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwDuration;
    DWORD dwSamplePeriod;
    DWORD dwGain;
    DWORD dwTriggerButton;
    DWORD dwTriggerRepeatInterval;
    DWORD cAxes;
    DWORD* rgdwAxes;
    LONG* rglDirection;
    D_DIENVELOPE* lpEnvelope;
    DWORD cbTypeSpecificParams;
    void* lpvTypeSpecificParams;
    DWORD dwStartDelay;
};

// ---- ids ------------------------------------------------------------------------
extern const CLSID CLSID_D_DirectInput;
extern const CLSID CLSID_D_DirectInput8;
extern const IID IID_D_IDirectInput7A;
extern const IID IID_D_IDirectInput8A;
extern const IID IID_D_IDirectInputDevice7A;
extern const IID IID_D_IDirectInputDevice8A;
extern const IID IID_D_IDirectInputEffect;
extern const GUID GUID_D_SysMouse;
extern const GUID GUID_D_SysKeyboard;
extern const GUID GUID_D_Sine;
extern const GUID GUID_D_ConstantForce;

// ---- interfaces -----------------------------------------------------------------
struct D_IDirectInputEffect : D_IUnknown {
    virtual HRESULT Start(DWORD iterations, DWORD flags) = 0;
    virtual HRESULT Stop() = 0;
};

struct D_IDirectInputDevice7 : D_IUnknown {
    virtual HRESULT GetDeviceInfo(D_DIDEVICEINSTANCEA* info) = 0;
    virtual HRESULT SetDataFormat(const D_DIDATAFORMAT* format) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT SetProperty(REFGUID property, const D_DIPROPHEADER* header) = 0;
    virtual HRESULT SetEventNotification(HANDLE event) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    virtual HRESULT GetDeviceState(DWORD size, void* data) = 0;
    virtual HRESULT Poll() = 0;
    virtual HRESULT CreateEffect(REFGUID effect, const D_DIEFFECT* params, D_IDirectInputEffect** out,
                                 D_IUnknown* outer) = 0;
};
// Version 8's device offers the same methods this framework calls.
using D_IDirectInputDevice8 = D_IDirectInputDevice7;

using D_LPDIENUMDEVICESCALLBACKA = BOOL (*)(const D_DIDEVICEINSTANCEA* instance, void* reference);

struct D_IDirectInput7 : D_IUnknown {
    virtual HRESULT Initialize(HINSTANCE instance, DWORD version) = 0;
    virtual HRESULT EnumDevices(DWORD deviceType, D_LPDIENUMDEVICESCALLBACKA callback, void* reference,
                                DWORD flags) = 0;
    // Version 7 makes devices with the interface asked for.
    virtual HRESULT CreateDeviceEx(REFGUID instance, REFIID riid, void** device, D_IUnknown* outer) = 0;
};

struct D_IDirectInput8 : D_IUnknown {
    virtual HRESULT Initialize(HINSTANCE instance, DWORD version) = 0;
    virtual HRESULT EnumDevices(DWORD deviceType, D_LPDIENUMDEVICESCALLBACKA callback, void* reference,
                                DWORD flags) = 0;
    virtual HRESULT CreateDevice(REFGUID instance, D_IDirectInputDevice8** device, D_IUnknown* outer) = 0;
};

// ---- scan codes (DIK values) ------------------------------------------------------
constexpr int D_DIK_ESCAPE = 0x01;
constexpr int D_DIK_1 = 0x02;
constexpr int D_DIK_0 = 0x0B;
constexpr int D_DIK_BACK = 0x0E;
constexpr int D_DIK_TAB = 0x0F;
constexpr int D_DIK_Q = 0x10;
constexpr int D_DIK_W = 0x11;
constexpr int D_DIK_RETURN = 0x1C;
constexpr int D_DIK_LCONTROL = 0x1D;
constexpr int D_DIK_A = 0x1E;
constexpr int D_DIK_S = 0x1F;
constexpr int D_DIK_D = 0x20;
constexpr int D_DIK_LSHIFT = 0x2A;
constexpr int D_DIK_Z = 0x2C;
constexpr int D_DIK_X = 0x2D;
constexpr int D_DIK_C = 0x2E;
constexpr int D_DIK_RSHIFT = 0x36;
constexpr int D_DIK_LMENU = 0x38;
constexpr int D_DIK_SPACE = 0x39;
constexpr int D_DIK_F1 = 0x3B;
constexpr int D_DIK_NUMPAD7 = 0x47;
constexpr int D_DIK_NUMPAD8 = 0x48;
constexpr int D_DIK_NUMPAD9 = 0x49;
constexpr int D_DIK_NUMPAD4 = 0x4B;
constexpr int D_DIK_NUMPAD5 = 0x4C;
constexpr int D_DIK_NUMPAD6 = 0x4D;
constexpr int D_DIK_NUMPAD1 = 0x4F;
constexpr int D_DIK_NUMPAD2 = 0x50;
constexpr int D_DIK_NUMPAD3 = 0x51;
constexpr int D_DIK_NUMPAD0 = 0x52;
constexpr int D_DIK_NUMPADENTER = 0x9C;
constexpr int D_DIK_RCONTROL = 0x9D;
constexpr int D_DIK_RMENU = 0xB8;
constexpr int D_DIK_HOME = 0xC7;
constexpr int D_DIK_UP = 0xC8;
constexpr int D_DIK_PRIOR = 0xC9;
constexpr int D_DIK_LEFT = 0xCB;
constexpr int D_DIK_RIGHT = 0xCD;
constexpr int D_DIK_END = 0xCF;
constexpr int D_DIK_DOWN = 0xD0;
constexpr int D_DIK_NEXT = 0xD1;
constexpr int D_DIK_INSERT = 0xD2;
constexpr int D_DIK_DELETE = 0xD3;

// ---- the Win32 fall-backs -----------------------------------------------------------
// The keyboard by virtual key, bit 7 = down, as the calling thread sees it:
// the main thread's view follows the events it pumped; other threads see
// nothing held.
BOOL GetKeyboardState(BYTE* keys);

constexpr UINT JOYERR_NOERROR = 0;
constexpr UINT JOYERR_PARMS = 165;
constexpr UINT JOYERR_UNPLUGGED = 167;
constexpr UINT JOYCAPS_HASZ = 0x1;
constexpr UINT JOYCAPS_HASR = 0x2;
constexpr DWORD JOY_RETURNALL = 0xFF;

struct JOYCAPSA {
    WORD wMid;
    WORD wPid;
    char szPname[32];
    UINT wXmin, wXmax, wYmin, wYmax, wZmin, wZmax;
    UINT wNumButtons;
    UINT wPeriodMin, wPeriodMax;
    UINT wRmin, wRmax, wUmin, wUmax, wVmin, wVmax;
    UINT wCaps;
    UINT wMaxAxes, wNumAxes, wMaxButtons;
    char szRegKey[32];
    char szOEMVxD[260];
};
static_assert(sizeof(JOYCAPSA) == 404);

struct JOYINFOEX {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwXpos, dwYpos, dwZpos, dwRpos, dwUpos, dwVpos;
    DWORD dwButtons;
    DWORD dwButtonNumber;
    DWORD dwPOV;
    DWORD dwReserved1, dwReserved2;
};
static_assert(sizeof(JOYINFOEX) == 52);

UINT joyGetDevCapsA(UINT id, JOYCAPSA* caps, UINT size);
// Positions 0..65535 with 32767 the centre; dwButtons bit j = button j + 1.
UINT joyGetPosEx(UINT id, JOYINFOEX* info);

// ---- what the stand-in offers besides the names above -------------------------------

// One joypad as the backend presents it.
struct PlatformPadState {
    LONG axes[6] = {};         // X, Y, Z, Rx, Ry, Rz, each -32768..32767
    bool buttons[32] = {};
};

// Text typed in a frame of scripted input, or the input method's composition
// as it stands after that frame (UTF-8; see platform/imm.h).
struct PlatformScriptText {
    bool compose = false;  // false: typed (committed) text
    std::string text;      // a composition: empty ends it
    int cursor = -1;       // a composition's cursor in characters; -1: at its end
};

// One frame of scripted input (headless).
struct PlatformInputFrame {
    std::vector<int> keys;                 // scan codes held
    std::vector<PlatformPadState> pads;    // pads 1.. of this frame; missing ones are at rest
    std::vector<PlatformScriptText> text;  // in the order written
};

// Headless: the pads attached (0-8), with whether each has Z and R axes and
// force feedback. Attached pads keep their place until changed.
struct PlatformPadDescription {
    std::string name = "Headless Pad";
    bool hasZAndR = false;
    bool forceFeedback = true;
};
void PlatformSetHeadlessPads(const std::vector<PlatformPadDescription>& pads);
// Headless: replaces the script; entry 0 applies until the next present.
// The keyboard devices' notification events are signalled.
void PlatformSetInputScript(std::vector<PlatformInputFrame> frames);
// The most frames a script file may hold, repeats counted: over two hours of
// play at 5 ms a frame, and a bound on the memory a few repeat lines take.
constexpr std::size_t kMaxInputScriptFrames = 2'000'000;
// Parses the text format above; false (with a message) on a bad token or line,
// or on a script longer than kMaxInputScriptFrames.
bool PlatformParseInputScript(const std::string& text, std::vector<PlatformInputFrame>* frames,
                              int* padCount, std::string* error);
// Loads KELVO_INPUT once, on the first use of input on the headless backend.
// False when the file is named but cannot be read or parsed.
bool PlatformLoadInputScriptFromEnvironment();
// True once every frame of the script has been presented.
bool PlatformInputScriptEnded();
// True once a script loaded from KELVO_INPUT has been presented to its end;
// false while none was loaded. Never loads the script itself.
bool PlatformEnvironmentInputScriptEnded();
// The scan code of a key name of the script format; -1 if unknown.
int PlatformInputKeyCode(const std::string& name);
// The script name of a scan code, or its hexadecimal form (0x2C).
std::string PlatformInputKeyName(int code);
// The script text of frames (keys only, in the order given), equal frames in
// a row joined by a repeat count; parsing it gives the same keys back.
std::string PlatformFormatInputScript(const std::vector<PlatformInputFrame>& frames);
// Headless: adds a frame at the end of the script in force, as if it had been
// a line more of its file (a program that plays the game frame by frame).
void PlatformAppendInputFrame(PlatformInputFrame frame);
// In a window, KELVO_RECORD=FILE keeps the keys the program read in each
// frame and writes them in the script format when the program ends.
// The frames the program had presented when it first read the keyboard on
// its main thread (the frame presented next is the first to see input), or
// -1 while it has not read it.
std::int64_t PlatformFirstKeyboardReadFrame();

// Test knobs: make the creation of either DirectInput version fail, make
// devices fail to acquire (a lost device), or make the keyboard or mouse
// fail at one step ("create", "format", "cooperate", "acquire", "event",
// "buffer" for the keyboard's buffer size).
struct PlatformInputKnobs {
    bool refuseDirectInput7 = false;
    bool refuseDirectInput8 = false;
    bool refuseAcquire = false;
    std::string failKeyboardAt;
    std::string failMouseAt;
    std::string failPadAt;  // "create", "format", "cooperate", "rangex", "event" ...
    // Initialize of either version refuses (an old runtime).
    bool failInitialise7 = false;
    bool failInitialise8 = false;
    // GetKeyboardState fails.
    bool refuseKeyboardState = false;
};
PlatformInputKnobs& PlatformInputKnobsRef();

// Counters and the last effect commands, for tests.
struct PlatformInputStats {
    int keyboardStateReads = 0;
    int padStateReads = 0;
    int effectStarts = 0;
    int effectStops = 0;
    int liveDevices = 0;
    int liveEffects = 0;
    int acquires = 0;
    DWORD lastPadCooperation = 0;
    DWORD lastStartIterations = 0, lastStartFlags = 0;  // the last effect Start's
};
PlatformInputStats& PlatformInputStatsRef();

// An effect as the framework described it when it made it.
struct PlatformEffectRequest {
    bool made = false;
    DWORD flags = 0, duration = 0, gain = 0, triggerButton = 0, startDelay = 0, axisCount = 0;
    DWORD axes[2] = {};
    LONG direction[2] = {};
    bool hasEnvelope = false;
    D_DIENVELOPE envelope{};
    D_DIPERIODIC periodic{};  // a sine's
    LONG magnitude = 0;       // a constant force's
};

// What was last asked of a device, kept after the device is gone: the
// keyboard, the mouse or a pad (by number). Ranges start at 0..65535 and dead
// zones at 0, as a device's do; the cooperation a device works with is the
// one in force when it was last acquired.
struct PlatformDeviceRequests {
    bool made = false;
    bool acquired = false;
    bool notifying = false;  // an event is set
    DWORD cooperation = 0;
    DWORD cooperationInForce = 0;
    DWORD bufferSize = 0;
    LONG rangeMin[6] = {};
    LONG rangeMax[6] = {};
    DWORD deadZone[6] = {};
    int polls = 0;
    PlatformEffectRequest sine, constantForce;
};
constexpr int kPlatformKeyboardDevice = -1;
constexpr int kPlatformMouseDevice = -2;
PlatformDeviceRequests PlatformInputRequests(int device);
// Rumble strength a pad is being driven with (0..65535 low, high); for tests.
void PlatformPadRumble(int pad, int* low, int* high);
// Back to no script, no pads, default knobs and zero counters.
void PlatformInputReset();

// The stand-in's DirectInput class, registered for CoCreateInstance with the
// other DirectX classes.
void RegisterDirectInputStandIn();
