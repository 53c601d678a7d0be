// The audio device stand-in: mixing rules checked against sums written out here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/audio/audio.h"
#include "host/audio/mixer.h"
#include "host/audio/output.h"
#include "tests/sound/test_media.h"

namespace {

struct Device {
  Device() {
    UseManualAudioOutput(true);
    device = AudioDevice::Create();
    EXPECT_EQ(device->Initialize(nullptr), kAudioOk);
    out = CurrentManualAudioOutput();
  }
  ~Device() {
    for (AudioBuffer* b : buffers) b->Release();
    device->Release();
  }
  AudioBuffer* Make(const WaveFormatEx& f, const Bytes& data, uint32_t flags = 0x80E2) {
    AudioBufferDesc desc{flags, static_cast<uint32_t>(data.size()), &f};
    AudioBuffer* b = nullptr;
    EXPECT_EQ(device->CreateSoundBuffer(&desc, &b), kAudioOk);
    void *r1, *r2;
    uint32_t n1, n2;
    EXPECT_EQ(b->Lock(0, static_cast<uint32_t>(data.size()), &r1, &n1, &r2, &n2, 0), kAudioOk);
    std::memcpy(r1, data.data(), n1);
    EXPECT_EQ(b->Unlock(r1, n1, r2, n2), kAudioOk);
    buffers.push_back(b);
    return b;
  }
  AudioDevice* device;
  ManualAudioOutput* out;
  std::vector<AudioBuffer*> buffers;
};

WaveFormatEx Pcm(int channels, int bits, uint32_t rate) {
  uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  return {1, static_cast<uint16_t>(channels), rate, rate * align, align, static_cast<uint16_t>(bits), 0};
}

int32_t SampleOf(const Bytes& d, const WaveFormatEx& f, size_t frame, int ch) {
  size_t at = frame * f.blockAlign + (f.channels == 2 ? ch : 0) * (f.bitsPerSample / 8);
  if (f.bitsPerSample == 8) return (d[at] - 128) * 256;
  return static_cast<int16_t>(d[at] | (d[at + 1] << 8));
}

int32_t Gain(double db100) { return static_cast<int32_t>(std::lround(65536 * std::pow(10.0, db100 / 2000))); }

// The Q16 gains of the left and right channel: the pan lowers the other side only.
struct Gains {
  int32_t left, right;
};
Gains ChannelGains(int volume, int pan) {
  if (volume <= -10000) return {0, 0};
  return {pan >= 10000 ? 0 : Gain(volume + (pan > 0 ? -pan : 0)), pan <= -10000 ? 0 : Gain(volume + (pan < 0 ? pan : 0))};
}

}  // namespace

TEST(AudioMixer, MixesEachFormatVolumeAndPanAsTheGainRulesSay) {
  struct Case {
    int channels, bits, volume, pan;
  } cases[] = {{2, 16, 0, 0},    {1, 16, 0, 0},     {1, 8, 0, 0},       {2, 8, 0, 0},
               {2, 16, -600, 0}, {1, 16, -299, 0},  {2, 16, 0, -10000}, {2, 16, 0, 2500},
               {1, 8, -2407, -700}, {2, 16, -10000, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << "ch " << c.bits << "bit vol " << c.volume << " pan " << c.pan);
    Device dev;
    WaveFormatEx f = Pcm(c.channels, c.bits, 44100);
    Bytes data = NoiseBytes(f.blockAlign * 500, c.bits + c.channels);
    AudioBuffer* b = dev.Make(f, data);
    ASSERT_EQ(b->SetVolume(c.volume), kAudioOk);
    ASSERT_EQ(b->SetPan(c.pan), kAudioOk);
    ASSERT_EQ(b->Play(0, 0, 0), kAudioOk);
    dev.out->Advance(600);
    std::vector<int16_t> got = dev.out->TakeCaptured();
    const auto [gl, gr] = ChannelGains(c.volume, c.pan);
    for (size_t i = 0; i < 600; ++i) {
      int32_t l = i < 500 ? static_cast<int32_t>((static_cast<int64_t>(SampleOf(data, f, i, 0)) * gl) >> 16) : 0;
      int32_t r = i < 500 ? static_cast<int32_t>((static_cast<int64_t>(SampleOf(data, f, i, 1)) * gr) >> 16) : 0;
      ASSERT_EQ(got[2 * i], AudioMixer::LimitSample(l)) << "frame " << i;
      ASSERT_EQ(got[2 * i + 1], AudioMixer::LimitSample(r)) << "frame " << i;
    }
    uint32_t status = 99, cursor = 99;
    b->GetStatus(&status);
    b->GetCurrentPosition(&cursor, nullptr);
    EXPECT_EQ(status, 0u);  // a non-looping buffer stops at its end with its cursor at 0
    EXPECT_EQ(cursor, 0u);
    EXPECT_EQ(dev.out->PlayedBytes(b->id()), data);
  }
}

