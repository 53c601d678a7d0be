// Bringing the audio device up and down for the whole library.
#include <atomic>
#include <cstring>

#include "filters/system/audio_renderer.h"
#include "host/kernel/thread.h"
#include "host/mci/mci.h"
#include "platform/log.h"
#include "platform/util.h"
#include "platform/window.h"
#include "sound/music.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"
#include "sound/sound_system.h"

AudioDevice* g_soundDevice = nullptr;
CriticalSection g_soundLock;
int g_soundCreateMode = 0;
List g_streamSoundList;
std::atomic<int> g_refillThreadState{2};

namespace {

AudioBuffer* g_primaryBuffer = nullptr;
AudioBuffer* g_silentBuffer = nullptr;
HostThread* g_refillThread = nullptr;

int EnumSoundDeviceCallback(const void*, const char* description, const char* module, void*) {
  WriteLogFormat("モジュール名:%15s  ドライバ記述:%s ", module, description);
  return 1;
}

const char* OkNo(uint32_t flags, uint32_t bit) { return (flags & bit) ? "OK" : "NO"; }

void LogDevices() {
  AudioCaps caps;
  IncreaseLogIndent();
  g_soundDevice->GetCaps(&caps);
  WriteLog("DirectSound デバイスを列挙します\n");
  IncreaseLogIndent();
  EnumerateAudioDevices(EnumSoundDeviceCallback, nullptr);
  DecreaseLogIndent();
  WriteLogFormat("最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz ",
                 caps.maxSecondarySampleRate / 1000.0, caps.minSecondarySampleRate / 1000.0);
  WriteLogFormat("総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB \n",
                 caps.totalHwMemBytes / 1024.0, caps.freeHwMemBytes / 1024.0);
  WriteLog("利用可能サンプリング精度\n");
  WriteLogFormat(" プライマリ １６bit = %s  ８bit = %s ", OkNo(caps.flags, kCapsPrimary16Bit),
                 OkNo(caps.flags, kCapsPrimary8Bit));
  WriteLogFormat(" セカンダリ １６bit = %s  ８bit = %s \n", OkNo(caps.flags, kCapsSecondary16Bit),
                 OkNo(caps.flags, kCapsSecondary8Bit));
  WriteLog("利用可能チャンネル\n");
  WriteLogFormat(" プライマリ MONO = %s  STEREO = %s ", OkNo(caps.flags, kCapsPrimaryMono),
                 OkNo(caps.flags, kCapsPrimaryStereo));
  WriteLogFormat(" セカンダリ MONO = %s  STEREO = %s \n", OkNo(caps.flags, kCapsSecondaryMono),
                 OkNo(caps.flags, kCapsSecondaryStereo));
  DecreaseLogIndent();
}

void ReleaseDevice() {
  g_soundDevice->Release();
  g_soundDevice = nullptr;
}

void MakeSilentBuffer() {
  WaveFormatEx f{kWaveFormatPcm, 2, 44100, 176400, 4, 16, 0};
  AudioBufferDesc desc{0x8002, 400, &f};
  if (g_soundDevice->CreateSoundBuffer(&desc, &g_silentBuffer) != kAudioOk) {
    g_silentBuffer = nullptr;
    WriteLog("無音バッファの作成に失敗しました");
    return;
  }
  void *r1 = nullptr, *r2 = nullptr;
  uint32_t n1 = 0, n2 = 0;
  if (g_silentBuffer->Lock(0, 400, &r1, &n1, &r2, &n2, 0) != kAudioOk) {
    WriteLog("無音バッファのロックに失敗しました");
    g_silentBuffer->Release();
    g_silentBuffer = nullptr;
    return;
  }
  std::memset(r1, 0, n1);
  if (r2) std::memset(r2, 0, n2);
  g_silentBuffer->Unlock(r1, n1, r2, n2);
  g_silentBuffer->Play(0, 0, kPlayLooping);
}

}  // namespace


