// Start and end of the sound system: DirectSound, its primary buffer and
// format, the silence buffer that plays for the system's whole life, and the
// device report in the log.
#include <cstring>

#include "core/log.h"
#include "platform/com.h"
#include "platform/kernel.h"
#include "platform/window.h"
#include "sound/midi.h"
#include "sound/sound.h"
#include "sound/sound_capture.h"
#include "sound/sound_data.h"

SoundSystem g_SoundSystem{};

namespace {

constexpr DWORD kSilenceBufferBytes = 400;

const char* OkOrNo(DWORD flags, DWORD flag) { return (flags & flag) != 0 ? "OK" : "NO"; }

void ReleaseDirectSound() {
    SoundSystem& s = g_SoundSystem;
    if (s.primaryBuffer != nullptr) s.primaryBuffer->Release();
    if (s.directSound != nullptr) s.directSound->Release();
    s.primaryBuffer = nullptr;
    s.directSound = nullptr;
}

int FailInit(const char* text) {
    WriteLogText(text);
    ReleaseDirectSound();
    return -1;
}

// The primary format from what the device can do: stereo and 16 bits where
// it can, at its highest rate up to 44100 Hz.
void SetPrimaryFormat() {
    SoundSystem& s = g_SoundSystem;
    D_DSCAPS caps{};
    caps.dwSize = sizeof caps;
    s.directSound->GetCaps(&caps);
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = (caps.dwFlags & D_DSCAPS_PRIMARYSTEREO) != 0 ? 2 : 1;
    format.wBitsPerSample = (caps.dwFlags & D_DSCAPS_PRIMARY16BIT) != 0 ? 16 : 8;
    format.nSamplesPerSec = caps.dwMaxSecondarySampleRate < 44100 ? caps.dwMaxSecondarySampleRate : 44100;
    format.nBlockAlign = static_cast<WORD>(format.nChannels * format.wBitsPerSample / 8);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    if (s.primaryBuffer->SetFormat(&format) != D_DS_OK)
        WriteLogText("DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\n");
}

void StartSilenceBuffer() {
    SoundSystem& s = g_SoundSystem;
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    D_DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = D_DSBCAPS_GLOBALFOCUS | D_DSBCAPS_STATIC;
    desc.dwBufferBytes = kSilenceBufferBytes;
    desc.lpwfxFormat = &format;
    if (s.directSound->CreateSoundBuffer(&desc, &s.silenceBuffer, nullptr) != D_DS_OK) {
        s.silenceBuffer = nullptr;
        WriteLogText("無音バッファの作成に失敗しました\n");
        return;
    }
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD bytes1 = 0;
    DWORD bytes2 = 0;
    if (s.silenceBuffer->Lock(0, kSilenceBufferBytes, &part1, &bytes1, &part2, &bytes2, 0) != D_DS_OK) {
        WriteLogText("無音バッファのロックに失敗しました\n");
        s.silenceBuffer->Release();
        s.silenceBuffer = nullptr;
        return;
    }
    std::memset(part1, 0, bytes1);
    if (part2 != nullptr) std::memset(part2, 0, bytes2);
    s.silenceBuffer->Unlock(part1, bytes1, part2, bytes2);
    s.silenceBuffer->Play(0, 0, D_DSBPLAY_LOOPING);
}

BOOL LogSoundDevice(GUID*, LPCSTR description, LPCSTR module, void*) {
    WriteLogFormatText("モジュール名:%15s  ドライバ記述:%s ", module, description);
    return TRUE;
}

void ReportSoundDevices() {
    WriteLogText("DirectSound デバイスを列挙します\n");
    HMODULE library = LoadLibraryA("DSOUND.DLL");
    if (library == nullptr) {
        WriteLogText("DSOUND.DLL のロードに失敗しました\n");
        return;
    }
    auto enumerate = reinterpret_cast<HRESULT (*)(LPDSENUMCALLBACKA, void*)>(
        GetProcAddress(library, "DirectSoundEnumerateA"));
    if (enumerate == nullptr) {
        WriteLogText("DirectSound デバイスの列挙用関数のポインタ取得に失敗しました\n");
        FreeLibrary(library);
        return;
    }
    enumerate(LogSoundDevice, nullptr);
    D_DSCAPS caps{};
    caps.dwSize = sizeof caps;
    g_SoundSystem.directSound->GetCaps(&caps);
    const DWORD f = caps.dwFlags;
    WriteLogFormatText("最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz ",
                 caps.dwMaxSecondarySampleRate * 0.001, caps.dwMinSecondarySampleRate * 0.001);
    WriteLogFormatText("総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB \n", caps.dwTotalHwMemBytes / 1024.0,
                 caps.dwFreeHwMemBytes / 1024.0);
    WriteLogText("利用可能サンプリング精度\n");
    WriteLogFormatText(" プライマリ １６bit = %s  ８bit = %s ", OkOrNo(f, D_DSCAPS_PRIMARY16BIT),
                 OkOrNo(f, D_DSCAPS_PRIMARY8BIT));
    WriteLogFormatText(" セカンダリ １６bit = %s  ８bit = %s \n", OkOrNo(f, D_DSCAPS_SECONDARY16BIT),
                 OkOrNo(f, D_DSCAPS_SECONDARY8BIT));
    WriteLogText("利用可能チャンネル\n");
    WriteLogFormatText(" プライマリ MONO = %s  STEREO = %s ", OkOrNo(f, D_DSCAPS_PRIMARYMONO),
                 OkOrNo(f, D_DSCAPS_PRIMARYSTEREO));
    WriteLogFormatText(" セカンダリ MONO = %s  STEREO = %s \n", OkOrNo(f, D_DSCAPS_SECONDARYMONO),
                 OkOrNo(f, D_DSCAPS_SECONDARYSTEREO));
    FreeLibrary(library);
}

// The silence buffer, the stream list and the device report: the end of
// the start in either mode.
int FinishInitSound() {
    SoundSystem& s = g_SoundSystem;
    StartSilenceBuffer();
    s.createAsStream = 0;
    InitNodeList(&s.streamHead, &s.streamTail);
    ReportSoundDevices();
    WriteLogText("DirectSound の初期化は正常に終了しました\n");
    DeleteAllSounds(0);
    return 0;
}

}  // namespace