TEST(AudioMixer, ResamplesLinearlyAndLoopsAndLimits) {
  Device dev;
  WaveFormatEx f = Pcm(1, 16, 22050);
  std::vector<int16_t> s = {0, 1000, -1000, 24000, 24000, -24576, 12, 7};
  AudioBuffer* b = dev.Make(f, AsBytes(s));
  AudioBuffer* loud = dev.Make(Pcm(1, 16, 44100), AsBytes(std::vector<int16_t>(64, 20000)));
  ASSERT_EQ(b->Play(0, 0, kPlayLooping), kAudioOk);
  dev.out->Advance(32);  // two passes through the 8 frames at half the output rate
  std::vector<int16_t> got = dev.out->TakeCaptured();
  for (int i = 0; i < 32; ++i) {
    int k = (i / 2) % 8;
    int32_t a = s[k], n = s[(k + 1) % 8];
    int32_t want = i % 2 == 0 ? a : a + static_cast<int32_t>((static_cast<int64_t>(n - a) * 32768) >> 16);
    ASSERT_EQ(got[2 * i], want) << i;
  }
  uint32_t status = 0;
  b->GetStatus(&status);
  EXPECT_EQ(status, kStatusPlaying | kStatusLooping);
  b->Stop();
  // Two buffers at 20000 and 24000 sum past the 16-bit range: limited, not clipped.
  b->SetCurrentPosition(6);  // frame 3: 24000
  b->SetFrequency(44100);
  b->Play(0, 0, 0);
  loud->Play(0, 0, 0);
  dev.out->Advance(1);
  const int16_t limited = dev.out->TakeCaptured()[0];
  EXPECT_GT(limited, AudioMixer::kLimiterKnee);
  EXPECT_LT(limited, 32767);
}

// Swept over every sum ten full-scale buffers can make: unchanged within the knee,
// never full scale, never a step larger than the input's, and odd-symmetric; a peak is
// rounded, not flattened at the ceiling.
TEST(AudioMixer, LimiterIsTransparentBelowItsKneeAndSmoothAbove) {
  EXPECT_LT(AudioMixer::LimitSample(32767), AudioMixer::LimitSample(65534));
  int16_t previous = AudioMixer::LimitSample(-327680);
  for (int32_t x = -327679; x <= 327680; ++x) {
    const int16_t y = AudioMixer::LimitSample(x);
    if (std::abs(x) <= AudioMixer::kLimiterKnee) {
      ASSERT_EQ(y, x);
    }
    ASSERT_LT(std::abs(int(y)), 32767) << x;
    ASSERT_GE(y, previous) << x;
    ASSERT_LE(y - previous, 1) << x;
    ASSERT_EQ(y, -AudioMixer::LimitSample(-x)) << x;
    previous = y;
  }
}

