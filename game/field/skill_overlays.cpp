#include "field/skill_overlays.h"

#include <cmath>

#include "engine/glyph_text.h"
#include "engine/handles.h"
#include "field/player_actions.h"
#include "kelvo/api.h"
#include "rules/derived_stats.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/sub_screen.h"
#include "screens/sub_screen_drawing.h"
#include "world/monsters/damage_numbers.h"

FourthSkillState g_FourthSkill = {};

namespace {

constexpr int kLettersPerSet = 26;
constexpr int kReadoutY = 50;
constexpr int kReadoutDigitPitch = 14;
constexpr std::int32_t kSkillRunFrames = 200;

// A word that rises over the player: its letters and their x offsets from the
// player's screen x.
struct RisingWord {
    const char* letters;
    int offsets[10];
};
constexpr RisingWord kStrDexUp = {"STRUPDEXUP", {-88, -72, -56, -35, -19, 8, 24, 40, 61, 77}};
constexpr RisingWord kLukUp = {"LUKUP", {-88, -72, -56, -35, -19}};

// A buff's readout at the top of the screen: a letter, the sign and the power.
struct Readout {
    char letter;
    int x;  // the sign follows at x + 18, the digits at x + 36
};

int Trunc(float v) { return static_cast<int>(v); }

// The rising text's y at timer t, with its fade set when t is past 100.
int BeginRisingText(std::int32_t t) {
    const int rise = static_cast<int>(std::sin(t / 200.0 * 3.14) * 77);
    if (t > 100) ApiSetBlendModeParam(kBlendAlpha, 255 - (t - 100) * 255 / 100);
    return Trunc(g_PlayerMotion.y - static_cast<float>(rise));
}

void EndRisingText() { ApiSetBlendModeParam(kBlendNone, 0); }

void DrawRisingWord(const RisingWord& word, std::int32_t t) {
    const int set = g_FieldFrameCounter % 8 == 0 ? 1 : 0;
    const int y = BeginRisingText(t);
    for (int i = 0; word.letters[i] != '\0'; ++i)
        DrawLetterGlyph(kLettersPerSet * set + (word.letters[i] - 'A'),
                        Trunc(g_PlayerMotion.screenX + static_cast<float>(word.offsets[i])), y);
    EndRisingText();
}

void DrawReadout(const Readout& readout, std::int32_t power) {
    DrawLetterGlyph(readout.letter - 'A', readout.x, kReadoutY);
    DrawLetterGlyph(kGlyphBuffSign, readout.x + 18, kReadoutY);
    // One digit, or two (14 pixels apart); a wider power goes on to the right.
    int digits[10];
    int count = 0;
    for (std::uint32_t rest = power > 0 ? static_cast<std::uint32_t>(power) : 0; count == 0 || rest != 0; rest /= 10)
        digits[count++] = static_cast<int>(rest % 10);
    for (int i = 0; i < count; ++i)
        DrawGlyphDigit(digits[count - 1 - i], readout.x + 36 + kReadoutDigitPitch * i, kReadoutY, 0);
}

void StillSkill() {
    PlayerActionState& a = g_PlayerActionState;
    if (a.skillAActive == 0) return;
    ApplyStillSkillHeal();
    DrawSkillCaption(g_HealCaption, static_cast<float>(a.skillATimer));
    const int y = BeginRisingText(a.skillATimer);
    if (a.skillAHealAmount > 0) DrawPopupNumber(g_PlayerMotion.screenX, 0.0f, y, a.skillAHealAmount, 2, 0);
    EndRisingText();
    AdvanceStillSkill();
}

void SideSkill() {
    const PlayerActionState& a = g_PlayerActionState;
    if (a.skillBState == kSkillRunning) {
        DrawSkillCaption(g_BlessCaption, static_cast<float>(a.skillBTimer));
        DrawRisingWord(kStrDexUp, a.skillBTimer);
        AdvanceSideSkill();
    }
    AdvanceSideSkillRecovery();
    if (a.skillBPower != 0) {
        DrawReadout({'S', 400}, a.skillBPower);
        DrawReadout({'D', 480}, a.skillBPower);
    }
}

// The fourth skill runs the side skill's steps with its own state.
void FourthSkill() {
    FourthSkillState& s = g_FourthSkill;
    if (s.state == kSkillRunning) {
        DrawSkillCaption(g_GuroCaption, static_cast<float>(s.timer));
        DrawRisingWord(kLukUp, s.timer);
        if (++s.timer > kSkillRunFrames) {
            s.state = kSkillRecovering;
            s.recoveryCounter = 0;
        }
    }
    if (s.state == kSkillRecovering && g_SubScreenMode == kSubScreenNone &&
        ++s.recoveryCounter >= g_DerivedStats.intTotal * 70 + 7000)
        s = FourthSkillState{};
    if (s.power != 0) DrawReadout({'L', 560}, s.power);
}

void UpSkill() {
    const PlayerActionState& a = g_PlayerActionState;
    if (a.skillCState == kSkillRunning) DrawSkillCaption(g_HolyCaption, a.skillCTimer);
    AdvanceUpSkill();
}

// Blending at `alpha`, one piece, blending off again.
void DrawPiece(int x, int y, int handle, int alpha) {
    if (alpha >= 0) ApiSetBlendModeParam(kBlendAlpha, alpha);
    ApiBlitGraph(x, y, handle, 1);
    ApiSetBlendModeParam(kBlendNone, 0);
}

}  // namespace

void DrawSkillCaption(const int (&pieces)[2], float t) {
    const int x = Trunc(g_PlayerMotion.screenX - 64.0f);
    const int y = Trunc(g_PlayerMotion.y - 100.0f);
    constexpr int kOpaque = -1;
    if (t < 32.0f) {
        DrawPiece(x, y, pieces[1], Trunc(4.0f * t));
        DrawPiece(x, y, pieces[0], Trunc(8.0f * t));
    } else if (t <= 168.0f) {
        DrawPiece(x, y, pieces[1], 128);
        DrawPiece(x, y, pieces[0], kOpaque);
    } else {
        DrawPiece(x, y, pieces[1], Trunc(4.0f * (200.0f - t)));
        DrawPiece(x, y, pieces[0], Trunc(8.0f * (200.0f - t)));
    }
}

void DrawSkillOverlays() {
    StillSkill();
    SideSkill();
    FourthSkill();
    UpSkill();
}
