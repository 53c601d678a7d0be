#include <SDL2/SDL.h>

#include "host/audio/audio.h"
#include "host/audio/mixer.h"
#include "host/audio/output.h"

namespace {

class SdlAudioOutput : public AudioOutput {
 public:
  int Start(AudioMixer* mixer) override {
    mixer_ = mixer;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return kAudioErrDeviceFailed;
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(kOutputRate);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = &SdlAudioOutput::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return kAudioErrDeviceFailed;
    }
    SDL_PauseAudioDevice(device_, 0);
    return kAudioOk;
  }

  void Stop() override {
    if (device_ != 0) {
      SDL_CloseAudioDevice(device_);  // waits for the callback to finish
      device_ = 0;
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
  }

  ~SdlAudioOutput() override { Stop(); }

 private:
  static void Callback(void* self, Uint8* stream, int len) {
    auto* out = static_cast<SdlAudioOutput*>(self);
    out->mixer_->Mix(reinterpret_cast<int16_t*>(stream), len / 4);
  }
  AudioMixer* mixer_ = nullptr;
  SDL_AudioDeviceID device_ = 0;
};

}  // namespace

std::unique_ptr<AudioOutput> MakeSdlAudioOutput() { return std::make_unique<SdlAudioOutput>(); }
