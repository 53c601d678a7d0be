// Helper of tools/clickcheck.sh.
//
//   clickcheck tones <game sound folder> <game music folder> <out folder>
//     writes out/sound/seNN.wav and out/music/bgmNN.mp3: for each game sound a
//     smooth low tone of the same length (a WAVE under the music's name plays too,
//     as the converter goes by the content), so that any step in the mix beyond what
//     the tones hold comes from the mixer, not from the sounds.
//   clickcheck measure <out folder> <raw output>
//     measures the largest neighbouring-sample step of every tone, picks the bound
//     from it, and checks the raw 16-bit stereo output of a play against it.
#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kAmplitude = 8000;
// Low, so that a tone steps little while a voice cut anywhere but near a zero
// crossing steps a good part of its level.
constexpr double kHertz = 20;
constexpr int kEnvelopeFrames = kRate / 50;  // 20 ms in and out: the tone holds no edge
// The most voices that sound at once: three buffers for each of the 20 effects and
// the music.
constexpr int kMostVoices = 20 * 3 + 1;

std::vector<char> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint32_t U32(const char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// The frames of a 16-bit mono WAVE (the only kind the tones are written as), or of
// the game's own effects (16-bit mono too); 0 when it is something else.
uint32_t WaveFrames(const std::vector<char>& w, std::vector<int16_t>* samples = nullptr) {
  if (w.size() < 12 || std::memcmp(w.data(), "RIFF", 4) != 0 || std::memcmp(w.data() + 8, "WAVE", 4) != 0) return 0;
  size_t at = 12;
  uint16_t channels = 0, bits = 0;
  while (at + 8 <= w.size()) {
    const uint32_t size = U32(w.data() + at + 4);
    if (std::memcmp(w.data() + at, "fmt ", 4) == 0 && at + 24 <= w.size()) {
      std::memcpy(&channels, w.data() + at + 10, 2);
      std::memcpy(&bits, w.data() + at + 22, 2);
    } else if (std::memcmp(w.data() + at, "data", 4) == 0) {
      if (channels != 1 || bits != 16) return 0;
      const uint32_t bytes = static_cast<uint32_t>(std::min<size_t>(size, w.size() - at - 8));
      if (samples != nullptr) {
        samples->resize(bytes / 2);
        std::memcpy(samples->data(), w.data() + at + 8, samples->size() * 2);
      }
      return bytes / 2;
    }
    at += 8 + size + (size & 1);
  }
  return 0;
}

void WriteTone(const std::string& path, uint32_t frames) {
  std::vector<int16_t> pcm(frames);
  for (uint32_t i = 0; i < frames; ++i) {
    const double edge = std::min({1.0, double(i) / kEnvelopeFrames, double(frames - 1 - i) / kEnvelopeFrames});
    pcm[i] = static_cast<int16_t>(std::lround(kAmplitude * edge * std::sin(2 * M_PI * kHertz * i / kRate)));
  }
  const uint32_t bytes = frames * 2;
  std::ofstream out(path, std::ios::binary);
  auto put32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto put16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  out.write("RIFF", 4);
  put32(36 + bytes);
  out.write("WAVEfmt ", 8);
  put32(16);
  put16(1);
  put16(1);
  put32(kRate);
  put32(kRate * 2);
  put16(2);
  put16(16);
  out.write("data", 4);
  put32(bytes);
  out.write(reinterpret_cast<const char*>(pcm.data()), bytes);
}

std::vector<std::string> FilesIn(const std::string& folder, const char* suffix) {
  std::vector<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n.size() > std::strlen(suffix) && n.compare(n.size() - std::strlen(suffix), std::string::npos, suffix) == 0)
        names.push_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

int Tones(const std::string& sounds, const std::string& music, const std::string& out) {
  int made = 0;
  for (const std::string& n : FilesIn(sounds, ".wav")) {
    const uint32_t frames = WaveFrames(ReadFile(sounds + "/" + n));
    if (frames == 0) {
      std::fprintf(stderr, "%s: not a 16-bit mono WAVE\n", n.c_str());
      return 1;
    }
    // The effects keep their lengths, so the play overlaps and restarts them as it
    // does the real ones.
    WriteTone(out + "/sound/" + n, std::max<uint32_t>(frames, 2 * kEnvelopeFrames));
    ++made;
  }
  for (const std::string& n : FilesIn(music, ".mp3")) WriteTone(out + "/music/" + n, 8 * kRate);
  return made > 0 ? 0 : 1;
}

int LargestStep(const std::vector<int16_t>& s, size_t stride) {
  int most = 0;
  for (size_t i = stride; i < s.size(); ++i) most = std::max(most, std::abs(s[i] - s[i - stride]));
  return most;
}

int Measure(const std::string& folder, const std::string& raw) {
  int own = 0;
  for (const char* sub : {"/sound", "/music"}) {
    for (const char* suffix : {".wav", ".mp3"}) {
      for (const std::string& n : FilesIn(folder + sub, suffix)) {
        std::vector<int16_t> s;
        if (WaveFrames(ReadFile(folder + sub + "/" + n), &s) == 0) continue;
        s.push_back(0);  // a sound played to its end falls back to silence
        own = std::max(own, LargestStep(s, 1));
      }
    }
  }
  // Every voice stepping its most in the same direction at the same sample is the
  // most the sounds themselves can move the mix.
  const int bound = own * kMostVoices;
  const std::vector<char> bytes = ReadFile(raw);
  std::vector<int16_t> out(bytes.size() / 2);
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  int largest = 0, over = 0;
  size_t at = 0;
  for (size_t i = 2; i < out.size(); ++i) {
    const int step = std::abs(out[i] - out[i - 2]);
    if (step > bound) ++over;
    if (step > largest) largest = step, at = i;
  }
  std::printf("%zu frames (%.1f s); largest step in a sound %d, bound %d (x%d voices); "
              "largest step in the mix %d at %.3f s; %d steps over the bound\n",
              out.size() / 2, out.size() / 2.0 / kRate, own, bound, kMostVoices, largest, at / 2.0 / kRate, over);
  return out.empty() || own == 0 || over > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "tones") == 0) return Tones(argv[2], argv[3], argv[4]);
  if (argc == 4 && std::strcmp(argv[1], "measure") == 0) return Measure(argv[2], argv[3]);
  std::fprintf(stderr, "usage: %s tones <sound folder> <music folder> <out> | measure <folder> <raw>\n", argv[0]);
  return 2;
}
