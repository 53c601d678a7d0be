// Music: MP3 as a looping stream sound, MIDI through the sequencer stand-in.
#include <cstdio>
#include <cstring>

#include "host/audio/mixer.h"
#include "host/mci/mci.h"
#include "platform/window.h"
#include "sound/music.h"
#include "tests/sound/sound_fixture.h"

namespace {

void PutBe32(Bytes& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
}

Bytes Track(const Bytes& events) {
  Bytes t = {'M', 'T', 'r', 'k'};
  PutBe32(t, static_cast<uint32_t>(events.size() + 4));
  t.insert(t.end(), events.begin(), events.end());
  t.insert(t.end(), {0x00, 0xFF, 0x2F, 0x00});
  return t;
}

Bytes Smf(int format, uint16_t division, const std::vector<Bytes>& tracks) {
  Bytes b = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<uint8_t>(format), 0,
             static_cast<uint8_t>(tracks.size()), static_cast<uint8_t>(division >> 8),
             static_cast<uint8_t>(division)};
  for (const Bytes& t : tracks) {
    Bytes tr = Track(t);
    b.insert(b.end(), tr.begin(), tr.end());
  }
  return b;
}

Bytes Tempo(uint32_t us) { return {0x00, 0xFF, 0x51, 0x03, static_cast<uint8_t>(us >> 16), static_cast<uint8_t>(us >> 8), static_cast<uint8_t>(us)}; }

// A note held for `ticks` (delta written as two-byte variable length when needed).
Bytes Note(uint32_t ticks, uint8_t key = 60) {
  Bytes e = {0x00, 0x90, key, 100};
  if (ticks < 128) e.push_back(static_cast<uint8_t>(ticks));
  else e.insert(e.end(), {static_cast<uint8_t>(0x80 | (ticks >> 7)), static_cast<uint8_t>(ticks & 0x7F)});
  e.insert(e.end(), {key, 0});  // running status, velocity 0 = off
  return e;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

int g_notifies = 0;

}  // namespace

TEST(MidiLength, FollowsTempoChangesAndBothTimeDivisions) {
  Bytes plain = Smf(0, 96, {Note(192)});
  Bytes rmid = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'M', 'I', 'D', 'd', 'a', 't', 'a'};
  Put32(rmid, static_cast<uint32_t>(plain.size()));
  rmid.insert(rmid.end(), plain.begin(), plain.end());
  Bytes truncated = plain;
  truncated.resize(truncated.size() - 3);
  struct Case {
    const char* what;
    Bytes file;
    int64_t us;
  } cases[] = {
      {"default tempo", plain, 1000000},
      {"tempo change mid-way", Smf(0, 480, {Cat({Tempo(600000), Note(480), Tempo(300000), Note(480)})}), 900000},
      {"format 1 tempo track", Smf(1, 96, {Tempo(250000), Cat({Note(200), Note(184, 64)})}), 1000000},
      {"SMPTE 25 fps, 40 ticks a frame", Smf(0, 0xE728, {Note(1000)}), 1000000},
      {"SMPTE 29.97 fps", Smf(0, 0xE30A, {Note(2997)}), 10000000},
      {"RIFF RMID wrapper", rmid, 1000000},
      {"truncated track", truncated, -1},
      {"not MIDI", NoiseBytes(400, 3), -1},
      {"header too short", Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 4, 0, 0, 0, 1, 0, 96}, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MidiFileLengthUs(c.file.data(), c.file.size()), c.us) << c.what;
  }
}

class MusicTest : public SoundTest {
 protected:
  MusicTest() : SoundTest(1) {}
  void Run(int ms) {
    for (int t = 0; t < ms; t += 30) {
      out_->Advance(1323);
      MciProcess();
      PumpWindowMessages();  // refills (one processor) and delivers the sequencer's notice
    }
  }
};

