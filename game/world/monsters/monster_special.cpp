#include "world/monsters/monster_special.h"

#include <kelvo/api.h>

#include "engine/handles.h"
#include "rules/player_motion.h"
#include "rules/sub_screen.h"
#include "world/monsters/monster_combat.h"
#include "world/monsters/monster_drawing.h"
#include "world/stages/stage_state.h"

namespace {

constexpr int kAttackFrame = 10;
constexpr int kEffectFrames = 8;

// A series of swings: frame time T = c6 / divisor; each swing hits at 3T and
// ends at 7T; damage (c4 * c4Factor - DEF) * factor. The mode ends `span`
// swing frames after the daze, or (span 0) once the monster stands on the
// ground after 129 frames of the mode.
struct SwingGroup {
    int divisor;
    double c4Factor;
    double factor;
    int span;
};

constexpr SwingGroup kSwingS1 = {1, 1.5, 1.0, 21};
constexpr SwingGroup kSwingS2 = {2, 1.0, 0.8, 21};
constexpr SwingGroup kSwingS3 = {2, 1.0, 0.7, 49};
constexpr SwingGroup kSwingS4 = {1, 1.0, 1.0, 35};
constexpr SwingGroup kSwingS5 = {2, 1.0, 1.0, 0};
constexpr SwingGroup kSwingS6 = {3, 1.0, 0.5, 0};

enum class SpecialAttack { None, Swing, FireBreath, GasCloud, Swoop };

struct KindSpecial {
    SpecialAttack attack;
    SwingGroup swing;
};

KindSpecial SpecialOf(int kind) {
    switch (kind) {
        case 10: case 11: case 17: case 21: return {SpecialAttack::Swing, kSwingS1};
        case 12: return {SpecialAttack::Swing, kSwingS2};
        case 19: case 25: return {SpecialAttack::Swing, kSwingS3};
        case 16: case 23: return {SpecialAttack::Swing, kSwingS4};
        case 14: case 24: return {SpecialAttack::Swing, kSwingS5};
        case 15: case 20: case 26: return {SpecialAttack::Swing, kSwingS6};
        case 18: case 27: return {SpecialAttack::FireBreath, {}};
        case 13: case 22: return {SpecialAttack::GasCloud, {}};
        case 28: case 29: case 30: return {SpecialAttack::Swoop, {}};
        default: return {SpecialAttack::None, {}};
    }
}

void EndSpecialMode(MonsterRecord& m) {
    m.specialMode = 0;
    m.specialTimer = 0;
    m.attackTimer = 0;
}

bool FacesLeft(const MonsterRecord& m) { return m.facesLeft == 1; }

void Swing(MonsterRecord& m, const int* sheet, const MonsterKindParams& p, const SwingGroup& group, int daze) {
    const int t = p.frameTime / group.divisor;
    DrawMonsterFrame(sheet, kAttackFrame + m.attackTimer / t, m, p.drawLift, FacesLeft(m));
    AdvanceMonsterCounter(m.attackTimer);
    if (MonsterCountersRun() && m.attackTimer == 3 * t && WithinPlayerHeight(m.y, 64, 64) && FrontPointNearPlayer(m)) {
        const double base = (p.attackPower * group.c4Factor - PlayerDef()) * group.factor;
        HurtPlayer(static_cast<float>(base), 1.2, p.accuracy);
    }
    if (m.attackTimer >= 7 * t) {
        m.engage = kMonsterWandering;
        m.attackTimer = 0;
    }
    // Tested after the swing, so a hit in the last call still counts.
    const bool over = group.span > 0 ? m.specialTimer >= daze + group.span * t
                                     : m.airborne == 0 && m.specialTimer > 129;
    if (over) EndSpecialMode(m);
}

// The sprite while it breathes: the attack frames over the first 7 frame
// times of the attack, then the first attack frame.
void DrawBreathing(MonsterRecord& m, const int* sheet, const MonsterKindParams& p, int daze) {
    const int c6 = p.frameTime;
    const int frame = m.specialTimer < daze + 7 * c6 ? kAttackFrame + m.attackTimer / c6 : kAttackFrame;
    DrawMonsterFrame(sheet, frame, m, p.drawLift, FacesLeft(m));
}

// The fire leaves the monster 3 frame times into the attack and travels one
// pixel a frame, growing and fading, for 256 frames.
void FireBreath(MonsterRecord& m, const int* sheet, const MonsterKindParams& p, int daze) {
    const int c6 = p.frameTime;
    const float camX = g_StageState.cameraX;
    int e = m.attackTimer - 3 * c6;
    DrawBreathing(m, sheet, p, daze);
    if (e / c6 >= 0 && e < 256) {
        ApiSetBlendModeParam(kBlendAdd, 255 - e);
        // Just before the fire leaves, (e / 6) mod 8 is -1: no frame is drawn
        // rather than one from before the sheet.
        const int frame = (e / 6) % kEffectFrames;
        if (frame >= 0) {
            const int y = static_cast<int>(m.y - p.drawLift);
            const double scale = e / 100.0 + 1.3;
            if (FacesLeft(m))
                ApiRotateBlitGraph(static_cast<int>(m.x - camX - e), y, scale, 0.0, g_FireEffectFrames[frame], 1, 0);
            else
                ApiRotateBlitGraph(static_cast<int>(m.x - camX + e), y, scale, 3.141592, g_FireEffectFrames[frame], 1, 0);
        }
        ApiSetBlendModeParam(kBlendNone, 0);
    }
    AdvanceMonsterCounter(m.attackTimer);
    e = m.attackTimer - 3 * c6;
    const float plX = g_PlayerMotion.screenX;
    const float fireX = m.x - camX + static_cast<float>((1 - 2 * m.facesLeft) * e);
    if (MonsterCountersRun() && e % 8 == 0 && e < 239 && WithinPlayerHeight(m.y, 64, 64) && plX - 32 < fireX &&
        fireX < plX + 32)
        HurtPlayer(static_cast<float>((p.attackPower - PlayerDef()) * 0.23), 1.2, p.accuracy);
    if (e >= 256) EndSpecialMode(m);
}

// A cloud that swells in front of the monster over 8 frame times.
void GasCloud(MonsterRecord& m, const int* sheet, const MonsterKindParams& p, int daze) {
    const int c6 = p.frameTime;
    const float camX = g_StageState.cameraX;
    int e = m.attackTimer - 3 * c6;
    DrawBreathing(m, sheet, p, daze);
    if (e / c6 >= 0 && e / c6 < kEffectFrames) {
        ApiSetBlendModeParam(kBlendAdd, 255);
        const int x = static_cast<int>(FacesLeft(m) ? m.x - 64 - camX : m.x + 64 - camX);
        ApiRotateBlitGraph(x, static_cast<int>(m.y - p.drawLift), e / (7.0 * c6) + 2.0, 0.0, g_GasEffectFrames[e / c6], 1,
                           0);
        ApiSetBlendModeParam(kBlendNone, 0);
    }
    AdvanceMonsterCounter(m.attackTimer);
    e = m.attackTimer - 3 * c6;
    if (MonsterCountersRun() && (e == 0 || e == 2 * c6 || e == 4 * c6) && WithinPlayerHeight(m.y, 100, 100) &&
        FrontPointNearPlayer(m, 120, 60))
        HurtPlayer(static_cast<float>((p.attackPower - PlayerDef()) * 0.8), 1.2, p.accuracy);
    if (e / c6 >= kEffectFrames) EndSpecialMode(m);
}

// Four dives of 50 frames, each at where the player stood when it began.
void Swoop(MonsterRecord& m, const int* sheet, const MonsterKindParams& p, int slot, int kind) {
    float& target = g_DiveTargetY[kind - kFirstDivingKind][slot];
    const int t = m.attackTimer % 50;
    if (t == 0) target = g_PlayerMotion.y;
    const int d = DiveOffset(m, p.drawLift, target, t, 25);
    DrawMonsterFrame(sheet, kAttackFrame + ((slot * 39 + g_FieldFrameCounter) / 2) % 7, m, p.drawLift,
                     PlayerIsLeftOf(m), d);
    AdvanceMonsterCounter(m.attackTimer);
    if (MonsterCountersRun() && m.attackTimer % 50 == 25 && WithinPlayerHeight(m.y + d, 64, 64) &&
        FrontPointNearPlayer(m))
        HurtPlayer(static_cast<float>(p.attackPower - PlayerDef()), 1.7, p.accuracy);
    if (m.attackTimer >= 200) EndSpecialMode(m);
}

}  // namespace

