#pragma once
// The few synthesis helpers the sound effects and the music share: oscillators with
// a pitch glide, an envelope, a one-pole low-pass, and a WAVE writer.
#include <cstdint>
#include <string>
#include <vector>

constexpr int kSampleRate = 44100;

enum class Wave { Sine, Square, Saw, Triangle, Noise };

// One note or noise burst: frequency glides exponentially from f0 to f1 over its
// length; attack and release are linear, the body decays by `decay` per second
// (0 holds); `cutoff` (Hz, 0 = none) softens it; `vibrato` is a depth in semitones
// at 6 Hz.
struct Tone {
  double start, length;
  Wave wave;
  double f0, f1;
  double volume;
  double attack = 0.005, release = 0.02, decay = 0, cutoff = 0, vibrato = 0, duty = 0.5;
};

// Adds the tone into `out` (mono, kSampleRate); samples past the end wrap to the
// start when `wrap` is set, so a loop's tails ring into its beginning.
void AddTone(std::vector<float>& out, const Tone& t, uint32_t noiseSeed, bool wrap = false);

// 16-bit PCM WAVE, mono or interleaved stereo; samples are clipped to [-1, 1].
bool WriteWave(const std::string& path, const std::vector<float>& samples, int channels);
