// The DirectInput stand-in, the Win32 input fall-backs and the input script.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/backend.h"
#include "platform/dinput.h"
#include "platform/display.h"
#include "platform/kernel.h"
#include "support/temp_dir.h"

namespace {

class DirectInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformSelectBackend(PlatformBackend::Headless);
        PlatformInputReset();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        void* object = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_D_DirectInput, nullptr, CLSCTX_ALL, IID_D_IDirectInput7A, &object), S_OK);
        di = static_cast<D_IDirectInput7*>(object);
        ASSERT_EQ(di->Initialize(nullptr, D_DIRECTINPUT_VERSION7), D_DI_OK);
    }
    void TearDown() override {
        if (di != nullptr) di->Release();
        PlatformInputReset();
        CoUninitialize();
    }

    D_IDirectInputDevice7* Create(const GUID& guid) {
        void* object = nullptr;
        EXPECT_EQ(di->CreateDeviceEx(guid, IID_D_IDirectInputDevice7A, &object, nullptr), D_DI_OK);
        return static_cast<D_IDirectInputDevice7*>(object);
    }

    D_IDirectInputDevice7* Pad(int index, LONG deadZone = 0) {
        D_IDirectInputDevice7* pad = Create(GUID{static_cast<DWORD>(index + 1), 0x4B45, 0x4C56,
                                                 {'K', 'E', 'L', 'V', 'O', 'P', 'A', 'D'}});
        EXPECT_EQ(pad->SetDataFormat(&D_c_dfDIJoystick), D_DI_OK);
        for (DWORD offset : {D_DIJOFS_X, D_DIJOFS_Y}) {
            D_DIPROPRANGE range{{sizeof range, sizeof range.diph, offset, D_DIPH_BYOFFSET}, -1000, 1000};
            EXPECT_EQ(pad->SetProperty(D_DIPROP_RANGE, &range.diph), D_DI_OK);
            D_DIPROPDWORD zone{{sizeof zone, sizeof zone.diph, offset, D_DIPH_BYOFFSET}, static_cast<DWORD>(deadZone)};
            EXPECT_EQ(pad->SetProperty(D_DIPROP_DEADZONE, &zone.diph), D_DI_OK);
        }
        return pad;
    }

    D_IDirectInput7* di = nullptr;
};

PlatformInputFrame Keys(std::initializer_list<int> keys) { return PlatformInputFrame{keys, {}, {}}; }

TEST_F(DirectInputTest, KeyboardReadsTheScriptOnlyWhileAcquired) {
    PlatformSetInputScript({Keys({D_DIK_Z, D_DIK_LEFT})});
    D_IDirectInputDevice7* keyboard = Create(GUID_D_SysKeyboard);
    BYTE state[256];
    EXPECT_EQ(keyboard->GetDeviceState(sizeof state, state), D_DIERR_INVALIDPARAM);  // no format yet
    ASSERT_EQ(keyboard->SetDataFormat(&D_c_dfDIKeyboard), D_DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof state, state), D_DIERR_NOTACQUIRED);
    ASSERT_EQ(keyboard->Acquire(), D_DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(100, state), D_DIERR_INVALIDPARAM);
    ASSERT_EQ(keyboard->GetDeviceState(sizeof state, state), D_DI_OK);
    EXPECT_EQ(state[D_DIK_Z], 0x80);
    EXPECT_EQ(state[D_DIK_LEFT], 0x80);
    EXPECT_EQ(state[D_DIK_X], 0);

    // A lost device fails the read and must be acquired again.
    PlatformInputKnobsRef().refuseAcquire = true;
    EXPECT_EQ(keyboard->GetDeviceState(sizeof state, state), D_DIERR_INPUTLOST);
    EXPECT_TRUE(FAILED(keyboard->Acquire()));
    PlatformInputKnobsRef().refuseAcquire = false;
    EXPECT_EQ(keyboard->GetDeviceState(sizeof state, state), D_DIERR_NOTACQUIRED);
    EXPECT_EQ(keyboard->Acquire(), D_DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof state, state), D_DI_OK);
    keyboard->Release();
    EXPECT_EQ(PlatformInputStatsRef().liveDevices, 0);
}