int OrdinaryDazeLength(int kind) {
    switch (kind) {
        case 10: case 11: case 12: case 16: case 17: case 21: case 23: case 28: case 29: case 30: return 256;
        default: return 128;
    }
}

void RunOrdinarySpecialMode(MonsterRecord& m, const int* sheet, const MonsterKindParams& params, int slot, int kind) {
    const int daze = OrdinaryDazeLength(kind);
    AdvanceMonsterCounter(m.specialTimer);
    if (m.specialTimer < daze) {
        const bool facingLeft = PlayerIsLeftOf(m);
        DrawDazed(m.specialTimer, [&] { DrawMonsterFrame(sheet, kAttackFrame, m, params.drawLift, facingLeft); });
        m.facesLeft = facingLeft ? 1 : 0;
        return;
    }
    const KindSpecial special = SpecialOf(kind);
    switch (special.attack) {
        case SpecialAttack::Swing: Swing(m, sheet, params, special.swing, daze); break;
        case SpecialAttack::FireBreath: FireBreath(m, sheet, params, daze); break;
        case SpecialAttack::GasCloud: GasCloud(m, sheet, params, daze); break;
        case SpecialAttack::Swoop: Swoop(m, sheet, params, slot, kind); break;
        case SpecialAttack::None: break;
    }
}
