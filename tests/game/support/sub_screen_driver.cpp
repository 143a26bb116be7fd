#include "game/support/sub_screen_driver.h"

#include <algorithm>

#include "engine/frame_input.h"
#include "engine/handles.h"
#include "rules/derived_stats.h"
#include "rules/key_config.h"
#include "rules/player_record.h"
#include "rules/save_data.h"
#include "rules/stats.h"
#include "rules/sub_screen.h"
#include "screens/system_menu.h"

namespace subscreen_test {

void ResetSubScreens() {
    Recorder().Reset();
    for (int i = 0; i < kGlyphLetterCount; ++i) g_GlyphLetters[i] = kLetterBase + i;
    for (int i = 0; i < kGlyphDigitCount; ++i) g_GlyphDigits[i] = kDigitBase + i;
    for (int i = 0; i < 30; ++i) {
        g_CursorFrames[i] = kCursorBase + i;
        g_SmallCursorFrames[i] = kSmallCursorBase + i;
    }
    for (int i = 0; i < kSoundEffectCount; ++i) g_SoundEffectHandles[i] = kSoundBase + i;
    for (int i = 0; i < kMusicTableSize; ++i) g_MusicTable[i] = kMusicBase + i;
    g_KeyMasks[kKeyCancelAttack] = kCancel;
    g_KeyMasks[kKeyDecideJump] = kDecide;
    g_KeyMasks[kKeySkill] = kSkill;
    g_PlayerRecord = {};
    InitNewGame();
    g_PlayerRecord.difficulty = kDifficultyNormal;
    g_PlayerRecord.saveSlot = 0;
    g_DerivedStats = {};
    RecomputeStatTotals();
    RecomputeMaxHpSp();
    g_PlayerRecord.hp = g_PlayerRecord.maxHp;
    g_PlayerRecord.sp = g_PlayerRecord.maxSp;
    g_SubScreenMode = kSubScreenNone;
    g_SystemMenuCursor = 0;
    g_FrameInputState = {};
}

SubScreenOutcome Frame(std::uint32_t held) {
    Recorder().Reset();
    FrameInputState& input = g_FrameInputState;
    input.previousNewlyPressed = input.newlyPressed;
    input.newlyPressed = held & ~input.held;
    input.held = held;
    RecomputeStatTotals();
    return RunSubScreenStep();
}

SubScreenOutcome Press(std::uint32_t key) {
    SubScreenOutcome outcome = Frame(key);
    Recorder().Reset();
    // The release frame runs the screen too; its calls are not looked at.
    FrameInputState& input = g_FrameInputState;
    input.newlyPressed = 0;
    input.held = 0;
    if (outcome == SubScreenOutcome::kPresent) {
        RecomputeStatTotals();
        RunSubScreenStep();
    }
    return outcome;
}

std::vector<int> SoundsPlayed() {
    std::vector<int> sounds;
    for (const ApiCall& call : Recorder().Calls("ApiPlaySoundHandle"))
        sounds.push_back(static_cast<int>(call.Int(0)) - kSoundBase);
    return sounds;
}

std::vector<Glyph> GlyphsAt(int y) {
    std::vector<Glyph> glyphs;
    for (const ApiCall& call : Recorder().Calls("ApiBlitGraph")) {
        const int handle = static_cast<int>(call.Int(2));
        const int gx = static_cast<int>(call.Int(0)), gy = static_cast<int>(call.Int(1));
        if (y >= 0 && gy != y) continue;
        if (handle >= kLetterBase && handle < kLetterBase + kGlyphLetterCount)
            glyphs.push_back({'L', handle - kLetterBase, gx, gy});
        else if (handle >= kDigitBase && handle < kDigitBase + kGlyphDigitCount)
            glyphs.push_back({'D', handle - kDigitBase, gx, gy});
    }
    std::sort(glyphs.begin(), glyphs.end(), [](const Glyph& a, const Glyph& b) { return a.x < b.x; });
    return glyphs;
}

std::string NumberAt(int y, int x0, int x1, int* colourSet) {
    std::string number;
    int set = -2;
    for (const Glyph& glyph : GlyphsAt(y)) {
        if (glyph.sheet != 'D' || glyph.x < x0 || glyph.x > x1) continue;
        number += static_cast<char>('0' + glyph.index % 10);
        const int thisSet = glyph.index / 10;
        set = set == -2 || set == thisSet ? thisSet : -1;
    }
    if (colourSet != nullptr) *colourSet = set;
    return number;
}

std::string WordAt(int y, int x0, int x1) {
    std::string word;
    int lastX = 0;
    for (const Glyph& glyph : GlyphsAt(y)) {
        if (glyph.sheet != 'L' || glyph.index >= 26 || glyph.x < x0 || glyph.x > x1) continue;
        if (!word.empty())
            for (int gap = glyph.x - lastX - 16; gap >= 16; gap -= 16) word += ' ';
        word += static_cast<char>('A' + glyph.index);
        lastX = glyph.x;
    }
    return word;
}

std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const ApiCall& call : Recorder().Calls("ApiDrawTextFormatted"))
        texts.push_back(std::to_string(call.Int(0)) + "," + std::to_string(call.Int(1)) + ":" + call.Text(3));
    return texts;
}

std::string TextAt(int x, int y, std::uint32_t* colour) {
    for (const ApiCall& call : Recorder().Calls("ApiDrawTextFormatted")) {
        if (call.Int(0) != x || call.Int(1) != y) continue;
        if (colour != nullptr) *colour = static_cast<std::uint32_t>(call.Int(2));
        return call.Text(3);
    }
    return "";
}

}  // namespace subscreen_test
