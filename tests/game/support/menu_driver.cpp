#include "game/support/menu_driver.h"

#include "engine/handles.h"
#include "rules/gallery_flags.h"
#include "rules/key_config.h"
#include "rules/save_data.h"

MenuDriver::MenuDriver() {
    Recorder().Reset();
    SetDefaultKeyConfig();
    for (std::uint32_t& mask : g_KeyMasks) mask = 0;
    ApplyKeyConfig();
    for (int i = 0; i < kGlyphLetterCount; ++i) g_GlyphLetters[i] = kLetterBase + i;
    for (int i = 0; i < kGlyphDigitCount; ++i) g_GlyphDigits[i] = kDigitBase + i;
    for (int i = 0; i < 30; ++i) g_CursorFrames[i] = kCursorBase + i;
    for (int i = 0; i <= kGalleryPictureCount; ++i) g_GalleryThumbnails[i] = kThumbnailBase + i;
    for (int i = 0; i < kGalleryPictureCount; ++i) {
        g_GalleryPictureTable[i] = kPictureBase + i;
        g_GalleryFlags[i] = 0;
    }
    for (int i = 0; i < kSoundEffectCount; ++i) g_SoundEffectHandles[i] = kSoundBase + i;
    for (int slot = 0; slot < kSaveSlotCount; ++slot) {
        g_FileSummary.stage[slot] = kEmptySlotStage;
        g_FileSummary.level[slot] = 0;
    }
    g_LoadedGameFlag = 0;
    BeginTitleMenu(menu_);
}

std::vector<ApiCall> MenuDriver::Frame(std::uint32_t pad) {
    if (!running_) return {};
    Recorder().QueuePadStates({pad});
    std::size_t start = Recorder().Calls().size();
    running_ = RunTitleMenuFrame(menu_);
    const auto& calls = Recorder().Calls();
    return std::vector<ApiCall>(calls.begin() + static_cast<std::ptrdiff_t>(start), calls.end());
}

void MenuDriver::Frames(std::initializer_list<std::uint32_t> pads) {
    for (std::uint32_t pad : pads) Frame(pad);
}

std::vector<ApiCall> Only(const std::vector<ApiCall>& calls, const char* name) {
    std::vector<ApiCall> found;
    for (const ApiCall& call : calls)
        if (call.name == name) found.push_back(call);
    return found;
}

bool Blits(const std::vector<ApiCall>& calls, int handle, int x, int y) {
    for (const ApiCall& call : Only(calls, "ApiBlitGraph"))
        if (call.Int(2) == handle && call.Int(0) == x && call.Int(1) == y) return true;
    return false;
}

std::vector<int> SoundsPlayed(const std::vector<ApiCall>& calls) {
    std::vector<int> effects;
    for (const ApiCall& call : Only(calls, "ApiPlaySoundHandle")) effects.push_back(static_cast<int>(call.Int(0)) - kSoundBase);
    return effects;
}