int InitSound() {
    SoundSystem& s = g_SoundSystem;
    if (s.directSound != nullptr) return -1;
    if (s.midiMode == kMidiModeDirectMusic) {
        const int started = InitDirectMusicMode();
        if (started < 0) return -1;
        if (started == 0) return FinishInitSound();
        // DirectMusic is missing: on the MCI way, with DirectSound of our own.
    }
    WriteLogText("DirectSound の初期化を行います\n");
    WriteLogText("DirectSound インターフェースの取得を行います....  ");
    void* object = nullptr;
    if (FAILED(CoCreateInstance(CLSID_D_DirectSound, nullptr, CLSCTX_ALL, IID_D_IDirectSound, &object))) {
        WriteLogText("DirectSoundインターフェースの作成に失敗しました\n");
        return -1;
    }
    s.directSound = static_cast<D_IDirectSound*>(object);
    WriteLogText("成功\n");
    WriteLogText("引き続きインターフェースの初期化処理...  ");
    if (s.directSound->Initialize(nullptr) != D_DS_OK) return FailInit("初期化に失敗しました\n");
    if (s.directSound->SetCooperativeLevel(GetDesktopWindow(), D_DSSCL_PRIORITY) != D_DS_OK)
        return FailInit("DirectSoundの協調レベルの設定に失敗しました\n");
    D_DSBUFFERDESC primary{};
    primary.dwSize = sizeof primary;
    primary.dwFlags = D_DSBCAPS_PRIMARYBUFFER;
    if (s.directSound->CreateSoundBuffer(&primary, &s.primaryBuffer, nullptr) != D_DS_OK) {
        s.primaryBuffer = nullptr;
        return FailInit("DirectSoundのプライマリサウンドバッファの作成に失敗しました\n");
    }
    SetPrimaryFormat();
    return FinishInitSound();
}

int TerminateSound() {
    SoundSystem& s = g_SoundSystem;
    if (s.directSound == nullptr) return -1;
    FinishSoundCapture();
    DeleteAllSounds(0);
    ReleaseAllMidiHandles();
    DeleteTemporaryMidiFile();
    if (s.midiMode == kMidiModeDirectMusic) TerminateDirectMusicMode();
    if (s.primaryBuffer != nullptr) s.primaryBuffer->Stop();
    if (s.silenceBuffer != nullptr) {
        s.silenceBuffer->Stop();
        s.silenceBuffer->Release();
        s.silenceBuffer = nullptr;
    }
    ReleaseDirectSound();
    WriteLogText("DirectSound の終了処理は正常に終了しました\n");
    return 0;
}
