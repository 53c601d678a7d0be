// The 20 sound effects of `SoundEffectTable` ("./sound/seNN.wav"), each a short
// recipe of tones fitted to its role.
#include <cmath>
#include <cstdio>
#include <vector>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/synth.h"

namespace {
constexpr double kPi2 = 6.283185307179586;

double Osc(Wave w, double phase, double duty, uint32_t& noise) {
  double p = phase - std::floor(phase);
  switch (w) {
    case Wave::Sine: return std::sin(kPi2 * p);
    case Wave::Square: return p < duty ? 0.8 : -0.8;
    case Wave::Saw: return 2 * p - 1;
    case Wave::Triangle: return p < 0.5 ? 4 * p - 1 : 3 - 4 * p;
    case Wave::Noise:
      noise = noise * 1664525u + 1013904223u;
      return int32_t(noise) / 2147483648.0;
  }
  return 0;
}
}  // namespace

void AddTone(std::vector<float>& out, const Tone& t, uint32_t noiseSeed, bool wrap) {
  const long n = long(t.length * kSampleRate), first = long(t.start * kSampleRate);
  const long size = long(out.size());
  double phase = 0, low = 0;
  double alpha = t.cutoff > 0 ? 1 - std::exp(-kPi2 * t.cutoff / kSampleRate) : 1;
  uint32_t noise = noiseSeed * 2654435761u + 1;
  const bool glide = t.f1 != t.f0;
  const double fall = std::exp(-t.decay / kSampleRate);
  double body = 1;
  for (long i = 0; i < n; ++i) {
    double time = double(i) / kSampleRate;
    double f = glide ? t.f0 * std::pow(t.f1 / t.f0, double(i) / n) : t.f0;
    if (t.vibrato > 0) f *= std::pow(2.0, t.vibrato * std::sin(kPi2 * 6 * time) / 12);
    phase += f / kSampleRate;
    double v = Osc(t.wave, phase, t.duty, noise);
    low += alpha * (v - low);
    double env = time < t.attack ? time / t.attack : (body *= fall);
    double left = t.length - time;
    if (left < t.release) env *= left / t.release;
    long at = first + i;
    if (wrap) at %= size;
    if (at >= 0 && at < size) out[at] += float(low * env * t.volume);
  }
}

bool WriteWave(const std::string& path, const std::vector<float>& samples, int channels) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  auto u32 = [&](uint32_t v) { uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; std::fwrite(b, 1, 4, f); };
  auto u16 = [&](uint16_t v) { uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)}; std::fwrite(b, 1, 2, f); };
  uint32_t bytes = uint32_t(samples.size() * 2);
  std::fwrite("RIFF", 1, 4, f);
  u32(36 + bytes);
  std::fwrite("WAVEfmt ", 1, 8, f);
  u32(16), u16(1), u16(uint16_t(channels)), u32(kSampleRate), u32(kSampleRate * 2 * channels);
  u16(uint16_t(2 * channels)), u16(16);
  std::fwrite("data", 1, 4, f);
  u32(bytes);
  std::vector<int16_t> pcm(samples.size());
  for (size_t i = 0; i < samples.size(); ++i)
    pcm[i] = int16_t(std::lround(std::fmax(-1.0, std::fmin(1.0, samples[i])) * 32767));
  for (int16_t s : pcm) u16(uint16_t(s));
  return std::fclose(f) == 0;
}