TEST_F(MusicTest, Mp3MusicLoopsAsAStreamSoundAndStopsAndChangesVolumeAtOnce) {
  Bytes mp3 = EncodeMp3(TestTone(44100, 2, 44100, 41), 2, 44100, 128);
  Bytes decoded = DecodeMp3WithMpg123(mp3);
  ASSERT_TRUE(WriteWholeFile(File("title.mp3"), mp3));
  ASSERT_EQ(PlayMusicFile(File("title.mp3").c_str(), 3), 0);
  int isSound = 0;
  int h = GetCurrentMusic(&isSound);
  ASSERT_EQ(isSound, 1);
  EXPECT_EQ(CheckSoundHandlePlaying(h), 1);
  EXPECT_FALSE(LogHas("ＭＩＤＩ演奏"));
  uint32_t id = BufferOf(h, 0)->id();
  Run(2500);
  Bytes played = out_->PlayedBytes(id);
  ASSERT_GE(played.size(), decoded.size() * 2);
  for (size_t i = 0; i < played.size(); ++i) ASSERT_EQ(played[i], decoded[i % decoded.size()]) << i;

  ASSERT_EQ(SetMusicVolume(128), 0);
  int v = 0;
  BufferOf(h, 0)->GetVolume(&v);
  EXPECT_EQ(v, -299);
  ASSERT_EQ(StopCurrentMusic(), 0);
  EXPECT_EQ(GetCurrentMusic(nullptr), 0);
  EXPECT_EQ(CheckSoundHandlePlaying(h), -1);
  out_->TakeCaptured();
  Run(100);
  std::vector<int16_t> after = out_->TakeCaptured();  // silent once the stop's fade is over
  for (size_t i = 2 * AudioMixer::kFadeFrames; i < after.size(); ++i) ASSERT_EQ(after[i], 0) << i;

  // A missing second piece leaves no music at all.
  ASSERT_EQ(PlayMusicFile(File("title.mp3").c_str(), 3), 0);
  EXPECT_EQ(PlayMusicFile(File("missing.mp3").c_str(), 3), -1);
  EXPECT_EQ(GetCurrentMusic(nullptr), 0);
  EXPECT_EQ(g_soundHandles.count(), 0);
}

TEST_F(MusicTest, MidiPlaysThroughTheSequencerAndLoopsThroughItsNotice) {
  Bytes song = Smf(0, 96, {Cat({Note(48, 60), Note(48, 64), Note(48, 67)})});  // 0.75 s
  ASSERT_TRUE(WriteWholeFile(File("song.mid"), song));
  SetMciNotifyHandler([](uintptr_t, intptr_t) {
    ++g_notifies;
    OnMciMusicNotify();
  });
  g_notifies = 0;
  ASSERT_EQ(PlayMusicFile(File("song.mid").c_str(), 3), 0);
  int isSound = 1;
  int h = GetCurrentMusic(&isSound);
  ASSERT_EQ(isSound, 0);
  EXPECT_EQ(GetMusicHandleState(h), 1);
  out_->TakeCaptured();
  Run(2000);
  EXPECT_EQ(g_notifies, 2);  // ended at 0.75 s and 1.5 s, replayed each time
  EXPECT_EQ(GetMusicHandleState(h), 1);
  std::vector<int16_t> heard = out_->TakeCaptured();
  FILE* patches = std::fopen("/etc/wildmidi/wildmidi.cfg", "r");
  if (patches != nullptr) {
    std::fclose(patches);
    int peak = 0;
    for (int16_t s : heard) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(peak, 100);  // the patch set renders real notes
  }
  // Stopped, the sequencer posts nothing.
  ASSERT_EQ(StopCurrentMusic(), 0);
  Run(1500);
  EXPECT_EQ(g_notifies, 2);

  // Played once, it closes at its end.
  ASSERT_EQ(PlayMusicFile(File("song.mid").c_str(), 1), 0);
  h = GetCurrentMusic(nullptr);
  Run(1200);
  EXPECT_EQ(g_notifies, 3);
  EXPECT_EQ(GetMusicHandleState(h), 0);
  ASSERT_EQ(SetMusicVolume(40), 0);  // nothing to reach in MIDI
  StopCurrentMusic();
  SetMciNotifyHandler([](uintptr_t, intptr_t) { OnMciMusicNotify(); });
}
