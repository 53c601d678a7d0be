// End to end through SDL's disk audio driver: music and two effects over it, as the
// game plays them, captured to a file and checked against the decoded sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "host/audio/output.h"
#include "platform/log.h"
#include "platform/util.h"
#include "sound/music.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"
#include "tests/sound/test_media.h"

namespace {

template <class Container>
std::vector<int16_t> Samples(const Container& b) {
  std::vector<int16_t> s(b.size() / 2);
  std::memcpy(s.data(), b.data(), s.size() * 2);
  return s;
}

// Where `needle` starts in `hay`, or -1.
int64_t Find(const std::vector<int16_t>& hay, const std::vector<int16_t>& needle, size_t from = 0) {
  auto it = std::search(hay.begin() + static_cast<int64_t>(from), hay.end(), needle.begin(), needle.end());
  return it == hay.end() ? -1 : it - hay.begin();
}

}  // namespace

TEST(DiskOutput, MusicLoopsWithoutAGapAndEffectsSoundOverIt) {
  TempDir temp;
  const std::string& dir = temp.path();
  std::string capture = dir + "/out.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "10", 1);  // about twice real time
  StartLog(dir.c_str());
  g_processorCount = 1;  // this test runs the refills itself, as the pump would
  UseManualAudioOutput(false);
  ASSERT_EQ(InitSoundSystem(), 0);

  // Quiet music, loud effects: where they overlap nothing clips.
  std::vector<int16_t> tone = TestTone(44100, 2, 44100, 51);
  for (auto& v : tone) v = static_cast<int16_t>(v / 4);
  Bytes mp3 = EncodeMp3(tone, 2, 44100, 192);
  std::vector<int16_t> music = Samples(DecodeMp3WithMpg123(mp3));
  ASSERT_TRUE(WriteWholeFile(dir + "/title.mp3", mp3));
  std::vector<int16_t> burst(4410 * 2);
  for (size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<int16_t>((i / 2) % 50 < 25 ? 12000 : -12000);
  Bytes wave = MakeWave({1, 2, 44100, 16}, AsBytes(burst));
  int effect = LoadSoundData(wave.data(), static_cast<int>(wave.size()), 3, -1);
  ASSERT_NE(effect, -1);

  auto captured = [&] {
    std::error_code ec;
    auto size = std::filesystem::file_size(capture, ec);
    return ec ? 0.0 : static_cast<double>(size) / 176400.0;
  };
  ASSERT_EQ(PlayMusicFile((dir + "/title.mp3").c_str(), 3), 0);
  // Effects 0.4 s into the music and 0.55 s into its second pass, clear of the loop.
  const double t0 = captured();
  bool first = false, second = false;
  while (captured() < t0 + 3.0) {
    ProcessStreamSounds();
    if (!first && captured() > t0 + 0.4) first = PlaySoundHandle(effect, 1, 1) == 0;
    if (!second && captured() > t0 + 1.6) second = PlaySoundHandle(effect, 1, 1) == 0;
    std::this_thread::yield();
  }
  // What was mixed before the end began: the end stops the music first.
  const size_t mixedWhilePlaying = static_cast<size_t>(captured() * 88200.0);
  ASSERT_EQ(EndSoundSystem(), 0);
  UseManualAudioOutput(true);
  std::vector<int16_t> out = Samples(ReadWholeFile(capture));
  ASSERT_GT(out.size(), 44100u * 2 * 3);
  out.resize(std::min(out.size(), mixedWhilePlaying));

  // Where the music starts, then the music all along (around the effects), its loop
  // point included: the end of the file runs straight into its beginning.
  std::vector<int16_t> head(music.begin() + 4000, music.begin() + 6000);
  int64_t start = Find(out, head);
  ASSERT_GE(start, 4000);
  start -= 4000;
  std::vector<int64_t> onsets;
  size_t checked = 0;
  for (size_t i = static_cast<size_t>(start); i < out.size(); ++i) {
    int16_t m = music[(i - start) % music.size()];
    if (out[i] == m) {
      ++checked;
      continue;
    }
    // An effect: it must be the burst exactly, over the music.
    int64_t at = static_cast<int64_t>(i - i % 2);
    onsets.push_back(at);
    for (size_t k = 0; k < burst.size() && at + static_cast<int64_t>(k) < static_cast<int64_t>(out.size()); ++k) {
      size_t j = static_cast<size_t>(at) + k;
      ASSERT_EQ(out[j], music[(j - start) % music.size()] + burst[k]) << "effect sample " << k << " at " << j;
    }
    i = static_cast<size_t>(at) + burst.size() - 1;
  }
  ASSERT_EQ(onsets.size(), 2u);
  double firstAt = static_cast<double>(onsets[0] - start) / 88200.0;
  double secondAt = static_cast<double>(onsets[1] - start) / 88200.0;
  EXPECT_GT(firstAt, 0.2);
  EXPECT_GT(secondAt - firstAt, 1.0);
  EXPECT_GT(out.size() - static_cast<size_t>(start), music.size() * 2);  // looped twice at least
  EXPECT_GT(checked, music.size());
}

TEST(DiskOutput, NoAudioDeviceLeavesTheGameSilentNotBroken) {
  TempDir dir;
  StartLog(dir.path().c_str());
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  UseManualAudioOutput(false);
  EXPECT_EQ(InitSoundSystem(), -1);
  EXPECT_NE(ReadWholeFile(dir.File("Log.txt")).find(ShiftJis("初期化に失敗しました\r\n")), std::string::npos);
  Bytes wave = MakeWave({}, NoiseBytes(400, 1));
  EXPECT_EQ(LoadSoundData(wave.data(), static_cast<int>(wave.size()), 3, -1), -1);
  EXPECT_EQ(PlayMusicFile(dir.File("any.mp3").c_str(), 3), -1);
  EXPECT_EQ(SetMusicVolume(100), -1);
  EXPECT_EQ(StopCurrentMusic(), 0);
  EXPECT_EQ(EndSoundSystem(), -1);
  UseManualAudioOutput(true);
}