namespace {
using W = Wave;
// Each effect: its tones (start, length, wave, f0, f1, volume, attack, release,
// decay, cutoff, vibrato).
struct Effect {
  std::vector<Tone> tones;
};

std::vector<Effect> Effects() {
  auto T = [](double s, double len, W w, double f0, double f1, double vol, double decay = 0,
              double cutoff = 0, double vib = 0, double attack = 0.003) {
    Tone t{s, len, w, f0, f1, vol};
    t.decay = decay, t.cutoff = cutoff, t.vibrato = vib, t.attack = attack;
    return t;
  };
  std::vector<Effect> e(20);
  e[0] = {{T(0, 0.045, W::Square, 1400, 700, 0.18, 30, 4000)}};                               // player shot
  e[1] = {{T(0, 0.035, W::Noise, 1, 1, 0.35, 60, 3500), T(0, 0.03, W::Square, 300, 200, 0.15, 50)}};  // hit
  e[2] = {{T(0, 0.22, W::Noise, 1, 1, 0.5, 14, 2200), T(0, 0.16, W::Square, 520, 90, 0.3, 10)}};  // enemy dies
  e[3] = {{T(0, 0.05, W::Sine, 1320, 1320, 0.35), T(0.04, 0.07, W::Sine, 1760, 1760, 0.35, 20)}};  // item
  e[4] = {{T(0, 0.05, W::Noise, 1, 1, 0.3, 50, 9000), T(0, 0.04, W::Sine, 3200, 2600, 0.12, 60)}};  // graze
  e[5] = {{T(0, 0.55, W::Saw, 1100, 55, 0.45, 3, 3000), T(0, 0.4, W::Noise, 1, 1, 0.35, 6, 1500)}};  // player hit
  e[6] = {{T(0, 1.3, W::Noise, 1, 1, 0.6, 2.2, 700, 0, 0.02), T(0, 0.9, W::Saw, 60, 600, 0.3, 2, 2500),
           T(0.05, 0.9, W::Sine, 880, 1760, 0.15, 3)}};                                        // bomb
  e[7] = {{T(0, 0.5, W::Sine, 988, 988, 0.4, 7), T(0, 0.5, W::Sine, 2470, 2470, 0.18, 11),
           T(0, 0.5, W::Sine, 3950, 3950, 0.08, 16)}};                                         // attack bell
  e[8] = {{T(0, 0.35, W::Saw, 220, 1400, 0.25, 4, 3500, 0.6, 0.01), T(0, 0.35, W::Sine, 110, 700, 0.2, 4)}};  // laser
  e[9] = {{T(0, 0.9, W::Saw, 330, 660, 0.18, 2, 2500, 0, 0.05), T(0, 0.9, W::Saw, 415, 830, 0.14, 2, 2500, 0, 0.05),
           T(0, 0.9, W::Saw, 494, 988, 0.14, 2, 2500, 0, 0.05), T(0.1, 0.8, W::Noise, 1, 1, 0.15, 3, 8000, 0, 0.2)}};  // spell start
  e[10] = {{T(0, 0.04, W::Sine, 2000, 2000, 0.4, 80), T(0, 0.01, W::Noise, 1, 1, 0.2, 0, 6000)}};  // timer tick
  e[11] = {{T(0, 0.9, W::Sine, 180, 1300, 0.35, 0, 0, 1.5, 0.05), T(0, 0.9, W::Triangle, 360, 2600, 0.15, 0, 0, 1.5, 0.05)}};  // charge
  e[12] = {{T(0, 1.6, W::Noise, 1, 1, 0.75, 2.0, 900), T(0, 1.2, W::Sine, 90, 30, 0.5, 2.5),
            T(0, 0.4, W::Noise, 1, 1, 0.4, 8, 5000)}};                                          // boss blast
  e[13] = {{T(0, 0.8, W::Sine, 1568, 1568, 0.3, 4), T(0.06, 0.75, W::Sine, 1319, 1319, 0.3, 4),
            T(0.12, 0.7, W::Sine, 1047, 1047, 0.3, 4), T(0, 0.5, W::Noise, 1, 1, 0.1, 6, 9000)}};  // card end
  e[14] = {{T(0, 0.09, W::Square, 523, 523, 0.22), T(0.08, 0.09, W::Square, 659, 659, 0.22),
            T(0.16, 0.09, W::Square, 784, 784, 0.22), T(0.24, 0.3, W::Square, 1047, 1047, 0.22, 5)}};  // extend
  e[15] = {{T(0, 0.07, W::Triangle, 880, 880, 0.35), T(0.06, 0.07, W::Triangle, 1109, 1109, 0.35),
            T(0.12, 0.2, W::Triangle, 1319, 1319, 0.35, 8)}};                                   // power up
  e[16] = {{T(0, 0.03, W::Square, 880, 880, 0.15, 40, 4000)}};                                  // menu move
  e[17] = {{T(0, 0.06, W::Square, 660, 660, 0.18, 0, 4000), T(0.05, 0.1, W::Square, 990, 990, 0.18, 20, 4000)}};  // confirm
  e[18] = {{T(0, 0.06, W::Square, 660, 660, 0.18, 0, 3000), T(0.05, 0.1, W::Square, 440, 440, 0.18, 20, 3000)}};  // cancel
  e[19] = {{T(0, 0.12, W::Sine, 523, 523, 0.35, 10), T(0.1, 0.18, W::Sine, 392, 392, 0.35, 10)}};  // pause
  return e;
}
}  // namespace

bool GenerateSoundEffects(const std::string& dir) {
  bool ok = true;
  std::vector<Effect> effects = Effects();
  for (size_t i = 0; i < effects.size(); ++i) {
    double end = 0;
    for (const Tone& t : effects[i].tones) end = std::fmax(end, t.start + t.length);
    std::vector<float> pcm(size_t(end * kSampleRate) + 1, 0.0f);
    uint32_t seed = uint32_t(i) * 97;
    for (const Tone& t : effects[i].tones) AddTone(pcm, t, seed++);
    // Headroom for the mixer: several effects over the music must not reach full scale,
    // so no effect peaks above -6.5 dBFS; quieter ones keep their level.
    float peak = 0;
    for (float v : pcm) peak = std::fmax(peak, std::fabs(v));
    const float ceiling = float(std::pow(10.0, -6.5 / 20));
    if (peak > ceiling)
      for (float& v : pcm) v *= ceiling / peak;
    char name[32];
    std::snprintf(name, sizeof name, "/se%02zu.wav", i);
    if (!WriteWave(dir + name, pcm, 1)) {
      std::fprintf(stderr, "assetgen: cannot write %s%s\n", dir.c_str(), name);
      ok = false;
    }
  }
  return ok;
}