TEST(AudioDevice, LockWrapsDuplicatesShareMemoryAndBadFormatsAreRefused) {
  Device dev;
  WaveFormatEx f = Pcm(2, 16, 44100);
  AudioBuffer* b = dev.Make(f, Bytes(400, 0));
  void *r1, *r2;
  uint32_t n1, n2;
  ASSERT_EQ(b->Lock(300, 200, &r1, &n1, &r2, &n2, 0), kAudioOk);
  EXPECT_EQ(n1, 100u);
  EXPECT_EQ(n2, 100u);
  std::memset(r1, 0x11, n1);
  std::memset(r2, 0x22, n2);
  ASSERT_EQ(b->Unlock(r1, n1, r2, n2), kAudioOk);

  AudioBuffer* dup = nullptr;
  ASSERT_EQ(dev.device->DuplicateSoundBuffer(b, &dup), kAudioOk);
  dev.buffers.push_back(dup);
  b->SetCurrentPosition(200);
  b->SetVolume(-1000);
  uint32_t cursor = 1;
  int volume = 1;
  dup->GetCurrentPosition(&cursor, nullptr);
  dup->GetVolume(&volume);
  EXPECT_EQ(cursor, 0u);
  EXPECT_EQ(volume, 0);
  dup->Play(0, 0, 0);
  dev.out->Advance(100);
  Bytes played = dev.out->PlayedBytes(dup->id());
  ASSERT_EQ(played.size(), 400u);
  EXPECT_EQ(played[0], 0x22);
  EXPECT_EQ(played[150], 0);
  EXPECT_EQ(played[350], 0x11);

  struct Bad {
    uint16_t tag, channels;
    uint32_t rate;
    uint16_t bits;
  } bad[] = {{1, 2, 44100, 24}, {1, 3, 44100, 16}, {1, 1, 99, 16}, {1, 1, 200001, 8}, {3, 1, 44100, 16}, {1, 0, 44100, 16}};
  for (const Bad& x : bad) {
    WaveFormatEx g = Pcm(x.channels, x.bits, x.rate);
    g.formatTag = x.tag;
    AudioBufferDesc desc{0x80E2, 4096, &g};
    AudioBuffer* out = nullptr;
    EXPECT_NE(dev.device->CreateSoundBuffer(&desc, &out), kAudioOk) << x.channels << " " << x.bits << " " << x.rate;
    EXPECT_EQ(out, nullptr);
  }
  dev.out->FailNextBufferCreations(1);
  AudioBufferDesc ok{0x80E2, 4096, &f};
  AudioBuffer* out = nullptr;
  EXPECT_NE(dev.device->CreateSoundBuffer(&ok, &out), kAudioOk);
  ASSERT_EQ(dev.device->CreateSoundBuffer(&ok, &out), kAudioOk);
  dev.buffers.push_back(out);
  EXPECT_EQ(out->SetFrequency(50), kAudioErrInvalidParam);
  EXPECT_EQ(out->SetVolume(1), kAudioErrInvalidParam);
}

namespace {

// A full-scale 1 kHz sine (8-bit: nearly full) in the given format.
Bytes LoudSine(const WaveFormatEx& f, int frames) {
  Bytes d(static_cast<size_t>(frames) * f.blockAlign);
  for (int i = 0; i < frames; ++i) {
    const double v = std::sin(2 * 3.14159265358979 * 1000 * i / f.samplesPerSec);
    for (int ch = 0; ch < f.channels; ++ch) {
      uint8_t* p = d.data() + static_cast<size_t>(i) * f.blockAlign + ch * (f.bitsPerSample / 8);
      if (f.bitsPerSample == 8) {
        *p = static_cast<uint8_t>(128 + std::lround(120 * v));
      } else {
        const int16_t s = static_cast<int16_t>(std::lround(30000 * v));
        std::memcpy(p, &s, 2);
      }
    }
  }
  return d;
}

int LargestStep(const std::vector<int16_t>& s, size_t from, size_t to) {
  int most = 0;
  for (size_t i = from + 2; i < to; ++i) most = std::max(most, std::abs(s[i] - s[i - 2]));
  return most;
}

}  // namespace

