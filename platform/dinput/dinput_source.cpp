// Where the input devices' state comes from: SDL's keyboard and joysticks on
// the sdl backend, the input script on the headless backend.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

#include "dinput/dinput_internal.h"
#include "kernel/video_thread.h"
#include "platform/backend.h"
#include "platform/display.h"
#include "platform/kernel.h"

namespace {

// A script held as runs of equal frames, as its file writes them: a long
// playthrough is close to a million frames but a fifth as many lines, and
// a frame of its own for each would cost some 100 bytes a frame.
class ScriptRuns {
public:
    std::uint64_t size() const { return ends_.empty() ? 0 : ends_.back(); }
    // The frame at `index`, which must be below size().
    // Frames are read in order, many times each, so the last run found is
    // tried first.
    const PlatformInputFrame& operator[](std::uint64_t index) const {
        const std::uint64_t start = last_ == 0 ? 0 : ends_[last_ - 1];
        if (last_ >= ends_.size() || index < start || index >= ends_[last_])
            last_ = static_cast<std::size_t>(std::upper_bound(ends_.begin(), ends_.end(), index) - ends_.begin());
        return frames_[last_];
    }
    void push_back(PlatformInputFrame frame, std::uint64_t count = 1) {
        if (count == 0) return;
        const std::uint64_t end = size() + count;
        frames_.push_back(std::move(frame));
        ends_.push_back(end);
    }
    void clear() {
        frames_.clear();
        ends_.clear();
        last_ = 0;
    }
    std::vector<PlatformInputFrame> Expanded() const {
        std::vector<PlatformInputFrame> out;
        out.reserve(static_cast<std::size_t>(size()));
        std::uint64_t start = 0;
        for (std::size_t i = 0; i < frames_.size(); ++i) {
            out.insert(out.end(), static_cast<std::size_t>(ends_[i] - start), frames_[i]);
            start = ends_[i];
        }
        return out;
    }

private:
    std::vector<PlatformInputFrame> frames_;
    std::vector<std::uint64_t> ends_;  // frames up to the end of each run
    mutable std::size_t last_ = 0;
};

bool ParseScriptRuns(const std::string& text, ScriptRuns* runs, int* padCount, std::string* error);

struct SourceState {
    std::recursive_mutex mutex;
    ScriptRuns script;
    std::uint64_t scriptBase = 0;  // presents counted when the script was set
    bool environmentLoaded = false;
    bool scriptFromEnvironment = false;  // the script came from KELVO_INPUT
    // Typing: the next script frame whose key changes and text are still to
    // be handed to the window, and the keys held as last handed over.
    std::uint64_t typedNext = 0;
    std::vector<int> typedHeld;
    std::vector<PlatformPadDescription> headlessPads;
    std::vector<SDL_Joystick*> sdlPads;
    bool sdlPadsOpened = false;
    int rumble[8][2] = {};
    // Its own lock: SDL calls the key watch inside its event pump, which must
    // never wait on a lock held around SDL joystick calls.
    std::mutex watcherMutex;
    std::vector<HANDLE> keyboardWatchers;
    bool eventWatchAdded = false;
    PlatformInputKnobs knobs;
    PlatformInputStats stats;
    PlatformDeviceRequests requests[10];  // keyboard, mouse, pads 0-7
};

// Never destroyed: the video thread's key watch reaches it while the
// process exits.
SourceState& Source() {
    static SourceState* state = new SourceState;
    return *state;
}

bool UseSdl() {
    return PlatformGetBackend() == PlatformBackend::Sdl && SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

// SDL scan codes (positional) to DIK values.
struct SdlKey {
    SDL_Scancode sdl;
    int dik;
};
constexpr SdlKey kSdlKeys[] = {
    {SDL_SCANCODE_ESCAPE, 0x01}, {SDL_SCANCODE_1, 0x02}, {SDL_SCANCODE_2, 0x03}, {SDL_SCANCODE_3, 0x04},
    {SDL_SCANCODE_4, 0x05}, {SDL_SCANCODE_5, 0x06}, {SDL_SCANCODE_6, 0x07}, {SDL_SCANCODE_7, 0x08},
    {SDL_SCANCODE_8, 0x09}, {SDL_SCANCODE_9, 0x0A}, {SDL_SCANCODE_0, 0x0B}, {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_BACKSPACE, 0x0E}, {SDL_SCANCODE_TAB, 0x0F}, {SDL_SCANCODE_Q, 0x10}, {SDL_SCANCODE_W, 0x11},
    {SDL_SCANCODE_E, 0x12}, {SDL_SCANCODE_R, 0x13}, {SDL_SCANCODE_T, 0x14}, {SDL_SCANCODE_Y, 0x15},
    {SDL_SCANCODE_U, 0x16}, {SDL_SCANCODE_I, 0x17}, {SDL_SCANCODE_O, 0x18}, {SDL_SCANCODE_P, 0x19},
    {SDL_SCANCODE_LEFTBRACKET, 0x1A}, {SDL_SCANCODE_RIGHTBRACKET, 0x1B}, {SDL_SCANCODE_RETURN, 0x1C},
    {SDL_SCANCODE_LCTRL, 0x1D}, {SDL_SCANCODE_A, 0x1E}, {SDL_SCANCODE_S, 0x1F}, {SDL_SCANCODE_D, 0x20},
    {SDL_SCANCODE_F, 0x21}, {SDL_SCANCODE_G, 0x22}, {SDL_SCANCODE_H, 0x23}, {SDL_SCANCODE_J, 0x24},
    {SDL_SCANCODE_K, 0x25}, {SDL_SCANCODE_L, 0x26}, {SDL_SCANCODE_SEMICOLON, 0x27},
    {SDL_SCANCODE_LSHIFT, 0x2A}, {SDL_SCANCODE_BACKSLASH, 0x2B}, {SDL_SCANCODE_Z, 0x2C},
    {SDL_SCANCODE_X, 0x2D}, {SDL_SCANCODE_C, 0x2E}, {SDL_SCANCODE_V, 0x2F}, {SDL_SCANCODE_B, 0x30},
    {SDL_SCANCODE_N, 0x31}, {SDL_SCANCODE_M, 0x32}, {SDL_SCANCODE_COMMA, 0x33}, {SDL_SCANCODE_PERIOD, 0x34},
    {SDL_SCANCODE_SLASH, 0x35}, {SDL_SCANCODE_RSHIFT, 0x36}, {SDL_SCANCODE_KP_MULTIPLY, 0x37},
    {SDL_SCANCODE_LALT, 0x38}, {SDL_SCANCODE_SPACE, 0x39}, {SDL_SCANCODE_CAPSLOCK, 0x3A},
    {SDL_SCANCODE_F1, 0x3B}, {SDL_SCANCODE_F2, 0x3C}, {SDL_SCANCODE_F3, 0x3D}, {SDL_SCANCODE_F4, 0x3E},
    {SDL_SCANCODE_F5, 0x3F}, {SDL_SCANCODE_F6, 0x40}, {SDL_SCANCODE_F7, 0x41}, {SDL_SCANCODE_F8, 0x42},
    {SDL_SCANCODE_F9, 0x43}, {SDL_SCANCODE_F10, 0x44}, {SDL_SCANCODE_SCROLLLOCK, 0x46},
    {SDL_SCANCODE_KP_7, 0x47}, {SDL_SCANCODE_KP_8, 0x48}, {SDL_SCANCODE_KP_9, 0x49},
    {SDL_SCANCODE_KP_MINUS, 0x4A}, {SDL_SCANCODE_KP_4, 0x4B}, {SDL_SCANCODE_KP_5, 0x4C},
    {SDL_SCANCODE_KP_6, 0x4D}, {SDL_SCANCODE_KP_PLUS, 0x4E}, {SDL_SCANCODE_KP_1, 0x4F},
    {SDL_SCANCODE_KP_2, 0x50}, {SDL_SCANCODE_KP_3, 0x51}, {SDL_SCANCODE_KP_0, 0x52},
    {SDL_SCANCODE_KP_PERIOD, 0x53}, {SDL_SCANCODE_F11, 0x57}, {SDL_SCANCODE_F12, 0x58},
    {SDL_SCANCODE_INTERNATIONAL3, 0x7D}, {SDL_SCANCODE_APOSTROPHE, 0x92}, {SDL_SCANCODE_GRAVE, 0x91},
    {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_RCTRL, 0x9D}, {SDL_SCANCODE_KP_DIVIDE, 0xB5},
    {SDL_SCANCODE_RALT, 0xB8}, {SDL_SCANCODE_PAUSE, 0xC5}, {SDL_SCANCODE_HOME, 0xC7},
    {SDL_SCANCODE_UP, 0xC8}, {SDL_SCANCODE_PAGEUP, 0xC9}, {SDL_SCANCODE_LEFT, 0xCB},
    {SDL_SCANCODE_RIGHT, 0xCD}, {SDL_SCANCODE_END, 0xCF}, {SDL_SCANCODE_DOWN, 0xD0},
    {SDL_SCANCODE_PAGEDOWN, 0xD1}, {SDL_SCANCODE_INSERT, 0xD2}, {SDL_SCANCODE_DELETE, 0xD3},
};

// A new script is typed from its first frame; keys still held are let go
// when its first frame does not hold them.
void RestartTypingLocked(SourceState& s) { s.typedNext = 0; }

// Frames presented since the script was set. A display reset starts the
// present count again below the script's base: the script then starts again
// from its first frame rather than from an index that wrapped round.
std::uint64_t ScriptFrameLocked(SourceState& s) {
    const std::uint64_t count = PlatformProgramFrameCount();
    if (count < s.scriptBase) {
        s.scriptBase = count;
        RestartTypingLocked(s);
    }
    return count - s.scriptBase;
}

// The script frame in force now, or null past its end.
const PlatformInputFrame* CurrentFrameLocked(SourceState& s) {
    if (!s.environmentLoaded) {
        s.environmentLoaded = true;
        PlatformLoadInputScriptFromEnvironment();
    }
    std::uint64_t index = ScriptFrameLocked(s);
    if (index >= s.script.size()) return nullptr;
    return &s.script[index];
}

// The joystick subsystem starts on the video thread, which pumps its events.
void OpenSdlPadsLocked(SourceState& s) {
    if (s.sdlPadsOpened) return;
    s.sdlPadsOpened = true;
    VideoThreadCall([&s] {
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return;
        int count = std::min(SDL_NumJoysticks(), 8);
        for (int i = 0; i < count; ++i)
            if (SDL_Joystick* j = SDL_JoystickOpen(i)) s.sdlPads.push_back(j);
    });
}

int KeyEventWatch(void*, SDL_Event* event) {
    if (event->type == SDL_KEYDOWN || event->type == SDL_KEYUP) InputSignalKeyboardWatchers();
    return 0;
}

std::atomic<std::int64_t> g_firstKeyboardRead{-1};

void NoteKeyboardRead() {
    if (g_firstKeyboardRead.load(std::memory_order_relaxed) >= 0 || !PlatformIsMainThread()) return;
    std::int64_t unread = -1;
    g_firstKeyboardRead.compare_exchange_strong(unread, static_cast<std::int64_t>(PlatformProgramFrameCount()));
}

}  // namespace

std::int64_t PlatformFirstKeyboardReadFrame() { return g_firstKeyboardRead.load(); }

void InputSourceKeys(BYTE* dik) {
    std::memset(dik, 0, 256);
    NoteKeyboardRead();
    if (UseSdl()) {
        int count = 0;
        const Uint8* sdl = SDL_GetKeyboardState(&count);
        for (const auto& key : kSdlKeys)
            if (key.sdl < count && sdl[key.sdl]) dik[key.dik] = 0x80;
        InputRecordKeys(dik);
        return;
    }
    SourceState& s = Source();
    {
        std::lock_guard lock(s.mutex);
        if (const PlatformInputFrame* frame = CurrentFrameLocked(s))
            for (int code : frame->keys)
                if (code >= 0 && code < 256) dik[code] = 0x80;
    }
    // Headless the keys come from the script: recorded as read, a run can be
    // cut short or checked against its script.
    InputRecordKeys(dik);
}

void InputSourceVirtualKeys(BYTE* vk) {
    std::memset(vk, 0, 256);
    if (!PlatformIsMainThread()) return;
    BYTE dik[256];
    InputSourceKeys(dik);
    for (int code = 0; code < 256; ++code) {
        if ((dik[code] & 0x80) == 0) continue;
        BYTE key = VirtualKeyOfScanCode(code);
        if (key != 0) vk[key] = 0x80;
        // The generic shift, control and menu keys follow either side.
        if (key == 0xA0 || key == 0xA1) vk[0x10] = 0x80;
        if (key == 0xA2 || key == 0xA3) vk[0x11] = 0x80;
        if (key == 0xA4 || key == 0xA5) vk[0x12] = 0x80;
    }
}

int InputSourcePadCount() {
    SourceState& s = Source();
    std::lock_guard lock(s.mutex);
    if (UseSdl()) {
        OpenSdlPadsLocked(s);
        return static_cast<int>(s.sdlPads.size());
    }
    CurrentFrameLocked(s);  // a script file may attach pads
    return static_cast<int>(std::min<std::size_t>(s.headlessPads.size(), 8));
}

bool InputSourcePad(int index, PlatformPadState* out) {
    *out = PlatformPadState{};
    if (index < 0 || index >= InputSourcePadCount()) return false;
    SourceState& s = Source();
    std::lock_guard lock(s.mutex);
    if (UseSdl()) {
        SDL_Joystick* j = s.sdlPads[static_cast<std::size_t>(index)];
        int axes = std::min(SDL_JoystickNumAxes(j), 6);
        for (int a = 0; a < axes; ++a) out->axes[a] = SDL_JoystickGetAxis(j, a);
        int buttons = std::min(SDL_JoystickNumButtons(j), 32);
        for (int b = 0; b < buttons; ++b) out->buttons[b] = SDL_JoystickGetButton(j, b) != 0;
        return true;
    }
    const PlatformInputFrame* frame = CurrentFrameLocked(s);
    if (frame != nullptr && static_cast<std::size_t>(index) < frame->pads.size())
        *out = frame->pads[static_cast<std::size_t>(index)];
    return true;
}

PlatformPadDescription InputSourcePadInfo(int index) {
    PlatformPadDescription info;
    if (index < 0 || index >= InputSourcePadCount()) return info;
    SourceState& s = Source();
    std::lock_guard lock(s.mutex);
    if (UseSdl()) {
        SDL_Joystick* j = s.sdlPads[static_cast<std::size_t>(index)];
        const char* name = SDL_JoystickName(j);
        info.name = name != nullptr ? name : "Joystick";
        info.hasZAndR = SDL_JoystickNumAxes(j) >= 4;
        info.forceFeedback = SDL_JoystickHasRumble(j) == SDL_TRUE;
        return info;
    }
    return s.headlessPads[static_cast<std::size_t>(index)];
}

void InputSourceRumble(int index, int low, int high) {
    if (index < 0 || index >= 8) return;
    SourceState& s = Source();
    std::lock_guard lock(s.mutex);
    s.rumble[index][0] = low;
    s.rumble[index][1] = high;
    if (UseSdl() && static_cast<std::size_t>(index) < s.sdlPads.size()) {
        // SDL stops rumble after a duration; the longest it takes stands in
        // for "until stopped", and every new command restarts it.
        SDL_JoystickRumble(s.sdlPads[static_cast<std::size_t>(index)], static_cast<Uint16>(low),
                           static_cast<Uint16>(high), low == 0 && high == 0 ? 0 : 0xFFFF);
    }
}

std::vector<ScriptedTyping> InputSourceTakeTyping() {
    std::vector<ScriptedTyping> steps;
    if (UseSdl()) return steps;
    SourceState& s = Source();
    std::lock_guard lock(s.mutex);
    CurrentFrameLocked(s);  // loads a script file on first use
    const std::uint64_t now = ScriptFrameLocked(s);
    static const PlatformInputFrame kNothing{};
    while (s.typedNext <= now) {
        const bool pastEnd = s.typedNext >= s.script.size();
        const PlatformInputFrame& frame = pastEnd ? kNothing : s.script[s.typedNext];
        ScriptedTyping step;
        for (int key : s.typedHeld)
            if (std::find(frame.keys.begin(), frame.keys.end(), key) == frame.keys.end()) step.released.push_back(key);
        for (int key : frame.keys)
            if (std::find(s.typedHeld.begin(), s.typedHeld.end(), key) == s.typedHeld.end() &&
                std::find(step.pressed.begin(), step.pressed.end(), key) == step.pressed.end())
                step.pressed.push_back(key);
        step.text = frame.text;
        s.typedHeld = frame.keys;
        if (!step.pressed.empty() || !step.released.empty() || !step.text.empty()) steps.push_back(std::move(step));
        // Past the end nothing changes any more: one step lets every key go.
        if (pastEnd) {
            s.typedNext = now + 1;
            break;
        }
        ++s.typedNext;
    }
    return steps;
}

void InputWatchKeyboard(HANDLE event) {
    SourceState& s = Source();
    {
        std::lock_guard watchers(s.watcherMutex);
        s.keyboardWatchers.push_back(event);
    }
    std::lock_guard lock(s.mutex);
    if (UseSdl() && !s.eventWatchAdded) {
        s.eventWatchAdded = true;
        SDL_AddEventWatch(KeyEventWatch, nullptr);
    }
}

void InputUnwatchKeyboard(HANDLE event) {
    SourceState& s = Source();
    std::lock_guard lock(s.watcherMutex);
    std::erase(s.keyboardWatchers, event);
}

void InputSignalKeyboardWatchers() {
    SourceState& s = Source();
    std::lock_guard lock(s.watcherMutex);
    for (HANDLE event : s.keyboardWatchers) SetEvent(event);
}

void PlatformSetHeadlessPads(const std::vector<PlatformPadDescription>& pads) {
    SourceState& s = Source();
    std::lock_guard lock(s.mutex);
    s.headlessPads = pads;
    if (s.headlessPads.size() > 8) s.headlessPads.resize(8);
}

void PlatformSetInputScript(std::vector<PlatformInputFrame> frames) {
    SourceState& s = Source();
    {
        std::lock_guard lock(s.mutex);
        s.environmentLoaded = true;
        s.scriptFromEnvironment = false;
        s.script.clear();
        for (PlatformInputFrame& frame : frames) s.script.push_back(std::move(frame));
        s.scriptBase = PlatformProgramFrameCount();
        RestartTypingLocked(s);
    }
    InputSignalKeyboardWatchers();
}

void PlatformAppendInputFrame(PlatformInputFrame frame) {
    SourceState& s = Source();
    std::lock_guard lock(s.mutex);
    s.script.push_back(std::move(frame));
}

bool PlatformInputScriptEnded() {
    SourceState& s = Source();
    std::lock_guard lock(s.mutex);
    return CurrentFrameLocked(s) == nullptr;
}

bool PlatformEnvironmentInputScriptEnded() {
    SourceState& s = Source();
    std::lock_guard lock(s.mutex);
    return s.scriptFromEnvironment && ScriptFrameLocked(s) >= s.script.size();
}

namespace {

// A line's tokens, split at blanks; a double quote starts a run that blanks
// do not split, up to the next quote not escaped by a backslash (the quotes
// and escapes stay in the token for ParseText).
bool SplitTokens(const std::string& line, std::vector<std::string>* tokens, std::string* error) {
    tokens->clear();
    std::size_t at = 0;
    while (true) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
        if (at >= line.size()) return true;
        std::string token;
        bool quoted = false;
        for (; at < line.size(); ++at) {
            const char c = line[at];
            if (!quoted && (c == ' ' || c == '\t')) break;
            if (quoted && c == '\\' && at + 1 < line.size()) {
                token += c;
                token += line[++at];
                continue;
            }
            if (c == '"') quoted = !quoted;
            token += c;
        }
        if (quoted) {
            *error = "unclosed quote: " + token;
            return false;
        }
        tokens->push_back(std::move(token));
    }
}

// The value of a text token: as it stands, or between quotes, where a
// backslash takes the character after it as it is (a quote, a backslash).
bool ParseText(const std::string& value, std::string* text) {
    text->clear();
    if (value.empty() || value[0] != '"') {
        *text = value;
        return value.find('"') == std::string::npos;
    }
    if (value.size() < 2 || value.back() != '"') return false;
    for (std::size_t i = 1; i + 1 < value.size(); ++i) {
        if (value[i] == '\\') ++i;
        else if (value[i] == '"') return false;
        if (i + 1 >= value.size()) return false;
        *text += value[i];
    }
    return true;
}

// text=..., compose=... and compose@N=...; false when the token is none of them.
bool ParseTextToken(const std::string& token, PlatformInputFrame* frame, std::string* error) {
    PlatformScriptText entry;
    std::string value;
    if (token.rfind("text=", 0) == 0) {
        value = token.substr(5);
    } else if (token.rfind("compose=", 0) == 0) {
        entry.compose = true;
        value = token.substr(8);
    } else if (token.rfind("compose@", 0) == 0) {
        entry.compose = true;
        const std::size_t eq = token.find('=');
        char* end = nullptr;
        const long cursor = eq == std::string::npos ? -1 : std::strtol(token.c_str() + 8, &end, 10);
        if (eq == std::string::npos || end != token.c_str() + eq || eq == 8 || cursor < 0 || cursor > 100000) {
            *error = "bad composition cursor: " + token;
            return true;
        }
        entry.cursor = static_cast<int>(cursor);
        value = token.substr(eq + 1);
    } else {
        return false;
    }
    if (!ParseText(value, &entry.text)) *error = "bad text: " + token;
    frame->text.push_back(std::move(entry));
    return true;
}

bool ParseToken(const std::string& token, PlatformInputFrame* frame, int* padCount, std::string* error) {
    error->clear();
    if (ParseTextToken(token, frame, error)) return error->empty();
    if (token.rfind("pad", 0) == 0) {
        std::size_t dot = token.find('.');
        int pad = dot == 3 ? -1 : std::atoi(token.substr(3, dot - 3).c_str());
        if (dot == std::string::npos || pad < 1 || pad > 8) {
            *error = "bad pad token: " + token;
            return false;
        }
        if (static_cast<int>(frame->pads.size()) < pad) frame->pads.resize(static_cast<std::size_t>(pad));
        *padCount = std::max(*padCount, pad);
        PlatformPadState& state = frame->pads[static_cast<std::size_t>(pad - 1)];
        std::string what = token.substr(dot + 1);
        if (what.size() >= 2 && what[0] == 'b' && what.find('=') == std::string::npos) {
            int button = std::atoi(what.c_str() + 1);
            if (button < 1 || button > 32) {
                *error = "bad pad button: " + token;
                return false;
            }
            state.buttons[button - 1] = true;
            return true;
        }
        std::size_t eq = what.find('=');
        static const char* const kAxes[] = {"x", "y", "z", "rx", "ry", "rz"};
        for (int a = 0; a < 6 && eq != std::string::npos; ++a) {
            if (what.substr(0, eq) != kAxes[a]) continue;
            char* end = nullptr;
            long value = std::strtol(what.c_str() + eq + 1, &end, 10);
            if (*end != '\0' || value < -1000 || value > 1000) break;
            state.axes[a] = static_cast<LONG>(value * 32767 / 1000);
            return true;
        }
        *error = "bad pad axis: " + token;
        return false;
    }
    int code = -1;
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        char* end = nullptr;
        long value = std::strtol(token.c_str() + 2, &end, 16);
        if (*end == '\0' && value > 0 && value < 256) code = static_cast<int>(value);
    } else {
        code = PlatformInputKeyCode(token);
    }
    if (code < 0) {
        *error = "unknown key: " + token;
        return false;
    }
    frame->keys.push_back(code);
    return true;
}

