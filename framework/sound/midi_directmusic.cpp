// DirectMusic mode's start and end: the loader, the performance and
// DirectMusic, whose audio start also makes the DirectSound interface.
// Without DirectMusic, sound starts the MCI way.
#include <string>

#include "core/log.h"
#include "sound/midi.h"
#include "sound/sound_data.h"

namespace {

void ReleaseDirectMusicObjects() {
    MidiSystem& m = g_MidiSystem;
    if (m.music != nullptr) m.music->Release();
    if (m.performance != nullptr) m.performance->Release();
    if (m.loader != nullptr) m.loader->Release();
    m.music = nullptr;
    m.performance = nullptr;
    m.loader = nullptr;
}

int Fail(const char* text) {
    WriteLogText(text);
    ReleaseDirectMusicObjects();
    return -1;
}

void LogPort(DWORD index, const D_DMUS_PORTCAPS& caps) {
    // The description narrowed to the bytes a log line holds.
    std::string description;
    for (char16_t c : caps.wszDescription) {
        if (c == 0) break;
        description.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    WriteLogFormatText("%s  Device%d:%s ", caps.dwClass == D_DMUS_PC_OUTPUTCLASS ? "出力ポート" : "入力ポート",
                       static_cast<int>(index), description.c_str());
}

}  // namespace

int InitDirectMusicMode() {
    MidiSystem& m = g_MidiSystem;
    WriteLogText("DirectSound8 の初期化を行います\n");
    void* object = nullptr;
    if (FAILED(CoCreateInstance(CLSID_D_DirectMusicLoader, nullptr, CLSCTX_ALL, IID_D_IDirectMusicLoader8, &object))) {
        WriteLogText("DirectMusicLoader8 オブジェクトの作成に失敗しました\n");
        WriteLogText("前バージョンでの初期化処理に移ります\n");
        g_SoundSystem.midiMode = kMidiModeMci;
        return 1;
    }
    m.loader = static_cast<D_IDirectMusicLoader8*>(object);
    if (FAILED(CoCreateInstance(CLSID_D_DirectMusicPerformance, nullptr, CLSCTX_ALL, IID_D_IDirectMusicPerformance8,
                                &object)))
        return Fail("DirectMusicPerformance オブジェクトの作成に失敗しました\n");
    m.performance = static_cast<D_IDirectMusicPerformance8*>(object);
    if (FAILED(CoCreateInstance(CLSID_D_DirectMusic, nullptr, CLSCTX_ALL, IID_D_IDirectMusic, &object)))
        return Fail("DirectMusic オブジェクトの取得に失敗しました\n");
    auto* music = static_cast<D_IDirectMusic*>(object);
    const HRESULT query = music->QueryInterface(IID_D_IDirectMusic8, &object);
    music->Release();
    if (FAILED(query)) return Fail("DirectMusic8 オブジェクトの取得に失敗しました\n");
    m.music = static_cast<D_IDirectMusic8*>(object);

    D_DMUS_PORTCAPS caps{};
    caps.dwSize = sizeof caps;
    for (DWORD index = 0; m.music->EnumPort(index, &caps) == S_OK; ++index) LogPort(index, caps);

    D_DMUS_AUDIOPARAMS params{};
    params.dwSize = sizeof params;
    params.dwValidData = D_DMUS_AUDIOPARAMS_SAMPLERATE;
    params.dwSampleRate = 44100;
    D_IDirectMusic* made = m.music;
    if (FAILED(m.performance->InitAudio(&made, &g_SoundSystem.directSound, nullptr,
                                        D_DMUS_APATH_SHARED_STEREOPLUSREVERB, 64, D_DMUS_AUDIOF_ALL, &params))) {
        g_SoundSystem.directSound = nullptr;
        return Fail("DirectMusicPerformanceオブジェクトの初期化に失敗しました\n");
    }
    m.performance->SetGlobalParam(GUID_D_PerfMasterVolume, &m.masterVolume, sizeof m.masterVolume);
    return 0;
}

void TerminateDirectMusicMode() {
    MidiSystem& m = g_MidiSystem;
    if (m.performance != nullptr) {
        m.performance->Stop(nullptr, nullptr, 0, 0);
        m.performance->CloseDown();
    }
    ReleaseDirectMusicObjects();
}