TEST_F(DirectInputTest, TheKeyboardEventIsSignalledWhenTheKeysChange) {
    D_IDirectInputDevice7* keyboard = Create(GUID_D_SysKeyboard);
    ASSERT_EQ(keyboard->SetDataFormat(&D_c_dfDIKeyboard), D_DI_OK);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(keyboard->SetEventNotification(event), D_DI_OK);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    PlatformSetInputScript({Keys({D_DIK_SPACE})});
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    keyboard->Release();
    ResetEvent(event);
    PlatformSetInputScript({});
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);  // a released device no longer signals
    CloseHandle(event);
}

TEST_F(DirectInputTest, PadsAreEnumeratedAndScaledThroughRangeAndDeadZone) {
    PlatformSetHeadlessPads({{"First", false, true}, {"Second", true, false}});
    std::vector<std::string> names;
    auto callback = [](const D_DIDEVICEINSTANCEA* instance, void* reference) -> BOOL {
        static_cast<std::vector<std::string>*>(reference)->push_back(instance->tszProductName);
        return D_DIENUM_CONTINUE;
    };
    ASSERT_EQ(di->EnumDevices(D_DIDEVTYPE_JOYSTICK, callback, &names, D_DIEDFL_ATTACHEDONLY), D_DI_OK);
    EXPECT_EQ(names, (std::vector<std::string>{"First", "Second"}));

    PlatformPadState pad;
    pad.axes[0] = -32767;  // full left
    pad.axes[1] = 32767 / 10;  // a tenth down: inside a 25% dead zone
    pad.buttons[2] = true;
    PlatformSetInputScript({PlatformInputFrame{{}, {pad}, {}}});
    D_IDirectInputDevice7* device = Pad(0, 2500);
    EXPECT_EQ(device->SetEventNotification(nullptr), D_DI_POLLEDDEVICE);
    ASSERT_EQ(device->Acquire(), D_DI_OK);
    EXPECT_EQ(device->Poll(), D_DI_OK);
    D_DIJOYSTATE state;
    ASSERT_EQ(device->GetDeviceState(sizeof state, &state), D_DI_OK);
    EXPECT_EQ(state.lX, -1000);
    EXPECT_EQ(state.lY, 0);
    EXPECT_EQ(state.rgbButtons[2], 0x80);
    EXPECT_EQ(state.rgbButtons[0], 0);
    EXPECT_EQ(state.rgdwPOV[0], 0xFFFFFFFFu);
    device->Release();

    void* missing = nullptr;
    EXPECT_EQ(di->CreateDeviceEx(GUID{3, 0x4B45, 0x4C56, {'K', 'E', 'L', 'V', 'O', 'P', 'A', 'D'}},
                                 IID_D_IDirectInputDevice7A, &missing, nullptr),
              D_DIERR_DEVICENOTREG);
}