bool ParseScriptRuns(const std::string& text, ScriptRuns* frames, int* padCount, std::string* error) {
    frames->clear();
    *padCount = 0;
    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    std::vector<std::string> tokens;
    while (std::getline(lines, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        if (!SplitTokens(line, &tokens, error)) {
            *error = "line " + std::to_string(lineNumber) + ": " + *error;
            return false;
        }
        std::size_t next = 0;
        long repeat = 1;
        if (tokens[0].back() == '*') {
            char* end = nullptr;
            repeat = std::strtol(tokens[0].c_str(), &end, 10);
            if (*end != '*' || repeat < 1) {
                *error = "line " + std::to_string(lineNumber) + ": bad repeat count " + tokens[0];
                return false;
            }
            next = 1;
        }
        if (static_cast<unsigned long>(repeat) > kMaxInputScriptFrames - frames->size()) {
            *error = "line " + std::to_string(lineNumber) + ": the script runs past " +
                     std::to_string(kMaxInputScriptFrames) + " frames, the most a script may hold";
            return false;
        }
        PlatformInputFrame frame;
        for (; next < tokens.size(); ++next) {
            if (tokens[next] == "-") continue;
            if (!ParseToken(tokens[next], &frame, padCount, error)) {
                *error = "line " + std::to_string(lineNumber) + ": " + *error;
                return false;
            }
        }
        frames->push_back(std::move(frame), static_cast<std::uint64_t>(repeat));
    }
    return true;
}

}  // namespace

