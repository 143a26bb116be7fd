// Headless typing: the input script's key presses, typed text and
// compositions become the foreground window's messages, as a keyboard and an
// input method would make them.
#include "dinput/dinput_internal.h"
#include "platform/backend.h"
#include "platform/kernel.h"
#include "window/window_state.h"

namespace {

// The foreground window, or the only window there is; null otherwise.
PlatformWindow* TypingTargetLocked() {
    auto& s = Windows();
    if (PlatformWindow* w = FindWindowLocked(s.foreground)) return w;
    return s.windows.size() == 1 ? &s.windows.begin()->second : nullptr;
}

}  // namespace

void DeliverScriptedTyping() {
    if (!PlatformIsHeadless() || !PlatformIsMainThread()) return;
    std::vector<ScriptedTyping> steps = InputSourceTakeTyping();
    if (steps.empty()) return;
    auto& s = Windows();
    std::lock_guard lock(s.mutex);
    PlatformWindow* w = TypingTargetLocked();
    if (w == nullptr) return;
    using Kind = PlatformWindowEvent::Kind;
    for (const ScriptedTyping& step : steps) {
        PlatformWindowEvent event;
        for (int key : step.released) {
            event.kind = Kind::KeyUp;
            event.value = VirtualKeyOfScanCode(key);
            if (event.value != 0) EventToMessagesLocked(*w, event);
        }
        for (int key : step.pressed) {
            event.kind = Kind::KeyDown;
            event.value = VirtualKeyOfScanCode(key);
            if (event.value != 0) EventToMessagesLocked(*w, event);
        }
        for (const PlatformScriptText& text : step.text) {
            event.kind = text.compose ? Kind::Compose : Kind::Text;
            event.text = text.text;
            event.value = text.cursor;
            EventToMessagesLocked(*w, event);
        }
    }
}
