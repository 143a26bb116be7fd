#include "field/full_screen_sequences.h"

#include "engine/frame_input.h"
#include "engine/frame_pacing.h"
#include "engine/glyph_text.h"
#include "engine/handles.h"
#include "kelvo/api.h"
#include "rules/exp_table.h"
#include "rules/gallery_flags.h"
#include "rules/key_config.h"
#include "rules/player_record.h"
#include "rules/save_data.h"
#include "world/monsters/damage_numbers.h"

namespace {

constexpr int kWordsY = 220;

// The frame skeleton the three share: messages (a closed window ends the
// sequence), clear, pacing, the frame count, input, then `draw`, which says
// whether the sequence ends with this frame. The last frame is drawn but
// not presented.
template <typename Count, typename Draw>
void RunSequence(Draw draw) {
    Count n = 0;
    for (;;) {
        if (ApiProcessMessage() != 0) return;
        ApiClearDrawTarget();
        WaitForNextFrame();
        n = n + 1;
        ReadFrameInput();
        if (draw(n)) return;
        ApiPresentScreen();
    }
}

// Glyph words under a fade: alpha `alpha` (clamped to 0-255 by the
// framework), or drawn plainly when `fade` is false.
void DrawWords(const char* text, int x, int y, int colourSet, bool fade, int alpha) {
    if (fade) ApiSetBlendModeParam(kBlendAlpha, alpha);
    DrawGlyphText(text, x, y, colourSet);
    if (fade) ApiSetBlendModeParam(kBlendNone, 0);
}

void StopMusic() {
    for (int handle : g_MusicTable) ApiStopSoundHandle(handle);
}

bool ValidPicture(std::int32_t index) { return index >= 0 && index < kGalleryPictureCount; }

}  // namespace

void ShowQuestStart() {
    RunSequence<int>([](int n) {
        // Past frame 256 the fade's parameter exceeds 255: the banner stays.
        DrawWords("QUEST START", 210, kWordsY, 0, n < 128 || n >= 256, n < 128 ? n : 768 - n);
        return n >= 381;
    });
}

void ShowGameOver() {
    StopMusic();
    const std::int32_t picture = g_DefeatPictureIndex;
    RunSequence<int>([picture](int n) {
        if (ValidPicture(picture)) ApiBlitGraph(0, 0, g_GalleryPictureTable[picture], 0);
        if (n < 255) {
            ApiSetBlendModeParam(kBlendAlpha, 255 - n);
            ApiPaintBox(0, 0, 640, 480, ApiMakeColorCode(0, 0, 0), 1);
            ApiSetBlendModeParam(kBlendNone, 0);
        }
        if (n > 512) DrawWords("GAME OVER", 230, kWordsY, 0, n < 767, n - 512);
        const std::uint32_t keys = g_KeyMasks[kKeyDecideJump] | g_KeyMasks[kKeyCancelAttack] | g_KeyMasks[kKeySkill];
        return n > 768 && (g_FrameInputState.newlyPressed & keys) != 0;
    });
    ApplyDefeatPenalty();
}

void ApplyDefeatPenalty() {
    const std::int32_t picture = g_DefeatPictureIndex;
    if (ValidPicture(picture)) {
        g_GalleryFlags[picture] = 1;
        SaveGalleryFlags();
    }
    PlayerRecord& p = g_PlayerRecord;
    p.hp = p.maxHp / 2;
    p.sp = p.maxSp / 2;
    p.exp -= ExpToLeaveLevel(p.level) / 10;
    if (p.exp < 0) p.exp = 0;
    for (std::int32_t& timer : g_PlayerPopupRing.timer) timer = 0;
}

void ShowEnding() {
    StopMusic();
    RunSequence<float>([](float n) {
        const int colourSet = static_cast<int>(n / 7.0f) % 4;
        DrawWords("CONGRATULATIONS", 170, kWordsY, colourSet, n < 255.0f, static_cast<int>(n));
        if (n >= 256.0f) DrawWords("THANK YOU FOR PLAYING", 120, 320, 0, n < 512.0f, static_cast<int>(n - 256.0f));
        return n > 768.0f;
    });
}