bool PlatformParseInputScript(const std::string& text, std::vector<PlatformInputFrame>* frames, int* padCount,
                              std::string* error) {
    ScriptRuns runs;
    const bool ok = ParseScriptRuns(text, &runs, padCount, error);
    *frames = ok ? runs.Expanded() : std::vector<PlatformInputFrame>{};
    return ok;
}

bool PlatformLoadInputScriptFromEnvironment() {
    const char* path = std::getenv("KELVO_INPUT");
    if (path == nullptr || *path == '\0') return true;
    std::ifstream file(path, std::ios::binary);
    ScriptRuns frames;
    int pads = 0;
    std::string error = "cannot read the file";
    if (!file || !ParseScriptRuns(std::string(std::istreambuf_iterator<char>(file), {}), &frames,
                                           &pads, &error)) {
        // Said on the error stream as well: a run without its script would
        // otherwise go on as if nothing were wrong.
        std::string message = "KELVO_INPUT: " + std::string(path) + ": " + error + "; the run has no input\n";
        OutputDebugStringA(message.c_str());
        std::fputs(message.c_str(), stderr);
        return false;
    }
    SourceState& s = Source();
    std::lock_guard lock(s.mutex);
    if (pads > 0 && static_cast<int>(s.headlessPads.size()) < pads)
        s.headlessPads.resize(static_cast<std::size_t>(pads));
    s.script = std::move(frames);
    s.scriptBase = PlatformProgramFrameCount();
    RestartTypingLocked(s);
    s.environmentLoaded = true;
    s.scriptFromEnvironment = true;
    return true;
}