TEST_F(DirectInputTest, EffectsDriveTheMotorsUntilStoppedOrReleased) {
    PlatformSetHeadlessPads({{"Rumble", false, true}, {"Still", false, false}});
    D_IDirectInputDevice7* device = Pad(0);
    D_DICONSTANTFORCE force{10000};
    D_DIEFFECT effect{};
    effect.dwSize = sizeof effect;
    effect.dwGain = 10000;
    effect.cbTypeSpecificParams = sizeof force;
    effect.lpvTypeSpecificParams = &force;
    D_IDirectInputEffect* constant = nullptr;
    ASSERT_EQ(device->CreateEffect(GUID_D_ConstantForce, &effect, &constant, nullptr), D_DI_OK);
    D_DIPERIODIC periodic{5000, 0, 0, 1500000};
    effect.cbTypeSpecificParams = sizeof periodic;
    effect.lpvTypeSpecificParams = &periodic;
    D_IDirectInputEffect* sine = nullptr;
    ASSERT_EQ(device->CreateEffect(GUID_D_Sine, &effect, &sine, nullptr), D_DI_OK);

    int low = 0, high = 0;
    constant->Start(1, 0);
    sine->Start(1, 0);
    PlatformPadRumble(0, &low, &high);
    EXPECT_EQ(low, 65535);
    EXPECT_EQ(high, 32767);
    constant->Stop();
    PlatformPadRumble(0, &low, &high);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 32767);
    sine->Release();  // a released effect stops
    PlatformPadRumble(0, &low, &high);
    EXPECT_EQ(high, 0);
    constant->Release();
    device->Release();
    EXPECT_EQ(PlatformInputStatsRef().liveEffects, 0);

    // Descriptions the device refuses, each one change from the framework's
    // own polar sine on X and Y.
    device = Pad(0);
    DWORD axes[2] = {D_DIJOFS_X, D_DIJOFS_Y}, badAxis[2] = {D_DIJOFS_X, 6};
    LONG direction[2] = {0, 0};
    D_DIENVELOPE envelope{sizeof envelope, 0, 500000, 0, 1000000};
    const struct {
        const char* name;
        void (*change)(D_DIEFFECT&);
        HRESULT want;
    } cases[] = {
        {"as the framework makes it", [](D_DIEFFECT&) {}, D_DI_OK},
        {"cartesian", [](D_DIEFFECT& e) { e.dwFlags = 0x02 | 0x10; }, D_DI_OK},
        {"axes by id", [](D_DIEFFECT& e) { e.dwFlags = 0x01 | 0x20; }, D_DI_OK},
        {"wrong size", [](D_DIEFFECT& e) { e.dwSize -= 4; }, D_DIERR_INVALIDPARAM},
        {"unknown flag", [](D_DIEFFECT& e) { e.dwFlags |= 0x80; }, D_DIERR_INVALIDPARAM},
        {"axes named twice over", [](D_DIEFFECT& e) { e.dwFlags |= 0x01; }, D_DIERR_INVALIDPARAM},
        {"axes not named", [](D_DIEFFECT& e) { e.dwFlags = 0x20; }, D_DIERR_INVALIDPARAM},
        {"no coordinates", [](D_DIEFFECT& e) { e.dwFlags = 0x02; }, D_DIERR_INVALIDPARAM},
        {"two coordinates", [](D_DIEFFECT& e) { e.dwFlags = 0x02 | 0x10 | 0x20; }, D_DIERR_INVALIDPARAM},
        {"polar on one axis", [](D_DIEFFECT& e) { e.cAxes = 1; }, D_DIERR_INVALIDPARAM},
        {"no axis list", [](D_DIEFFECT& e) { e.rgdwAxes = nullptr; }, D_DIERR_INVALIDPARAM},
        {"gain over 10000", [](D_DIEFFECT& e) { e.dwGain = 10001; }, D_DIERR_INVALIDPARAM},
        {"envelope size", [](D_DIEFFECT& e) { e.lpEnvelope->dwSize = 0; }, D_DIERR_INVALIDPARAM},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        envelope.dwSize = sizeof envelope;
        D_DIEFFECT e{};
        e.dwSize = sizeof e;
        e.dwFlags = 0x02 | 0x20;  // axes by offset, polar direction
        e.dwGain = 10000;
        e.cAxes = 2;
        e.rgdwAxes = axes;
        e.rglDirection = direction;
        e.lpEnvelope = &envelope;
        e.cbTypeSpecificParams = sizeof periodic;
        e.lpvTypeSpecificParams = &periodic;
        c.change(e);
        D_IDirectInputEffect* made = nullptr;
        EXPECT_EQ(device->CreateEffect(GUID_D_Sine, &e, &made, nullptr), c.want);
        EXPECT_EQ(made != nullptr, c.want == D_DI_OK);
        if (made != nullptr) made->Release();
        e.rgdwAxes = badAxis;
        EXPECT_EQ(device->CreateEffect(GUID_D_Sine, &e, &made, nullptr),
                  (e.dwFlags & 0x01) != 0 && c.want == D_DI_OK ? D_DI_OK : D_DIERR_INVALIDPARAM)
            << "an axis between offsets";
        if (made != nullptr) made->Release();
    }
    device->Release();

    D_IDirectInputDevice7* still = Pad(1);
    D_IDirectInputEffect* none = nullptr;
    EXPECT_EQ(still->CreateEffect(GUID_D_Sine, &effect, &none, nullptr), D_DIERR_UNSUPPORTED);
    EXPECT_EQ(none, nullptr);
    still->Release();
}

