// The public entries of the framework's core: each takes the framework lock
// around its operation and returns the operation's result unchanged.
#include "api/framework_init.h"
#include "core/framework_lock.h"
#include "core/log.h"
#include "core/screen_log.h"
#include "core/system_state.h"
#include "input/input.h"
#include "kelvo/api.h"
#include "sound/midi.h"
#include "sound/sound.h"
#include "window/window.h"

int ApiInitFramework() {
    FrameworkLockScope lock;
    return InitFramework();
}

int ApiEndFramework() {
    int result;
    {
        FrameworkLockScope lock;
        result = EndFramework();
    }
    TeardownFrameworkLock();
    return result;
}

int ApiClearScreenLog() {
    FrameworkLockScope lock;
    return ClearScreenLog();
}

int ApiProcessMessage() {
    FrameworkLockScope lock;
    return ProcessMessage();
}

int ApiSetLogEnabled(int flag) {
    FrameworkLockScope lock;
    return SetLogEnabled(flag);
}

int ApiSetAllowDoubleStart(int flag) {
    FrameworkLockScope lock;
    return SetAllowDoubleStart(flag);
}

int ApiGetMilliseconds(int) {
    FrameworkLockScope lock;
    return static_cast<int>(timeGetTime());
}

int ApiIsKeyDown(int keyCode) {
    FrameworkLockScope lock;
    return IsKeyDown(keyCode);
}

int ApiGetPadState(int inputType) {
    FrameworkLockScope lock;
    return GetPadState(inputType);
}

int ApiDeleteAllSounds(int flag) {
    FrameworkLockScope lock;
    return DeleteAllSounds(flag);
}

int ApiLoadSoundFile(const char* fileName, int bufferCount, int kind) {
    FrameworkLockScope lock;
    return LoadSoundFileJump(fileName, bufferCount, kind);
}

int ApiPlaySoundHandle(int soundHandle, int playType, int fromStart) {
    FrameworkLockScope lock;
    return PlaySoundHandle(soundHandle, playType, fromStart);
}

int ApiStopSoundHandle(int soundHandle) {
    FrameworkLockScope lock;
    return StopSoundHandle(soundHandle);
}

int ApiIsSoundPlaying(int soundHandle) {
    FrameworkLockScope lock;
    return IsSoundPlaying(soundHandle);
}