PlatformInputKnobs& PlatformInputKnobsRef() { return Source().knobs; }
PlatformInputStats& PlatformInputStatsRef() { return Source().stats; }

PlatformDeviceRequests& InputRequestsRef(int device) {
    int index = device == kPlatformKeyboardDevice ? 0 : device == kPlatformMouseDevice ? 1 : 2 + (device & 7);
    return Source().requests[index];
}

PlatformDeviceRequests PlatformInputRequests(int device) {
    if (device < kPlatformMouseDevice || device > 7) return {};
    std::lock_guard lock(Source().mutex);
    return InputRequestsRef(device);
}

void PlatformPadRumble(int pad, int* low, int* high) {
    SourceState& s = Source();
    std::lock_guard lock(s.mutex);
    bool valid = pad >= 0 && pad < 8;
    *low = valid ? s.rumble[pad][0] : 0;
    *high = valid ? s.rumble[pad][1] : 0;
}

void PlatformInputReset() {
    SourceState& s = Source();
    std::lock_guard lock(s.mutex);
    s.script.clear();
    s.scriptBase = PlatformProgramFrameCount();
    RestartTypingLocked(s);
    s.environmentLoaded = true;
    s.scriptFromEnvironment = false;
    s.headlessPads.clear();
    std::memset(s.rumble, 0, sizeof s.rumble);
    {
        std::lock_guard watchers(s.watcherMutex);
        s.keyboardWatchers.clear();
    }
    s.knobs = PlatformInputKnobs{};
    g_firstKeyboardRead = -1;
    int live = s.stats.liveDevices, effects = s.stats.liveEffects;
    s.stats = PlatformInputStats{};
    s.stats.liveDevices = live;
    s.stats.liveEffects = effects;
    for (auto& r : s.requests) r = PlatformDeviceRequests{};
}