TEST_F(DirectInputTest, EitherVersionCanBeRefused) {
    PlatformInputKnobsRef().refuseDirectInput7 = true;
    void* object = nullptr;
    EXPECT_TRUE(FAILED(CoCreateInstance(CLSID_D_DirectInput, nullptr, CLSCTX_ALL, IID_D_IDirectInput7A, &object)));
    ASSERT_EQ(CoCreateInstance(CLSID_D_DirectInput8, nullptr, CLSCTX_ALL, IID_D_IDirectInput8A, &object), S_OK);
    auto* di8 = static_cast<D_IDirectInput8*>(object);
    D_IDirectInputDevice8* keyboard = nullptr;
    EXPECT_EQ(di8->CreateDevice(GUID_D_SysKeyboard, &keyboard, nullptr), D_DIERR_NOTINITIALIZED);
    ASSERT_EQ(di8->Initialize(nullptr, D_DIRECTINPUT_VERSION8), D_DI_OK);
    ASSERT_EQ(di8->CreateDevice(GUID_D_SysKeyboard, &keyboard, nullptr), D_DI_OK);
    keyboard->Release();
    di8->Release();
}

TEST_F(DirectInputTest, Win32KeyboardStateAndJoysticks) {
    PlatformSetHeadlessPads({{"Plain", false, true}, {"Full", true, true}});
    PlatformPadState pad;
    pad.axes[0] = 32767;
    pad.buttons[0] = pad.buttons[4] = true;
    PlatformSetInputScript({PlatformInputFrame{{D_DIK_A, D_DIK_LSHIFT, D_DIK_NUMPAD4}, {pad}, {}}});

    BYTE keys[256];
    ASSERT_TRUE(GetKeyboardState(keys));
    EXPECT_EQ(keys['A'], 0x80);
    EXPECT_EQ(keys[0xA0], 0x80);  // left shift
    EXPECT_EQ(keys[0x10], 0x80);  // either shift
    EXPECT_EQ(keys[0x64], 0x80);  // numeric pad 4
    EXPECT_EQ(keys['B'], 0);

    JOYCAPSA caps;
    ASSERT_EQ(joyGetDevCapsA(0, &caps, sizeof caps), JOYERR_NOERROR);
    EXPECT_EQ(caps.wCaps, 0u);
    ASSERT_EQ(joyGetDevCapsA(1, &caps, sizeof caps), JOYERR_NOERROR);
    EXPECT_EQ(caps.wCaps, JOYCAPS_HASZ | JOYCAPS_HASR);
    EXPECT_NE(joyGetDevCapsA(2, &caps, sizeof caps), JOYERR_NOERROR);
    EXPECT_NE(joyGetDevCapsA(0, &caps, 100), JOYERR_NOERROR);

    JOYINFOEX info{};
    info.dwSize = sizeof info;
    info.dwFlags = JOY_RETURNALL;
    ASSERT_EQ(joyGetPosEx(0, &info), JOYERR_NOERROR);
    EXPECT_EQ(info.dwXpos, 65535u);
    EXPECT_EQ(info.dwYpos, 32768u);
    EXPECT_EQ(info.dwButtons, 0x11u);
    EXPECT_NE(joyGetPosEx(5, &info), JOYERR_NOERROR);
}