// A voice cut while it sounds fades out: the output never steps further than the
// sound itself does, and it is silent once the ramp is over.
TEST(AudioMixer, AVoiceCutWhileSoundingFadesOutWithoutAStep) {
  enum Cut { kStop, kMove, kRestart, kRelease };
  struct Case {
    int channels, bits;
    uint32_t rate;
    bool looping;
    Cut cut;
  } cases[] = {
      {2, 16, 44100, false, kStop},    {1, 16, 44100, true, kStop},    {1, 8, 22050, false, kStop},
      {2, 8, 48000, true, kMove},      {2, 16, 44100, false, kRestart}, {1, 16, 32000, false, kRestart},
      {2, 16, 44100, true, kRelease},  {1, 8, 11025, false, kRelease},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << " ch " << c.bits << " bit " << c.rate << " Hz cut " << c.cut);
    Device dev;
    const WaveFormatEx f = Pcm(c.channels, c.bits, c.rate);
    AudioBuffer* b = dev.Make(f, LoudSine(f, static_cast<int>(c.rate)));  // one second
    b->Play(0, 0, c.looping ? kPlayLooping : 0);
    // A quarter period past a whole number of milliseconds: the sine stands at its peak.
    dev.out->Advance(441 * 10 + 11);
    const size_t cutAt = dev.out->framesMixed() * 2;
    switch (c.cut) {
      case kStop: b->Stop(); break;
      case kMove: b->SetCurrentPosition(0); break;
      case kRestart:  // as a play with the restart flag does it
        b->Stop();
        b->SetCurrentPosition(0);
        b->Play(0, 0, 0);
        break;
      case kRelease:
        b->Release();
        dev.buffers.clear();
        break;
    }
    dev.out->Advance(AudioMixer::kFadeFrames + 200);
    std::vector<int16_t> s = dev.out->TakeCaptured();
    const int own = LargestStep(s, 0, cutAt);
    ASSERT_GT(own, 1000);  // the sound does move
    // A restart or a move sounds the fading voice and the new one together: the two
    // may step together, never by more than twice the sound's own step.
    const int voices = c.cut == kMove || c.cut == kRestart ? 2 : 1;
    EXPECT_LE(LargestStep(s, cutAt - 2, s.size()), voices * own);
    EXPECT_GT(std::abs(s[cutAt + 2]), std::abs(s[cutAt - 2]) / 2);  // the fade carries on from the peak
    if (c.cut == kStop || c.cut == kRelease) {
      for (size_t i = cutAt + 2 * AudioMixer::kFadeFrames; i < s.size(); ++i) ASSERT_EQ(s[i], 0) << i - cutAt;
    }
  }
}

// The fade of a stopped voice is the voice itself under a falling ramp, channel by
// channel: a panned voice fades on its own side at its own level, never on the other.
TEST(AudioMixer, AStoppedVoiceFadesWithEachChannelsOwnGain) {
  struct Case {
    int channels, bits, volume, pan;
  } cases[] = {{2, 16, 0, -10000}, {2, 16, 0, 10000}, {2, 16, -600, 2500}, {1, 16, -300, -4000}, {1, 8, -2407, 700}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << "ch " << c.bits << "bit vol " << c.volume << " pan " << c.pan);
    Device dev;
    const WaveFormatEx f = Pcm(c.channels, c.bits, 44100);
    const Bytes data = NoiseBytes(f.blockAlign * 1000, c.bits * 3 + c.channels);
    AudioBuffer* b = dev.Make(f, data);
    ASSERT_EQ(b->SetVolume(c.volume), kAudioOk);
    ASSERT_EQ(b->SetPan(c.pan), kAudioOk);
    ASSERT_EQ(b->Play(0, 0, 0), kAudioOk);
    const int cut = 300;
    dev.out->Advance(cut);
    dev.out->TakeCaptured();
    ASSERT_EQ(b->Stop(), kAudioOk);
    dev.out->Advance(AudioMixer::kFadeFrames + 20);
    const std::vector<int16_t> got = dev.out->TakeCaptured();
    const Gains g = ChannelGains(c.volume, c.pan);
    const int32_t gains[2] = {g.left, g.right};
    for (int i = 0; i < AudioMixer::kFadeFrames + 20; ++i) {
      const int64_t ramp = std::max(AudioMixer::kFadeFrames - i - 1, 0);
      for (int ch = 0; ch < 2; ++ch) {
        const int64_t sample = SampleOf(data, f, cut + i, ch);
        const int32_t want = static_cast<int32_t>(sample * gains[ch] * ramp / AudioMixer::kFadeFrames >> 16);
        ASSERT_EQ(got[2 * i + ch], AudioMixer::LimitSample(want)) << "frame " << i << " channel " << ch;
      }
    }
  }
}