int InitSoundSystem() {
  if (g_soundDevice != nullptr) return -1;
  g_converterCallerLock = &g_soundLock;
  WriteLog("DirectSound の初期化を行います\n");
  WriteLog("DirectSound インターフェースの取得を行います....  ");
  g_soundDevice = AudioDevice::Create();
  if (g_soundDevice == nullptr) return WriteLog("DirectSoundインターフェースの作成に失敗しました\n");
  WriteLog("成功\n");
  WriteLog("引き続きインターフェースの初期化処理...  ");
  if (g_soundDevice->Initialize(nullptr) != kAudioOk) {
    WriteLog("初期化に失敗しました\n");
    ReleaseDevice();
    return -1;
  }
  WriteLog("成功\n");
  if (g_soundDevice->SetCooperativeLevel(GetMainWindow(), 2) != kAudioOk) {
    WriteLog("DirectSoundの協調レベルの設定に失敗しました\n");
    ReleaseDevice();
    return -1;
  }
  AudioBufferDesc primary{kBufferPrimary, 0, nullptr};
  if (g_soundDevice->CreateSoundBuffer(&primary, &g_primaryBuffer) != kAudioOk) {
    WriteLog("DirectSoundのプライマリサウンドバッファの作成に失敗しました\n");
    ReleaseDevice();
    return -1;
  }
  AudioCaps caps;
  g_soundDevice->GetCaps(&caps);
  WaveFormatEx f{};
  f.formatTag = kWaveFormatPcm;
  f.channels = (caps.flags & kCapsPrimaryStereo) ? 2 : 1;
  f.bitsPerSample = (caps.flags & kCapsPrimary16Bit) ? 16 : 8;
  f.samplesPerSec = caps.maxSecondarySampleRate < 44100 ? caps.maxSecondarySampleRate : 44100;
  f.blockAlign = static_cast<uint16_t>(f.bitsPerSample / 8 * f.channels);
  f.avgBytesPerSec = f.blockAlign * f.samplesPerSec;
  if (g_primaryBuffer->SetFormat(&f) != kAudioOk) {
    WriteLog("DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\n");
  }
  MakeSilentBuffer();
  g_soundCreateMode = 0;
  g_soundBytesPerSample = 2;
  ListInit(&g_streamSoundList);
  LogDevices();
  DeleteAllSoundHandles();
  MciSetAudioDevice(g_soundDevice);
  SetAudioRendererDevice(g_soundDevice);  // movie sound plays through the same mixer
  // The pump drives the refill (one processor) and the music; the sequencer's end
  // notice comes back through the main window's queue.
  SetPumpEntry(PumpEntry::ProcessStreamSounds, ProcessStreamSounds);
  SetPumpEntry(PumpEntry::ProcessMusicStates, [] { ProcessMusicStates(); });
  SetMciNotifyHandler([](uintptr_t, intptr_t) { OnMciMusicNotify(); });
  MciSetNotifyPoster([](uintptr_t, unsigned message, uintptr_t wParam, intptr_t lParam) {
    PostMainWindowMessage(message, wParam, lParam);
  });

  g_refillThread = nullptr;
  if (g_processorCount > 1) {
    g_refillThreadState.store(0);
    g_refillThread = CreateHostThread(StreamSoundThreadProc, nullptr, true);
    if (g_refillThread != nullptr) {
      SetHostThreadPriority(g_refillThread, 15);
      ResumeHostThread(g_refillThread);
    }
  }
  WriteLog("DirectSound の初期化は正常に終了しました\n");
  return 0;
}

int EndSoundSystem() {
  if (g_soundDevice == nullptr) return -1;
  if (g_refillThread != nullptr) {
    g_refillThreadState.store(1);
    WakeStreamSoundThread();
    int quit = PumpWindowMessages();
    while (quit == 0 && g_refillThreadState.load() == 1) {
      WaitHostThread(g_refillThread, 2);
      quit = PumpWindowMessages();
    }
    // Even when the pump reported the quit, the thread is gone before anything it
    // uses is freed.
    CloseHostThread(g_refillThread);
    g_refillThread = nullptr;
  }
  DeleteAllSoundHandles();
  EndMusicSystem();
  MciSetAudioDevice(nullptr);
  SetAudioRendererDevice(nullptr);
  g_primaryBuffer->Stop();
  g_primaryBuffer->Release();
  g_primaryBuffer = nullptr;
  if (g_silentBuffer != nullptr) {
    g_silentBuffer->Stop();
    g_silentBuffer->Release();
    g_silentBuffer = nullptr;
  }
  ReleaseDevice();
  WriteLog("DirectSound の終了処理は正常に終了しました\n");
  return 0;
}