TEST(InputScript, ParsesKeysRepeatsAndPads) {
    std::vector<PlatformInputFrame> frames;
    int pads = 0;
    std::string error;
    ASSERT_TRUE(PlatformParseInputScript("# start\n-\n3* RIGHT Z\r\n\n0x2D pad2.b3 pad2.x=-1000\n2*\n", &frames,
                                         &pads, &error))
        << error;
    ASSERT_EQ(frames.size(), 7u);
    EXPECT_TRUE(frames[0].keys.empty());
    EXPECT_EQ(frames[1].keys, (std::vector<int>{D_DIK_RIGHT, D_DIK_Z}));
    EXPECT_EQ(frames[3].keys, frames[1].keys);
    EXPECT_EQ(frames[4].keys, (std::vector<int>{D_DIK_X}));
    ASSERT_EQ(frames[4].pads.size(), 2u);
    EXPECT_TRUE(frames[4].pads[1].buttons[2]);
    EXPECT_EQ(frames[4].pads[1].axes[0], -32767);
    EXPECT_TRUE(frames[6].keys.empty());
    EXPECT_EQ(pads, 2);

    for (const char* bad : {"FOO\n", "0x100\n", "pad9.b1\n", "pad1.b33\n", "pad1.x=2000\n", "0* Z\n", "pad1.q=1\n"}) {
        EXPECT_FALSE(PlatformParseInputScript(bad, &frames, &pads, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    // A few repeat lines must not make gigabytes of frames: the whole script
    // is bounded, whatever the lines.
    ASSERT_EQ(kMaxInputScriptFrames, 2'000'000u);
    ASSERT_TRUE(PlatformParseInputScript("1000000* -\n999999* Z\n# end\nX\n", &frames, &pads, &error)) << error;
    EXPECT_EQ(frames.size(), kMaxInputScriptFrames);
    EXPECT_EQ(frames.back().keys, (std::vector<int>{D_DIK_X}));
    for (const char* tooLong : {"1000000* -\n1000000* Z\n-\n", "2000001* Z\n", "99999999999999999999* -\n"}) {
        EXPECT_FALSE(PlatformParseInputScript(tooLong, &frames, &pads, &error)) << tooLong;
        EXPECT_NE(error.find("2000000 frames"), std::string::npos) << error;
    }
    EXPECT_EQ(PlatformInputKeyCode("ESCAPE"), D_DIK_ESCAPE);
    EXPECT_EQ(PlatformInputKeyCode("NUMPAD8"), D_DIK_NUMPAD8);
    EXPECT_EQ(PlatformInputKeyCode("nope"), -1);
}

TEST(InputScript, EachPresentMovesToTheNextFrameAndTheEndHoldsNothing) {
    PlatformSelectBackend(PlatformBackend::Headless);
    PlatformInputReset();
    PlatformSetInputScript({Keys({D_DIK_Z}), Keys({D_DIK_X})});
    BYTE keys[256];
    GetKeyboardState(keys);
    EXPECT_EQ(keys['Z'], 0x80);
    EXPECT_FALSE(PlatformInputScriptEnded());
    PlatformPresent(0);
    GetKeyboardState(keys);
    EXPECT_EQ(keys['Z'], 0);
    EXPECT_EQ(keys['X'], 0x80);
    PlatformPresent(0);
    GetKeyboardState(keys);
    EXPECT_EQ(keys['X'], 0);
    EXPECT_TRUE(PlatformInputScriptEnded());
    PlatformInputReset();
}

TEST(InputScript, AHeadlessRunReadsItsScriptFromTheEnvironment) {
    PlatformSelectBackend(PlatformBackend::Headless);
    PlatformInputReset();
    TempDir dir;
    dir.Write("keys.txt", "2* SPACE pad1.b2\nZ\n");
    setenv("KELVO_INPUT", (dir.str() + "/keys.txt").c_str(), 1);
    EXPECT_TRUE(PlatformLoadInputScriptFromEnvironment());
    BYTE keys[256];
    GetKeyboardState(keys);
    EXPECT_EQ(keys[' '], 0x80);
    JOYINFOEX info{};
    info.dwSize = sizeof info;
    ASSERT_EQ(joyGetPosEx(0, &info), JOYERR_NOERROR);  // the script attached pad 1
    EXPECT_EQ(info.dwButtons, 0x2u);

    // Held as runs of lines: every frame of each run, and past the last.
    PlatformInputReset();
    dir.Write("runs.txt", "3* Z\n-\n2* X\n# end\nSPACE\n");
    setenv("KELVO_INPUT", (dir.str() + "/runs.txt").c_str(), 1);
    ASSERT_TRUE(PlatformLoadInputScriptFromEnvironment());
    const char expected[] = "ZZZ-XX --";  // '-': nothing held, as past the end
    for (std::size_t frame = 0; frame + 1 < sizeof expected; ++frame) {
        GetKeyboardState(keys);
        const char held = keys['Z'] ? 'Z' : keys['X'] ? 'X' : keys[' '] ? ' ' : '-';
        EXPECT_EQ(held, expected[frame]) << "frame " << frame;
        EXPECT_EQ(PlatformEnvironmentInputScriptEnded(), frame >= 7) << "frame " << frame;
        PlatformPresent(0);
    }

    PlatformInputReset();
    dir.Write("bad.txt", "SPACE\nWHAT\n");
    setenv("KELVO_INPUT", (dir.str() + "/bad.txt").c_str(), 1);
    EXPECT_FALSE(PlatformLoadInputScriptFromEnvironment());
    setenv("KELVO_INPUT", (dir.str() + "/missing.txt").c_str(), 1);
    EXPECT_FALSE(PlatformLoadInputScriptFromEnvironment());
    dir.Write("long.txt", "600* -\n1999401* Z\n");
    setenv("KELVO_INPUT", (dir.str() + "/long.txt").c_str(), 1);
    EXPECT_FALSE(PlatformLoadInputScriptFromEnvironment());
    EXPECT_NE(PlatformDebugOutput().find("long.txt: line 2: the script runs past 2000000 frames"), std::string::npos)
        << PlatformDebugOutput();
    unsetenv("KELVO_INPUT");
    EXPECT_TRUE(PlatformLoadInputScriptFromEnvironment());
    GetKeyboardState(keys);
    EXPECT_EQ(keys[' '], 0);
    EXPECT_NE(PlatformDebugOutput().find("KELVO_INPUT"), std::string::npos);
    PlatformInputReset();
}

TEST(InputScript, WrittenScriptsParseBackToTheSameKeys) {
    // Keys only, in the order given; runs of equal frames share one line.
    const std::vector<std::vector<int>> cases[] = {
        {},
        {{}},
        {{D_DIK_RIGHT}, {D_DIK_RIGHT}, {D_DIK_RIGHT, D_DIK_X}, {}, {}, {}, {D_DIK_Z}},
        {{D_DIK_ESCAPE, D_DIK_NUMPAD8, D_DIK_DOWN}, {0x54}, {0xFF}, {0x54}},  // codes without a name
        {{D_DIK_X, D_DIK_Z}, {D_DIK_Z, D_DIK_X}},                           // order counts
    };
    for (const auto& keys : cases) {
        std::vector<PlatformInputFrame> frames;
        for (const auto& k : keys) frames.push_back(PlatformInputFrame{k, {}, {}});
        const std::string text = PlatformFormatInputScript(frames);
        std::vector<PlatformInputFrame> back;
        int pads = 0;
        std::string error;
        ASSERT_TRUE(PlatformParseInputScript(text, &back, &pads, &error)) << error << "\n" << text;
        ASSERT_EQ(back.size(), frames.size()) << text;
        for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(back[i].keys, frames[i].keys) << text;
    }
    std::vector<PlatformInputFrame> run(1000, Keys({D_DIK_LEFT}));
    run.push_back(Keys({}));
    EXPECT_EQ(PlatformFormatInputScript(run), "1000* LEFT\n-\n");
    EXPECT_EQ(PlatformInputKeyName(D_DIK_ESCAPE), "ESCAPE");
    EXPECT_EQ(PlatformInputKeyName(0x54), "0x54");
}

TEST(InputScript, FramesAppendedWhilePlayingAreHeldInTurn) {
    PlatformSelectBackend(PlatformBackend::Headless);
    PlatformInputReset();
    PlatformAppendInputFrame(Keys({D_DIK_Z}));
    BYTE keys[256];
    GetKeyboardState(keys);
    EXPECT_EQ(keys['Z'], 0x80);
    PlatformPresent(0);
    EXPECT_TRUE(PlatformInputScriptEnded());
    PlatformAppendInputFrame(Keys({D_DIK_X}));  // decided after the present
    GetKeyboardState(keys);
    EXPECT_EQ(keys['Z'], 0);
    EXPECT_EQ(keys['X'], 0x80);
    PlatformInputReset();
}

// A pad hands back what it read when polled (or acquired), not the state of
// the moment; a description of the wrong size is refused; what was asked of
// it is kept after it is gone.
TEST_F(DirectInputTest, PadsAreReadWhenPolledAndKeepWhatWasAsked) {
    PlatformSetHeadlessPads({{}});
    PlatformPadState left, right;
    left.axes[0] = -32767;
    right.axes[0] = 32767;
    PlatformSetInputScript({PlatformInputFrame{{}, {left}, {}}});
    D_IDirectInputDevice7* pad = Pad(0);
    D_DIDEVICEINSTANCEA info{};
    EXPECT_EQ(pad->GetDeviceInfo(&info), D_DIERR_INVALIDPARAM) << "no size";
    info.dwSize = sizeof info;
    EXPECT_EQ(pad->GetDeviceInfo(&info), D_DI_OK);
    ASSERT_EQ(pad->SetCooperativeLevel(nullptr, D_DISCL_EXCLUSIVE | D_DISCL_FOREGROUND), D_DI_OK);
    ASSERT_EQ(pad->Acquire(), D_DI_OK);
    PlatformSetInputScript({PlatformInputFrame{{}, {right}, {}}});
    D_DIJOYSTATE state;
    ASSERT_EQ(pad->GetDeviceState(sizeof state, &state), D_DI_OK);
    EXPECT_EQ(state.lX, -1000) << "as acquired";
    ASSERT_EQ(pad->Poll(), D_DI_OK);
    ASSERT_EQ(pad->GetDeviceState(sizeof state, &state), D_DI_OK);
    EXPECT_EQ(state.lX, 1000);
    PlatformDeviceRequests asked = PlatformInputRequests(0);
    EXPECT_TRUE(asked.made && asked.acquired);
    EXPECT_EQ(asked.polls, 1);
    EXPECT_EQ(asked.cooperationInForce, 5u);
    EXPECT_EQ(asked.rangeMin[0], -1000);
    EXPECT_EQ(asked.rangeMax[2], 65535) << "not set";
    pad->Release();
    EXPECT_TRUE(PlatformInputRequests(0).acquired) << "released while acquired";
    EXPECT_FALSE(PlatformInputRequests(7).made);
    EXPECT_FALSE(PlatformInputRequests(8).made) << "no such device";
}

}  // namespace
