#include "field/field_drawing.h"

#include <cmath>
#include <cstdlib>

#include "engine/frame_input.h"
#include "engine/handles.h"
#include "field/player_actions.h"
#include "field/skill_overlays.h"
#include "kelvo/api.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"
#include "screens/equipment_shop.h"
#include "world/monsters/damage_numbers.h"
#include "world/stages/shop_door.h"
#include "world/stages/stage_event_state.h"
#include "world/stages/stage_state.h"

namespace {

constexpr int kFirstWaterStage = 38;
constexpr int kLastWaterStage = 47;
constexpr int kWaterAlpha = 128;
constexpr int kPopupFadeStart = 100;

void White() { ApiSetBrightColor(255, 255, 255); }
void Grey(int v) { ApiSetBrightColor(v, v, v); }

// A counter that steps on and, once it reaches `limit`, starts again at
// `restart`.
void Step(std::int32_t& counter, int step, int limit, int restart) {
    counter += step;
    if (counter >= limit) counter = restart;
}

void BeforeFarLayer(StageEventState& e) {
    if (e.redPulse == 1) {
        e.pulse += 3;
        if (e.pulse > 155) e.pulse = -155;
        ApiSetBrightColor(std::abs(e.pulse) + 100, 0, 0);
    }
    if (e.darkening == 1) {
        if (e.darkness < 255) ++e.darkness;
        Grey(e.darkness < 255 ? 255 - e.darkness : 0);
    } else if (e.darkening == 2) {
        Step(e.darkness, 1, 255, -255);
        Grey(std::abs(e.darkness));
    }
    if (e.tint == 1) ApiSetBrightColor(130, 170, 255);
    if (e.colourCycle == 1) {
        Step(e.cycle, 2, 255, -255);
        const int d = std::abs(e.cycle);
        ApiSetBrightColor(d, 255 - (255 - d) / 2, d);
    } else if (e.colourCycle == 2) {
        Step(e.cycle, 1, 255, -383);
        ApiSetBrightColor(255 - std::abs(e.cycle), 255 - std::abs(e.cycle + 128), 255 - std::abs(e.cycle + 256));
    }
}

void BeforeMiddleLayer(const StageEventState& e) {
    if (e.middleLayerFade != 3) return;
    const int f = e.fadeStep;
    ApiSetBlendModeParam(kBlendAlpha, f > -855 && f < -345 ? 255 - std::abs(f + 600) : 0);
}

void BeforePanels(StageEventState& e) {
    const int mode = e.middleLayerFade;
    if (mode >= 1 && mode <= 3) {
        const int extra[] = {0, 0, 1, 3};
        Step(e.fadeStep, 2 + extra[mode], 255, -200 - 400 * mode);
        ApiSetBlendModeParam(kBlendAlpha, e.fadeStep > -255 ? 255 - std::abs(e.fadeStep) : 0);
    }
    if (e.tint == 2) ApiSetBrightColor(250, 125, 50);
    if (e.colourCycle == 3) {
        Step(e.cycle, 4, 255, -255);
        const int d = std::abs(e.cycle);
        ApiSetBrightColor(255 - (255 - d) / 8, d, d);
    }
}

void DrawLayer(std::int32_t divisor, const int* images, int imageCount, bool tiled) {
    if (divisor == kLayerNotDrawn || divisor == 0) return;
    DrawScrollingLayer(g_StageState.cameraX / static_cast<float>(divisor), images, imageCount, tiled);
}

bool SkillBlocksDoor() { return g_PlayerActionState.attackActive != 0 || IsSkillRunning(); }

}  // namespace

void DrawScrollingLayer(float s, const int* images, int imageCount, bool tiled) {
    if (imageCount <= 0) return;
    auto draw = [&](int panel, float left) {
        if (!tiled && panel >= imageCount) return;
        ApiBlitGraph(static_cast<int>(left - s), 0, images[panel % imageCount], 1);
    };
    for (int i = 0; i < kStagePanelCount; ++i) {
        const float left = static_cast<float>(i * kPanelWidth);
        const float right = static_cast<float>((i + 1) * kPanelWidth);
        if (left <= s && s <= right) {
            draw(i, left);
            draw(i + 1, right);
        }
    }
}

void DrawFieldLayers() {
    StageEventState& effects = g_StageEventState;
    const StageState& stage = g_StageState;

    BeforeFarLayer(effects);
    DrawLayer(stage.farLayerDivisor, stage.farLayerImages, kStageFarLayerCount, true);
    if (effects.colourCycle != 0) White();

    BeforeMiddleLayer(effects);
    DrawLayer(stage.middleLayerDivisor, &stage.middleLayerImage, 1, true);

    BeforePanels(effects);
    DrawLayer(stage.panelDivisor, stage.panelImages, kStagePanelCount, false);
    if (effects.colourCycle != 0 || effects.redPulse != 0 || effects.darkening != 0) White();
    ApiSetBlendModeParam(kBlendNone, 0);
}

void DrawShopDoors() {
    const float camera = g_StageState.cameraX;
    const float playerX = g_PlayerMotion.screenX;
    for (int slot = 0; slot < kShopDoorCount; ++slot) {
        const ShopDoor& door = g_ShopDoors[slot];
        if (door.on != 1) continue;
        const float x = static_cast<float>(door.x);
        ApiBlitGraph(static_cast<int>(x - 64.0f - camera), door.y - 92, g_ShopDoorImages[slot], 1);
        ApiBlitGraph(static_cast<int>(x - 104.0f - camera), door.y - 128, g_ShopCaptionImages[slot], 1);

        const bool inFront = x - camera - 64.0f < playerX && playerX < x - camera + 64.0f;
        if (inFront && (g_FrameInputState.newlyPressed & kPadUp) != 0 && g_SubScreenMode == kSubScreenNone &&
            g_PlayerMotion.airborne == 0 && !SkillBlocksDoor())
            OpenEquipmentShop(slot);
    }
}

void DrawPlayerDamagePopups() {
    PlayerPopupRing& ring = g_PlayerPopupRing;
    const PlayerMotion& p = g_PlayerMotion;
    for (int i = 0; i < kPlayerPopupCount; ++i) {
        const std::int32_t t = ring.timer[i];
        if (t <= 0) continue;
        // 3.14, not pi, as for the monsters' numbers.
        const int rise = static_cast<int>(std::sin(t / 200.0 * 3.14) * (i % 2 == 0 ? 60 : 83));
        const int drift = static_cast<int>((i % 3 * 10 - 10) / 50.0 * t);
        if (t > kPopupFadeStart) ApiSetBlendModeParam(kBlendAlpha, 255 - (t - kPopupFadeStart) * 255 / kPopupFadeStart);
        DrawPopupNumber(p.screenX + static_cast<float>(drift), 0.0f, static_cast<int>(p.y - static_cast<float>(rise)),
                        ring.value[i], 1, 0);
        ApiSetBlendModeParam(kBlendNone, 0);
        ring.timer[i] = t >= kPopupLifetime ? 0 : t + 1;
    }
}

void DrawFieldOverlays() {
    const int stage = g_PlayerRecord.stage;
    if (stage >= kFirstWaterStage && stage <= kLastWaterStage) {
        ApiSetBlendModeParam(kBlendAlpha, kWaterAlpha);
        ApiBlitGraph(0, 0, g_WaterOverlay[0], 1);
        ApiSetBlendModeParam(kBlendNone, 0);
    }
    DrawMonsterDamagePopups();
    DrawPlayerDamagePopups();
    DrawSkillOverlays();
}
