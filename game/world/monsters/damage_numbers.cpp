#include "world/monsters/damage_numbers.h"

#include <kelvo/api.h>

#include <cmath>

#include "engine/handles.h"
#include "world/stages/stage_state.h"

PlayerPopupRing g_PlayerPopupRing = {};
std::int32_t g_CriticalColourCounter = 0;

namespace {

constexpr int kDigitsPerSet = 10;
constexpr int kLettersPerSet = 26;
constexpr int kLetterM = 12, kLetterI = 8, kLetterS = 18;
// Monster numbers: plain hits in set 0, criticals cycling through 0, 1 and 3
// every 7 entries drawn; MISS in letter set 1.
constexpr int kCriticalColourSpan = 7;
constexpr int kCriticalColourCycle = 21;
constexpr int kMonsterMissLetterSet = 1;
constexpr int kFadeStart = 100;

// The cursor is only ever written in range; a damaged one reads entry 0
// rather than past the ring.
int MonsterCursor(const MonsterRecord& m) { return m.popupCursor < kMonsterPopupCount ? m.popupCursor : 0; }

int PlayerCursor() {
    std::int8_t cursor = g_PlayerPopupRing.cursor;
    return cursor >= 0 && cursor < kPlayerPopupCount ? cursor : 0;
}

int CriticalColourSet() {
    std::int32_t c = g_CriticalColourCounter;
    int set = c < kCriticalColourSpan ? 0 : (c < 2 * kCriticalColourSpan ? 1 : 3);
    if (++g_CriticalColourCounter >= kCriticalColourCycle) g_CriticalColourCounter = 0;
    return set;
}

}  // namespace

bool IsPopupEntryFree(const MonsterRecord& m) {
    std::int32_t t = m.popupTimer[MonsterCursor(m)];
    return t == 0 || t > kPopupBusyFrames;
}

std::int32_t& MonsterPopupValueAtCursor(MonsterRecord& m) { return m.popupValue[MonsterCursor(m)]; }

std::int32_t& PlayerPopupValueAtCursor() { return g_PlayerPopupRing.value[PlayerCursor()]; }

void AdvanceMonsterPopup(MonsterRecord& m) {
    m.popupTimer[MonsterCursor(m)] += 1;
    m.popupCursor = m.popupCursor < kMonsterPopupCount - 1 ? m.popupCursor + 1 : 0;
}

void AdvancePlayerPopup() {
    PlayerPopupRing& ring = g_PlayerPopupRing;
    const int cursor = PlayerCursor();
    ring.timer[cursor] += 1;
    ring.cursor = static_cast<std::int8_t>(cursor < kPlayerPopupCount - 1 ? cursor + 1 : 0);
}

void DrawPopupNumber(float anchorX, float cameraX, int top, std::int32_t value, int set, int missLetterSet) {
    // Glyph j of an n-glyph number stands at anchor - 8n + 16j.
    auto glyphX = [&](int n, int j) {
        int offset = -(kPopupGlyphPitch / 2) * n + kPopupGlyphPitch * j;
        return static_cast<int>(anchorX + static_cast<float>(offset) - cameraX);
    };
    if (value == 0) {
        const int letters[] = {kLetterM, kLetterI, kLetterS, kLetterS};
        for (int j = 0; j < 4; ++j)
            ApiBlitGraph(glyphX(4, j), top, g_GlyphLetters[kLettersPerSet * missLetterSet + letters[j]], 1);
        return;
    }
    if (value < 0 || set < 0 || set >= kGlyphDigitCount / kDigitsPerSet) return;
    int digits[10];
    int n = 0;
    for (std::int32_t rest = value; rest > 0; rest /= 10) digits[n++] = rest % 10;
    for (int j = 0; j < n; ++j) ApiBlitGraph(glyphX(n, j), top, g_GlyphDigits[kDigitsPerSet * set + digits[n - 1 - j]], 1);
}

void DrawDamagePopups(std::int32_t timers[kMonsterPopupCount], const std::int32_t values[kMonsterPopupCount],
                      float x, float y, int slot) {
    for (int i = 0; i < kMonsterPopupCount; ++i) {
        const std::int32_t t = timers[i];
        if (t <= 0) continue;
        std::int32_t v = values[i];
        int set = 0;
        if (v > kCriticalPopupOffset) {
            v -= kCriticalPopupOffset;
            set = CriticalColourSet();
        }
        // 3.14, not pi: the arc ends a little short of its start.
        int rise = static_cast<int>(std::sin(t / 200.0 * 3.14) * (2 * slot + 60));
        int drift = static_cast<int>((slot - 10) / 20.0 * t);
        if (t > kFadeStart) ApiSetBlendModeParam(kBlendAlpha, 255 - (t - kFadeStart) * 255 / kFadeStart);
        DrawPopupNumber(x + static_cast<float>(drift), g_StageState.cameraX, static_cast<int>(y - static_cast<float>(rise)),
                        v, set, kMonsterMissLetterSet);
        ApiSetBlendModeParam(kBlendNone, 0);
        timers[i] = t >= kPopupLifetime ? 0 : t + 1;
    }
}

void DrawMonsterDamagePopups() {
    for (int slot = 0; slot < kMonsterSlotCount; ++slot) {
        for (int kind : kDamagePopupKindOrder) {
            MonsterRecord& m = g_MonsterPools[kind][slot];
            DrawDamagePopups(m.popupTimer, m.popupValue, m.x, m.y, slot);
        }
    }
}
