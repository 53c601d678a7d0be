#include "host/audio/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/audio/audio.h"

namespace {

template <int Bits>
inline int32_t SampleAt(const uint8_t* p) {
  if constexpr (Bits == 8) {
    return (static_cast<int32_t>(*p) - 128) * 256;
  } else {
    int16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
}

inline int32_t Lerp(int32_t a, int32_t b, uint32_t frac16) {
  return a + static_cast<int32_t>((static_cast<int64_t>(b - a) * frac16) >> 16);
}

// One loop per sample width, channel count and whether the rate matches the output's
// (then every frame is taken as it stands). Returns the number of output frames mixed;
// `*ended` is set when a non-looping buffer ran off its end.
template <int Bits, int Channels, bool Interpolate>
int MixLoop(const uint8_t* mem, uint32_t frames, uint64_t& pos, uint64_t step, bool looping,
            int32_t gl, int32_t gr, int32_t* acc, int n, bool* ended) {
  constexpr int kFrameBytes = Bits / 8 * Channels;
  constexpr int kSampleBytes = Bits / 8;
  const uint64_t end = static_cast<uint64_t>(frames) << 32;
  for (int i = 0; i < n; ++i) {
    uint32_t idx = static_cast<uint32_t>(pos >> 32);
    const uint8_t* a = mem + static_cast<size_t>(idx) * kFrameBytes;
    int32_t l = SampleAt<Bits>(a);
    int32_t r = l;
    if constexpr (Channels == 2) r = SampleAt<Bits>(a + kSampleBytes);
    if constexpr (Interpolate) {
      uint32_t frac = static_cast<uint32_t>(pos) >> 16;
      uint32_t next = idx + 1 < frames ? idx + 1 : (looping ? 0 : idx);
      const uint8_t* b = mem + static_cast<size_t>(next) * kFrameBytes;
      l = Lerp(l, SampleAt<Bits>(b), frac);
      if constexpr (Channels == 2) r = Lerp(r, SampleAt<Bits>(b + kSampleBytes), frac);
      else r = l;
    }
    acc[2 * i] += static_cast<int32_t>((static_cast<int64_t>(l) * gl) >> 16);
    acc[2 * i + 1] += static_cast<int32_t>((static_cast<int64_t>(r) * gr) >> 16);
    pos += step;
    if (pos >= end) {
      if (!looping) {
        *ended = true;
        return i + 1;
      }
      pos -= end;
      while (pos >= end) pos -= end;  // a rate far above the output rate on a tiny buffer
    }
  }
  return n;
}

using MixFn = int (*)(const uint8_t*, uint32_t, uint64_t&, uint64_t, bool, int32_t, int32_t,
                      int32_t*, int, bool*);

template <bool Interpolate>
MixFn PickLoopFor(const WaveFormatEx& f) {
  if (f.bitsPerSample == 8) return f.channels == 2 ? MixLoop<8, 2, Interpolate> : MixLoop<8, 1, Interpolate>;
  return f.channels == 2 ? MixLoop<16, 2, Interpolate> : MixLoop<16, 1, Interpolate>;
}

uint64_t StepFor(const AudioBufferState& s, uint32_t outputRate) {
  uint32_t rate = s.frequency != 0 ? s.frequency : s.format.samplesPerSec;
  return (static_cast<uint64_t>(rate) << 32) / outputRate;
}

MixFn PickLoop(const WaveFormatEx& f, uint64_t position, uint64_t step) {
  bool whole = step == (1ull << 32) && static_cast<uint32_t>(position) == 0;
  return whole ? PickLoopFor<false>(f) : PickLoopFor<true>(f);
}

int32_t GainQ16(double decibelHundredths) {
  return static_cast<int32_t>(std::lround(65536.0 * std::pow(10.0, decibelHundredths / 2000.0)));
}

}  // namespace

void AudioMixer::AddLocked(AudioBuffer* buffer) { buffers_.push_back(buffer); }

void AudioMixer::RemoveLocked(AudioBuffer* buffer) {
  buffers_.erase(std::remove(buffers_.begin(), buffers_.end(), buffer), buffers_.end());
}

void AudioMixer::UpdateGainsLocked(AudioBufferState& s) {
  if (s.volume <= kVolumeMin) {
    s.gainLeft = s.gainRight = 0;
    return;
  }
  double left = s.volume + (s.pan > 0 ? -s.pan : 0);
  double right = s.volume + (s.pan < 0 ? s.pan : 0);
  s.gainLeft = s.pan >= kPanRight ? 0 : GainQ16(left);
  s.gainRight = s.pan <= kPanLeft ? 0 : GainQ16(right);
}

void AudioMixer::Mix(int16_t* out, int frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  accumulator_.assign(static_cast<size_t>(frames) * 2, 0);
  for (AudioBuffer* b : buffers_) {
    AudioBufferState& s = *b->state_;
    if (s.playing && !s.primary && s.frames > 0) MixBuffer(s, accumulator_.data(), frames);
  }
  if (!fades_.empty()) MixFades(accumulator_.data(), frames);
  for (int i = 0; i < frames * 2; ++i) out[i] = LimitSample(accumulator_[i]);
}

void AudioMixer::FadeOutLocked(const AudioBufferState& s) {
  if (!s.playing || s.primary || s.frames == 0 || (s.gainLeft == 0 && s.gainRight == 0)) return;
  Fade f;
  f.format = s.format;
  f.step = StepFor(s, outputRate_);
  f.gainLeft = s.gainLeft;
  f.gainRight = s.gainRight;
  f.position = static_cast<uint32_t>(s.position);  // the fraction; frame 0 is the cursor
  // Frames the ramp reads, plus one for the interpolation; a looping voice wraps, a
  // one-shot one stops at its end as it would have.
  const uint64_t want = ((f.position + f.step * kFadeFrames) >> 32) + 2;
  const uint32_t fb = s.format.blockAlign;
  uint32_t frame = static_cast<uint32_t>(s.position >> 32);
  for (uint64_t n = 0; n < want; ++n) {
    if (frame >= s.frames) {
      if (!s.looping) break;
      frame = 0;
    }
    const uint8_t* p = s.memory->data() + static_cast<size_t>(frame) * fb;
    f.frames.insert(f.frames.end(), p, p + fb);
    ++frame;
  }
  fades_.push_back(std::move(f));
}

void AudioMixer::MixFades(int32_t* acc, int frames) {
  for (Fade& f : fades_) {
    const uint32_t fb = f.format.blockAlign;
    const uint32_t count = static_cast<uint32_t>(f.frames.size() / fb);
    const bool eight = f.format.bitsPerSample == 8;
    const int second = f.format.channels == 2 ? (eight ? 1 : 2) : 0;
    auto sample = [&](uint32_t frame, int offset) {
      const uint8_t* p = f.frames.data() + static_cast<size_t>(frame) * fb + offset;
      return eight ? SampleAt<8>(p) : SampleAt<16>(p);
    };
    for (int i = 0; i < frames && f.done < kFadeFrames; ++i, ++f.done) {
      const uint32_t idx = static_cast<uint32_t>(f.position >> 32);
      if (idx >= count) {
        f.done = kFadeFrames;
        break;
      }
      const uint32_t next = idx + 1 < count ? idx + 1 : idx;
      const uint32_t frac = static_cast<uint32_t>(f.position) >> 16;
      const int32_t l = Lerp(sample(idx, 0), sample(next, 0), frac);
      const int32_t r = Lerp(sample(idx, second), sample(next, second), frac);
      // Linear ramp from the voice's gain toward 0.
      const int64_t ramp = kFadeFrames - f.done - 1;
      acc[2 * i] += static_cast<int32_t>(int64_t{l} * f.gainLeft * ramp / kFadeFrames >> 16);
      acc[2 * i + 1] += static_cast<int32_t>(int64_t{r} * f.gainRight * ramp / kFadeFrames >> 16);
      f.position += f.step;
    }
  }
  fades_.erase(std::remove_if(fades_.begin(), fades_.end(), [](const Fade& f) { return f.done >= kFadeFrames; }),
               fades_.end());
}

int16_t AudioMixer::LimitSample(int32_t mixed) {
  if (mixed <= kLimiterKnee && mixed >= -kLimiterKnee) return static_cast<int16_t>(mixed);
  // Above the knee the excess is bent by tanh: slope 1 at the knee, below 1 past it,
  // so a peak is rounded off rather than cut and no step grows; the output only
  // approaches the ceiling.
  constexpr double kRoom = kLimiterCeiling - kLimiterKnee;
  const double excess = (std::abs(static_cast<double>(mixed)) - kLimiterKnee) / kRoom;
  const int32_t bent = kLimiterKnee + static_cast<int32_t>(kRoom * std::tanh(excess));
  return static_cast<int16_t>(mixed < 0 ? -bent : bent);
}

void AudioMixer::MixBuffer(AudioBufferState& s, int32_t* acc, int frames) {
  uint64_t step = StepFor(s, outputRate_);
  uint64_t start = s.position;
  bool ended = false;
  int mixed = PickLoop(s.format, s.position, step)(s.memory->data(), s.frames, s.position, step, s.looping,
                                 s.gainLeft, s.gainRight, acc, frames, &ended);
  if (ended) {
    s.playing = false;
    s.position = 0;
  }
  if (recording_) {
    uint32_t first = static_cast<uint32_t>(start >> 32);
    uint64_t consumed = ended ? s.frames - first
                              : ((start + step * static_cast<uint64_t>(mixed)) >> 32) - first;
    Record(s, first, consumed);
  }
}

void AudioMixer::Record(const AudioBufferState& s, uint32_t startFrame, uint64_t frameCount) {
  std::vector<uint8_t>& rec = played_[s.id];
  const uint32_t fb = s.format.blockAlign;
  uint32_t frame = startFrame;
  while (frameCount > 0) {
    uint32_t run = static_cast<uint32_t>(std::min<uint64_t>(frameCount, s.frames - frame));
    const uint8_t* p = s.memory->data() + static_cast<size_t>(frame) * fb;
    rec.insert(rec.end(), p, p + static_cast<size_t>(run) * fb);
    frameCount -= run;
    frame = 0;
  }
}

void AudioMixer::SetRecording(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  recording_ = on;
}

std::vector<uint8_t> AudioMixer::PlayedBytes(uint32_t bufferId) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = played_.find(bufferId);
  return it == played_.end() ? std::vector<uint8_t>{} : it->second;
}
