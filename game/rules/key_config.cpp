#include "rules/key_config.h"

#include "engine/game_log.h"
#include "rules/save_file_io.h"

std::int32_t g_KeyConfig[kKeyActionCount] = {};
std::uint32_t g_KeyMasks[kKeyActionCount] = {};

namespace {

constexpr std::size_t kKeyConfigSize = 12;  // three 32-bit button numbers

bool IsBindable(std::int32_t button) { return button >= kFirstBindableButton && button <= kLastBindableButton; }

}  // namespace

void SetDefaultKeyConfig() {
    for (int i = 0; i < kKeyActionCount; ++i) g_KeyConfig[i] = i + 1;
}

void LoadKeyConfig() {
    std::uint8_t bytes[kKeyConfigSize];
    FileReadResult result = ReadFileBytes(kKeyConfigFileName, bytes, sizeof bytes);
    if (result != FileReadResult::kOk) {
        GameLog("key config: %s is %s; using the default buttons", kKeyConfigFileName,
                result == FileReadResult::kMissing ? "missing" : "too short");
        SetDefaultKeyConfig();
        return;
    }
    FieldBuffer fields = MakeFieldBuffer(bytes, sizeof bytes);
    std::int32_t buttons[kKeyActionCount];
    for (auto& button : buttons) button = GetI32(fields);
    // One unusable entry could take away the decide key, and with it every way
    // back to the KEY CONFIG screen: a damaged file gives the whole default.
    for (std::int32_t button : buttons) {
        if (!IsBindable(button)) {
            GameLog("key config: %s holds button %d; using the default buttons", kKeyConfigFileName,
                    static_cast<int>(button));
            SetDefaultKeyConfig();
            return;
        }
    }
    // The KEY CONFIG screen keeps the three buttons distinct; a file that
    // binds two actions to one button (decide and cancel on one key) is no
    // file it wrote.
    for (int i = 0; i < kKeyActionCount; ++i) {
        for (int j = i + 1; j < kKeyActionCount; ++j) {
            if (buttons[i] == buttons[j]) {
                GameLog("key config: %s binds two actions to button %d; using the default buttons",
                        kKeyConfigFileName, static_cast<int>(buttons[i]));
                SetDefaultKeyConfig();
                return;
            }
        }
    }
    for (int i = 0; i < kKeyActionCount; ++i) g_KeyConfig[i] = buttons[i];
}

bool SaveKeyConfig() {
    std::uint8_t bytes[kKeyConfigSize];
    FieldBuffer fields = MakeFieldBuffer(bytes, sizeof bytes);
    for (std::int32_t button : g_KeyConfig) PutI32(fields, button);
    return WriteFileAtomically(kKeyConfigFileName, bytes, fields.position);
}

void ApplyKeyConfig() {
    for (int i = 0; i < kKeyActionCount; ++i)
        if (IsBindable(g_KeyConfig[i])) g_KeyMasks[i] = ButtonMask(g_KeyConfig[i]);
}
