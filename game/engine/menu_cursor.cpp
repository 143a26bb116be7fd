#include "engine/menu_cursor.h"

#include "engine/frame_input.h"
#include "kelvo/api.h"

namespace {

std::uint32_t Pressed() { return g_FrameInputState.newlyPressed; }

}  // namespace

void PlayMenuSound(SoundEffect effect) { ApiPlaySoundHandle(g_SoundEffectHandles[effect], 1, 1); }

void MoveMenuCursor(std::int32_t& cursor, int count, std::uint32_t forwardKey, std::uint32_t backKey) {
    if (Pressed() & forwardKey) {
        cursor = cursor + 1 >= count ? 0 : cursor + 1;
        PlayMenuSound(kSoundSelect);
    }
    if (Pressed() & backKey) {
        cursor = cursor <= 0 ? count - 1 : cursor - 1;
        PlayMenuSound(kSoundSelect);
    }
}

void MoveMenuCursor(std::uint8_t& cursor, int count, std::uint32_t forwardKey, std::uint32_t backKey) {
    std::int32_t wide = cursor;
    MoveMenuCursor(wide, count, forwardKey, backKey);
    cursor = static_cast<std::uint8_t>(wide);
}
