#include "world/monsters/monster_drawing.h"

#include "engine/handles.h"
#include "rules/player_motion.h"
#include "world/stages/stage_state.h"

namespace {

constexpr int kFrameSize = 128;

}  // namespace

void DrawMonsterFrame(const int* sheet, int frame, const MonsterRecord& m, int lift, bool facingLeft, double yOffset) {
    if (frame < 0 || frame >= kMonsterSheetFrames) return;
    const int left = static_cast<int>(m.x - kFrameSize / 2 - g_StageState.cameraX);
    const int top = static_cast<int>(m.y - kFrameSize / 2 - lift + yOffset);
    if (facingLeft)
        ApiBlitGraph(left, top, sheet[frame], 1);
    else
        ApiMirrorBlitGraph(left, top, sheet[frame], 1);
}

void DrawLargeMonsterFrame(const int* sheet, int frame, const MonsterRecord& m, int lift, bool facingLeft,
                           double yOffset) {
    if (frame < 0 || frame >= kMonsterSheetFrames) return;
    const float left = m.x - kFrameSize - g_StageState.cameraX;
    const double top = m.y - kFrameSize - lift + yOffset;
    const int x1 = static_cast<int>(left);
    const int x2 = static_cast<int>(left + 2 * kFrameSize);
    const int y1 = static_cast<int>(top);
    const int y2 = static_cast<int>(top + 2 * kFrameSize);
    if (facingLeft)
        ApiStretchBlitGraph(x1, y1, x2, y2, sheet[frame], 1);
    else
        ApiStretchBlitGraph(x2, y1, x1, y2, sheet[frame], 1);
}

bool PlayerIsLeftOf(const MonsterRecord& m) { return m.x - g_StageState.cameraX > g_PlayerMotion.screenX; }

int DazeGlowParameter(std::int32_t specialTimer) {
    const std::int32_t p = specialTimer % 128;
    return p < 64 ? 4 * p : 512 - 4 * p;
}
