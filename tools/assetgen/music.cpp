// The 18 tracks of `MusicTitleTable` ("./music/bgmNN.mp3"): simple procedural
// pieces (pad chords, bass, arpeggio, a lead melody and drums) built from a style
// per role, at least 60 seconds each and seamless when looped: every tail that rings
// past the end is folded back onto the start, and a LAME tag tells the decoder the
// encoder's delay and padding so the loop point carries no gap.
#include <lame/lame.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/canvas.h"
#include "tools/assetgen/synth.h"

namespace {

struct Style {
  double bpm;
  int root;         // MIDI note of the key
  bool minor;
  int progA[8];     // scale degree of each bar's chord, section A
  int progB[8];     // section B
  Wave lead;
  int arpKind;      // 0 up, 1 up-down, 2 broken eighths, 3 none
  int drumKind;     // 0 none, 1 soft, 2 rock, 3 driving
  int bassKind;     // 0 long roots, 1 root-fifth quarters, 2 pumping eighths
  double leadCutoff;
  bool busyLead;    // shorter notes for the fast pieces
};

// By track index; the comment names the role.
const Style kStyles[18] = {
    {150, 57, true, {0, 5, 3, 4, 0, 5, 6, 4}, {3, 4, 2, 5, 3, 4, 4, 4}, Wave::Square, 0, 2, 2, 3500, true},   // 0 stage 4
    {160, 50, true, {0, 6, 5, 4, 0, 6, 5, 4}, {5, 6, 0, 0, 5, 3, 4, 4}, Wave::Saw, 1, 3, 2, 3000, true},      // 1 stage 6
    {170, 52, true, {0, 0, 5, 6, 0, 0, 3, 4}, {5, 3, 6, 4, 5, 3, 4, 4}, Wave::Saw, 0, 3, 2, 4000, true},      // 2 stage 6 boss
    {140, 62, false, {1, 4, 0, 5, 1, 4, 0, 0}, {3, 4, 5, 5, 3, 4, 1, 4}, Wave::Triangle, 1, 2, 1, 5000, false},  // 3 stage 5
    {155, 55, true, {0, 3, 4, 0, 5, 3, 4, 4}, {5, 6, 0, 4, 5, 6, 4, 4}, Wave::Square, 2, 3, 2, 3500, true},   // 4 stage 3 boss
    {175, 53, true, {0, 5, 6, 4, 0, 5, 6, 4}, {3, 3, 4, 4, 5, 5, 6, 4}, Wave::Saw, 0, 3, 2, 4500, true},      // 5 last fight
    {160, 56, true, {0, 4, 5, 3, 0, 4, 6, 6}, {3, 4, 0, 5, 3, 4, 4, 4}, Wave::Square, 1, 3, 2, 4000, true},   // 6 stage 5 boss
    {100, 60, false, {0, 5, 3, 4, 0, 5, 3, 4}, {5, 3, 0, 4, 5, 3, 4, 4}, Wave::Triangle, 2, 1, 0, 3000, false},  // 7 title
    {165, 51, true, {0, 6, 0, 6, 5, 6, 4, 4}, {3, 4, 5, 6, 3, 4, 4, 4}, Wave::Saw, 0, 3, 2, 5000, true},      // 8 Extra stage
    {135, 58, true, {0, 3, 0, 4, 5, 3, 4, 4}, {5, 6, 0, 0, 5, 6, 4, 4}, Wave::Triangle, 1, 2, 1, 4000, false},   // 9 stage 3
    {130, 65, false, {0, 4, 5, 3, 0, 4, 3, 4}, {3, 0, 4, 5, 3, 0, 1, 4}, Wave::Square, 2, 2, 1, 3000, false},    // 10 stage 2
    {158, 54, true, {0, 5, 2, 6, 0, 5, 4, 4}, {3, 4, 0, 5, 3, 4, 4, 4}, Wave::Saw, 1, 3, 2, 3500, true},      // 11 stage 4 boss
    {125, 64, false, {0, 3, 4, 0, 5, 3, 1, 4}, {3, 4, 2, 5, 3, 4, 4, 4}, Wave::Square, 0, 2, 1, 3500, false},    // 12 stage 1
    {145, 59, true, {0, 5, 6, 0, 3, 5, 4, 4}, {5, 6, 3, 4, 5, 6, 4, 4}, Wave::Square, 0, 3, 2, 4000, true},   // 13 stage 1 boss
    {180, 49, true, {0, 1, 6, 4, 0, 1, 5, 4}, {5, 6, 0, 4, 3, 1, 4, 4}, Wave::Saw, 1, 3, 2, 5000, true},      // 14 Extra boss
    {84, 60, false, {0, 3, 4, 0, 5, 3, 1, 4}, {3, 4, 0, 5, 3, 4, 0, 0}, Wave::Sine, 2, 0, 0, 2500, false},       // 15 ending
    {150, 61, true, {0, 4, 5, 6, 0, 4, 3, 4}, {5, 3, 6, 4, 5, 3, 4, 4}, Wave::Square, 2, 3, 2, 3800, true},   // 16 stage 2 boss
    {96, 62, false, {0, 5, 1, 4, 0, 5, 3, 4}, {3, 4, 5, 0, 3, 4, 1, 4}, Wave::Triangle, 1, 1, 0, 2800, false},   // 17 staff roll
};

double NoteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

int ScaleNote(const Style& s, int degree) {  // degree may run past one octave
  static const int kMajor[7] = {0, 2, 4, 5, 7, 9, 11}, kMinor[7] = {0, 2, 3, 5, 7, 8, 10};
  int oct = degree >= 0 ? degree / 7 : (degree - 6) / 7;
  int d = degree - oct * 7;
  return s.root + 12 * oct + (s.minor ? kMinor[d] : kMajor[d]);
}

// Rhythm templates in sixteenths within one bar.
const std::vector<std::vector<int>> kCalmRhythms = {{0, 8}, {0, 4, 8}, {0, 6, 8, 12}, {0, 12}, {0, 4, 8, 12}};
const std::vector<std::vector<int>> kBusyRhythms = {{0, 2, 4, 8, 10, 12}, {0, 3, 6, 8, 12, 14}, {0, 4, 6, 8, 12},
                                                    {0, 2, 4, 6, 8, 12}, {0, 6, 8, 10, 12, 14}};

struct Note {
  int bar, at, len;  // sixteenths
  int degree;
};

// One 8-bar melody: a walk on the scale that lands on chord tones on the beat.
std::vector<Note> Melody(const Style& s, const int* prog, Dice& dice) {
  const auto& rhythms = s.busyLead ? kBusyRhythms : kCalmRhythms;
  std::vector<Note> notes;
  int degree = 7 + prog[0];
  for (int bar = 0; bar < 8; ++bar) {
    const auto& r = bar == 7 ? std::vector<int>{0} : rhythms[dice.Int(int(rhythms.size()))];
    for (size_t i = 0; i < r.size(); ++i) {
      int step = dice.Int(5) - 2;
      degree += step == 0 ? 1 : step;
      if (r[i] % 8 == 0) {  // strong beat: nearest tone of the bar's chord
        int best = degree, bestDist = 99;
        for (int k = 0; k < 3; ++k)
          for (int o = 0; o <= 14; o += 7) {
            int cand = prog[bar] + 2 * k + o;
            if (std::abs(cand - degree) < bestDist) bestDist = std::abs(cand - degree), best = cand;
          }
        degree = best;
      }
      degree = std::clamp(degree, 4, 16);
      int end = i + 1 < r.size() ? r[i + 1] : 16;
      notes.push_back({bar, r[i], end - r[i], bar == 7 ? 7 + prog[bar] : degree});
    }
  }
  return notes;
}

struct Buses {
  std::vector<float> centre, left, right;
};

void RenderTrack(const Style& s, int index, Buses& b, double& seconds) {
  const double beat = 60.0 / s.bpm, six = beat / 4, barSec = 4 * beat;
  int bars = int(std::ceil(60.0 / barSec / 8.0)) * 8;
  seconds = bars * barSec;
  size_t n = size_t(std::llround(seconds * kSampleRate));
  b.centre.assign(n, 0), b.left.assign(n, 0), b.right.assign(n, 0);
  Dice dice(1000 + index);
  std::vector<Note> melA = Melody(s, s.progA, dice), melB = Melody(s, s.progB, dice);
  std::vector<Note> melA2 = melA;  // the return of A with a varied ending
  for (Note& note : melA2)
    if (note.bar >= 6 && note.bar < 7) note.degree += (dice.Int(3) - 1);
  uint32_t seed = 1;
  const bool calm = !s.busyLead;
  for (int bar = 0; bar < bars; ++bar) {
    int section = (bar / 8) % 4;  // A B A' B
    const int* prog = section % 2 ? s.progB : s.progA;
    int chord = prog[bar % 8];
    double t0 = bar * barSec;
    // Pad: the triad held through the bar.
    for (int k = 0; k < 3; ++k) {
      Tone t{t0, barSec, Wave::Saw, NoteHz(ScaleNote(s, chord + 2 * k)), 0, calm ? 0.045 : 0.035};
      t.f1 = t.f0, t.attack = 0.08, t.release = 0.1, t.cutoff = 1200;
      AddTone(b.centre, t, seed++, true);
    }
    // Bass.
    int root = ScaleNote(s, chord) - 24, fifth = ScaleNote(s, chord + 4) - 24;
    if (s.bassKind == 0) {
      Tone t{t0, barSec, Wave::Triangle, NoteHz(root), NoteHz(root), 0.3};
      t.attack = 0.02, t.release = 0.1, t.decay = 0.3;
      AddTone(b.centre, t, seed++, true);
    } else {
      int steps = s.bassKind == 1 ? 4 : 8;
      for (int i = 0; i < steps; ++i) {
        int note = s.bassKind == 1 && i % 2 ? fifth : (s.bassKind == 2 && i % 4 == 3 ? root + 12 : root);
        Tone t{t0 + i * barSec / steps, barSec / steps * 0.9, Wave::Square, NoteHz(note), NoteHz(note), 0.16};
        t.cutoff = 600, t.decay = 2, t.release = 0.02;
        AddTone(b.centre, t, seed++, true);
      }
    }
    // Arpeggio.
    if (s.arpKind != 3) {
      int steps = s.arpKind == 2 ? 8 : 16;
      static const int kUpDown[6] = {0, 1, 2, 3, 2, 1}, kBroken[4] = {0, 2, 1, 2};
      for (int i = 0; i < steps; ++i) {
        int k = s.arpKind == 1 ? kUpDown[i % 6] : s.arpKind == 2 ? kBroken[i % 4] : i % 4;
        int note = ScaleNote(s, chord + 2 * (k % 3)) + (k == 3 ? 12 : 0);
        Tone t{t0 + i * barSec / steps, barSec / steps, s.arpKind == 2 ? Wave::Triangle : Wave::Square,
               NoteHz(note), NoteHz(note), calm ? 0.09 : 0.06};
        t.duty = 0.25, t.decay = calm ? 4 : 10, t.cutoff = 2500;
        AddTone(b.left, t, seed++, true);
      }
    }
    // Lead.
    const std::vector<Note>& mel = section == 1 || section == 3 ? melB : section == 2 ? melA2 : melA;
    for (const Note& note : mel) {
      if (note.bar != bar % 8) continue;
      double len = note.len * six;
      Tone t{t0 + note.at * six, len * 0.95, s.lead, NoteHz(ScaleNote(s, note.degree)), 0, calm ? 0.2 : 0.15};
      t.f1 = t.f0, t.attack = 0.01, t.release = 0.05, t.decay = calm ? 0.8 : 1.5, t.cutoff = s.leadCutoff;
      t.vibrato = len > beat ? 0.15 : 0;
      AddTone(b.right, t, seed++, true);
    }
    // Drums.
    for (int i = 0; i < 16 && s.drumKind > 0; ++i) {
      double at = t0 + i * six;
      bool kick = s.drumKind == 3 ? i % 4 == 0 : (i == 0 || i == 8 || (s.drumKind == 2 && i == 10));
      bool snare = s.drumKind >= 2 && (i == 4 || i == 12);
      bool hat = s.drumKind == 3 ? true : s.drumKind == 2 ? i % 2 == 0 : i % 4 == 2;
      if (kick) {
        Tone t{at, 0.25, Wave::Sine, 130, 40, s.drumKind == 1 ? 0.3 : 0.55};
        t.decay = 12, t.attack = 0.001;
        AddTone(b.centre, t, seed++, true);
      }
      if (snare) {
        Tone t{at, 0.18, Wave::Noise, 1, 1, 0.3};
        t.decay = 18, t.cutoff = 5000, t.attack = 0.001;
        AddTone(b.centre, t, seed++, true);
        Tone body{at, 0.1, Wave::Triangle, 190, 160, 0.2};
        body.decay = 25;
        AddTone(b.centre, body, seed++, true);
      }
      if (hat) {
        Tone t{at, 0.05, Wave::Noise, 1, 1, s.drumKind == 1 ? 0.05 : 0.08};
        t.decay = 60, t.attack = 0.001;
        AddTone(b.left, t, seed++, true);
      }
    }
  }
}

bool EncodeMp3(const std::string& path, const std::vector<int16_t>& stereo) {
  FILE* f = std::fopen(path.c_str(), "w+b");
  if (!f) return false;
  lame_global_flags* gf = lame_init();
  lame_set_num_channels(gf, 2);
  lame_set_in_samplerate(gf, kSampleRate);
  lame_set_out_samplerate(gf, kSampleRate);
  lame_set_brate(gf, 128);
  lame_set_mode(gf, JOINT_STEREO);
  lame_set_quality(gf, 7);
  lame_set_bWriteVbrTag(gf, 1);  // the Info tag carries delay and padding for gapless loops
  bool ok = lame_init_params(gf) >= 0;
  std::vector<unsigned char> out(1 << 16);
  const int chunk = 8192;
  size_t frames = stereo.size() / 2;
  for (size_t i = 0; ok && i < frames; i += chunk) {
    int count = int(std::min<size_t>(chunk, frames - i));
    if (out.size() < size_t(1.25 * count + 7200)) out.resize(size_t(1.25 * count + 7200));
    int got = lame_encode_buffer_interleaved(gf, const_cast<short*>(stereo.data() + 2 * i), count,
                                             out.data(), int(out.size()));
    ok = got >= 0 && std::fwrite(out.data(), 1, size_t(got), f) == size_t(got);
  }
  if (ok) {
    int got = lame_encode_flush(gf, out.data(), int(out.size()));
    ok = got >= 0 && std::fwrite(out.data(), 1, size_t(got), f) == size_t(got);
  }
  if (ok) lame_mp3_tags_fid(gf, f);
  lame_close(gf);
  return std::fclose(f) == 0 && ok;
}

bool MakeTrack(const std::string& dir, int index) {
  Buses b;
  double seconds = 0;
  RenderTrack(kStyles[index], index, b, seconds);
  size_t n = b.centre.size();
  std::vector<float> mix(2 * n);
  float peak = 1e-6f;
  for (size_t i = 0; i < n; ++i) {
    float l = b.centre[i] + 0.75f * b.left[i] + 0.45f * b.right[i];
    float r = b.centre[i] + 0.45f * b.left[i] + 0.75f * b.right[i];
    mix[2 * i] = std::tanh(l), mix[2 * i + 1] = std::tanh(r);
    peak = std::max({peak, std::fabs(mix[2 * i]), std::fabs(mix[2 * i + 1])});
  }
  std::vector<int16_t> pcm(2 * n);
  // Mastered to -10 dBFS so that the decoded track, encoder overshoot included, stays
  // under -9 dBFS at full volume and leaves the effects room above it.
  const float level = float(std::pow(10.0, -10.0 / 20));
  for (size_t i = 0; i < 2 * n; ++i) pcm[i] = int16_t(std::lround(mix[i] / peak * level * 32767));
  char name[32];
  std::snprintf(name, sizeof name, "/bgm%02d.mp3", index);
  if (EncodeMp3(dir + name, pcm)) return true;
  std::fprintf(stderr, "assetgen: cannot write %s%s\n", dir.c_str(), name);
  return false;
}
}  // namespace

bool GenerateMusic(const std::string& dir, int threads) {
  std::atomic<int> next{0};
  std::atomic<bool> ok{true};
  std::vector<std::thread> pool;
  for (int t = 0; t < std::max(1, threads); ++t)
    pool.emplace_back([&] {
      for (int i; (i = next++) < 18;)
        if (!MakeTrack(dir, i)) ok = false;
    });
  for (std::thread& t : pool) t.join();
  return ok;
}
