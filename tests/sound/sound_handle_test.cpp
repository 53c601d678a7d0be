// Sound handles, effects and the game's way of playing them, on the manual clock.
#include <cmath>
#include <cstring>

#include "host/audio/mixer.h"
#include "platform/window.h"
#include "tests/sound/sound_fixture.h"

namespace {

// 16-bit stereo at the output rate, quiet enough that overlapping copies never clip.
Bytes EffectPcm(int frames, uint32_t seed) {
  std::vector<int16_t> s = TestTone(frames, 2, 44100, seed);
  for (auto& v : s) v = static_cast<int16_t>(v / 4);
  return AsBytes(s);
}

int16_t At(const Bytes& pcm, size_t frame, int ch) {
  int16_t v;
  std::memcpy(&v, pcm.data() + frame * 4 + ch * 2, 2);
  return v;
}

int LoadWave(const Bytes& pcm, int buffers, WaveSpec spec = {1, 2, 44100, 16}) {
  Bytes wave = MakeWave(spec, pcm);
  return LoadSoundData(wave.data(), static_cast<int>(wave.size()), buffers, -1);
}

}  // namespace

TEST_F(SoundTest, StartAndEndWriteTheirLogLinesAndRefuseTwice) {
  EXPECT_EQ(InitSoundSystem(), -1);
  EXPECT_TRUE(LogHas("DirectSound の初期化を行います\n"));
  EXPECT_TRUE(LogHas("DirectSound インターフェースの取得を行います....  成功\n"));
  EXPECT_TRUE(LogHas("モジュール名:   manual-clock  ドライバ記述:Primary Sound Driver \n"));
  EXPECT_TRUE(LogHas(" プライマリ １６bit = OK  ８bit = OK "));
  EXPECT_TRUE(LogHas("DirectSound の初期化は正常に終了しました\n"));
  EXPECT_EQ(EndSoundSystem(), 0);
  EXPECT_TRUE(LogHas("DirectSound の終了処理は正常に終了しました\n"));
  EXPECT_EQ(EndSoundSystem(), -1);

  // A device that cannot be had leaves every sound function at -1.
  FailNextAudioDeviceCreation();
  EXPECT_EQ(InitSoundSystem(), -1);
  EXPECT_TRUE(LogHas("DirectSoundインターフェースの作成に失敗しました\n"));
  Bytes wave = MakeWave({}, EffectPcm(100, 1));
  EXPECT_EQ(LoadSoundData(wave.data(), static_cast<int>(wave.size()), 3, -1), -1);
  EXPECT_EQ(AddSoundData(-1), -1);
  EXPECT_EQ(PlaySoundHandle(0x10000000, 1, 1), -1);
  EXPECT_EQ(DeleteAllSoundHandles(), -1);
  ASSERT_EQ(InitSoundSystem(), 0);
  out_ = CurrentManualAudioOutput();
}

// The slot and check-number rules are the handle table's own (tested with it): here
// the sound type, the full table's refusal and its log line.
TEST_F(SoundTest, HandlesCarryTheSoundTypeAndAFullTableRefusesUntilCleared) {
  for (int i = 0; i < kSoundHandleCapacity; ++i) {
    const int h = AddSoundData(-1);
    ASSERT_EQ(h & 0x7800FFFF, 0x10000000 | i) << i;
  }
  EXPECT_EQ(AddSoundData(-1), -1);
  EXPECT_TRUE(LogHas("サウンドの数が許容量を越えました\n"));
  EXPECT_EQ(DeleteAllSoundHandles(), 0);
  EXPECT_EQ(AddSoundData(-1) & 0xFFFF, 0);
}

TEST_F(SoundTest, VolumeBecomesHundredthsOfADecibel) {
  int h = LoadWave(EffectPcm(100, 1), 2);
  ASSERT_NE(h, -1);
  struct Case {
    int volume, decibels;
  } cases[] = {{300, 0}, {255, 0}, {128, -299}, {64, -600}, {1, -2407}, {0, -10000}, {-5, -10000}};
  for (const Case& c : cases) {
    ASSERT_EQ(SetSoundHandleVolume(c.volume, h), 0);
    for (int i = 0; i < 2; ++i) {
      int v = 1;
      BufferOf(h, i)->GetVolume(&v);
      EXPECT_EQ(v, c.decibels) << c.volume;
    }
  }
  EXPECT_EQ(SetSoundHandleVolume(10, h + 1), -1);
}

TEST_F(SoundTest, ThreeBufferEffectOverlapsThreePlaysAndRestartsTheOldest) {
  const int frames = 1000;
  Bytes pcm = EffectPcm(frames, 7);
  int h = LoadWave(pcm, 3);
  ASSERT_NE(h, -1);
  uint32_t ids[3];
  for (int i = 0; i < 3; ++i) ids[i] = BufferOf(h, i)->id();
  // Plays at frames 0, 100, 200 and 300 take buffers 1, 2, 0 and 1 again; the restart
  // fades the cut play of buffer 1 out over the mixer's ramp instead of cutting it.
  for (int p = 0; p < 4; ++p) {
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    EXPECT_EQ(GetSoundRecord(h)->currentBuffer, (p + 1) % 3);
    out_->Advance(100);
  }
  std::vector<int16_t> mixed = out_->TakeCaptured();
  for (size_t t = 0; t < 400; ++t) {
    for (int ch = 0; ch < 2; ++ch) {
      int32_t want = At(pcm, t < 300 ? t : t - 300, ch);  // buffer 1, restarted at 300
      if (t >= 100) want += At(pcm, t - 100, ch);
      if (t >= 200) want += At(pcm, t - 200, ch);
      if (t >= 300) {
        const int64_t ramp = AudioMixer::kFadeFrames - static_cast<int64_t>(t - 300) - 1;
        want += static_cast<int32_t>(int64_t{At(pcm, t, ch)} * 65536 * ramp / AudioMixer::kFadeFrames >> 16);
      }
      ASSERT_EQ(mixed[2 * t + ch], want) << t;
    }
  }
  out_->Advance(2000);
  EXPECT_EQ(CheckSoundHandlePlaying(h), 0);
  Bytes firstPart(pcm.begin(), pcm.begin() + 300 * 4);
  Bytes restarted = firstPart;
  restarted.insert(restarted.end(), pcm.begin(), pcm.end());
  EXPECT_EQ(out_->PlayedBytes(ids[1]), restarted);
  EXPECT_EQ(out_->PlayedBytes(ids[2]), pcm);
  EXPECT_EQ(out_->PlayedBytes(ids[0]), pcm);
}

TEST_F(SoundTest, VolumeStopAndResumeActAtOnce) {
  Bytes pcm = EffectPcm(2000, 3);
  int h = LoadWave(pcm, 1);
  ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
  out_->Advance(100);
  ASSERT_EQ(SetSoundHandleVolume(64, h), 0);
  out_->Advance(10);
  std::vector<int16_t> mixed = out_->TakeCaptured();
  int32_t gain = static_cast<int32_t>(std::lround(65536 * std::pow(10.0, -600 / 2000.0)));
  EXPECT_EQ(mixed[200], (At(pcm, 100, 0) * gain) >> 16);
  EXPECT_EQ(mixed[2 * 105 + 1], (At(pcm, 105, 1) * gain) >> 16);
  ASSERT_EQ(StopSoundHandle(h), 0);
  EXPECT_EQ(CheckSoundHandlePlaying(h), 0);
  // The stop fades the voice out within the ramp; silence follows.
  out_->Advance(AudioMixer::kFadeFrames + 50);
  std::vector<int16_t> stopped = out_->TakeCaptured();
  for (size_t i = 2 * AudioMixer::kFadeFrames; i < stopped.size(); ++i) ASSERT_EQ(stopped[i], 0) << i;
  // One buffer, restart 0: the play resumes where the stop left it.
  ASSERT_EQ(PlaySoundHandle(h, 1, 0), 0);
  out_->Advance(1);
  EXPECT_EQ(out_->TakeCaptured()[0], (At(pcm, 110, 0) * gain) >> 16);
  EXPECT_EQ(GetSoundCurrentTime(h), 111 * 1000 / 44100);
  EXPECT_EQ(GetSoundTotalSamples(h), 2000);
  EXPECT_EQ(GetSoundTotalTime(h), 2000 * 1000 / 44100);
  // Restart 0 while it still sounds: nothing changes.
  ASSERT_EQ(PlaySoundHandle(h, 1, 0), 0);
  uint32_t cursor = 0;
  BufferOf(h, 0)->GetCurrentPosition(&cursor, nullptr);
  EXPECT_EQ(cursor, 111u * 4);
}

namespace {
int g_pumpPasses = 0;
void CountPass() { ++g_pumpPasses; }
}  // namespace

TEST_F(SoundTest, PlayTypeZeroReturnsAfterTheSoundEndedWhileThePumpRuns) {
  Bytes pcm = EffectPcm(4410, 5);  // 100 ms
  int h = LoadWave(pcm, 3);
  SetPumpEntry(PumpEntry::ProcessMusicStates, CountPass);
  g_pumpPasses = 0;
  int64_t before = out_->framesMixed();
  ASSERT_EQ(PlaySoundHandle(h, 0, 1), 0);
  SetPumpEntry(PumpEntry::ProcessMusicStates, nullptr);
  EXPECT_GE(out_->framesMixed() - before, 4410);
  EXPECT_LT(out_->framesMixed() - before, 4410 + 2 * 441);
  EXPECT_EQ(CheckSoundHandlePlaying(h), 0);
  EXPECT_GE(g_pumpPasses, 100);  // one pass per millisecond waited
  EXPECT_EQ(out_->PlayedBytes(BufferOf(h, 1)->id()), pcm);
}

TEST_F(SoundTest, BadLoadsFailCleanlyWithTheirLogLines) {
  // No buffers: a handle that plays nothing, and the next-buffer rule stays in range.
  int none = LoadWave(EffectPcm(100, 1), 0);
  ASSERT_NE(none, -1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(PlaySoundHandle(none, 1, 1), -1);
    EXPECT_EQ(GetSoundRecord(none)->currentBuffer, 0);
  }
  // Too many buffers: LoadSoundData refuses, LoadSoundFile takes 10.
  Bytes wave = MakeWave({}, EffectPcm(100, 1));
  EXPECT_EQ(LoadSoundData(wave.data(), static_cast<int>(wave.size()), 11, -1), -1);
  ASSERT_TRUE(WriteWholeFile(File("ten.wav"), wave));
  int ten = LoadSoundFile(File("ten.wav").c_str(), 11, -1);
  ASSERT_NE(ten, -1);
  EXPECT_EQ(GetSoundRecord(ten)->bufferCount, 10);

  EXPECT_EQ(LoadSoundFile(File("missing.wav").c_str(), 3, -1), -1);
  EXPECT_TRUE(LogHas("右記のファイルのオープンに失敗しました：" + File("missing.wav")));
  EXPECT_TRUE(LogHas("右記の音声ファイルのロードに失敗しました_1：" + File("missing.wav")));

  Bytes broken = MakeWave({1, 0, 44100, 16, 4, 176400, 18}, EffectPcm(100, 1));
  ASSERT_TRUE(WriteWholeFile(File("broken.wav"), broken));
  EXPECT_EQ(LoadSoundFile(File("broken.wav").c_str(), 3, -1), -1);
  EXPECT_TRUE(LogHas("音声ファイルのＰＣＭへの変換に失敗しました"));
  EXPECT_TRUE(LogHas("右記の音声ファイルのロードに失敗しました_2：" + File("broken.wav")));

  // Buffers the device refuses are logged, and the sound streams instead.
  out_->FailNextBufferCreations(2);
  int streamed = LoadSoundData(wave.data(), static_cast<int>(wave.size()), 3, -1);
  ASSERT_NE(streamed, -1);
  EXPECT_TRUE(LogHas("DirectSoundBuffer の作成に失敗しました\n"));
  EXPECT_EQ(GetSoundRecord(streamed)->kind, kStreamSound);
  EXPECT_EQ(g_soundCreateMode, 0);
  // When not even the stream buffer can be made, the load fails; the program goes on.
  out_->FailNextBufferCreations(3);
  EXPECT_EQ(LoadSoundData(wave.data(), static_cast<int>(wave.size()), 3, -1), -1);
  EXPECT_TRUE(LogHas("ストリーム風サウンドバッファの作成に失敗しました\n"));
  EXPECT_EQ(g_soundHandles.count(), 3);

  // Files the device cannot play fail their load; the program goes on.
  for (WaveSpec unplayable : {WaveSpec{1, 3, 44100, 16}, WaveSpec{1, 2, 250000, 16}, WaveSpec{1, 1, 50, 8}}) {
    Bytes bad = MakeWave(unplayable, NoiseBytes(unplayable.channels * unplayable.bits / 8 * 200, 2));
    EXPECT_EQ(LoadSoundData(bad.data(), static_cast<int>(bad.size()), 3, -1), -1) << unplayable.channels << " " << unplayable.rate;
  }
  EXPECT_EQ(g_soundHandles.count(), 3);

  EXPECT_EQ(SetSoundCreateMode(1), 0);
  EXPECT_EQ(GetSoundCreateMode(), 0);
  EXPECT_EQ(SetSoundCreateMode(4), -1);
  EXPECT_EQ(SetSoundCreateMode(-1), -1);
  EXPECT_EQ(GetSoundCreateMode(), 0);
}

TEST_F(SoundTest, EightBitWaveKeepsItsBytesAndTheMemoryLimitIs180Seconds) {
  WaveSpec slow{1, 1, 100, 8};  // 100 bytes a second
  Bytes under = NoiseBytes(18090, 4);  // 180.9 s
  int h = LoadWave(under, 1, slow);
  ASSERT_NE(h, -1);
  EXPECT_EQ(GetSoundRecord(h)->kind, kMemorySound);
  EXPECT_EQ(GetSoundRecord(h)->frequency, 100);
  EXPECT_EQ(GetSoundTotalTime(h), 180900);
  int over = LoadWave(NoiseBytes(18100, 5), 1, slow);  // 181 s streams
  ASSERT_NE(over, -1);
  EXPECT_EQ(GetSoundRecord(over)->kind, kStreamSound);
  Bytes head(under.begin(), under.begin() + 441);
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
  out_->Advance(441 * 442);  // a little over 441 source frames at 100 Hz
  Bytes played = out_->PlayedBytes(BufferOf(h, 0)->id());
  ASSERT_GE(played.size(), 441u);
  EXPECT_EQ(Bytes(played.begin(), played.begin() + 441), head);
}

// Data that ends inside a 16-bit stereo sample: the whole samples load and play, the
// odd bytes are dropped and the log says so.
TEST_F(SoundTest, AWaveEndingInPartOfASampleKeepsItsWholeSamples) {
  const Bytes pcm = EffectPcm(300, 6);
  for (size_t extra : {1u, 3u}) {
    Bytes cut = pcm;
    cut.insert(cut.end(), pcm.begin(), pcm.begin() + static_cast<long>(extra));
    const int h = LoadWave(cut, 1);
    ASSERT_NE(h, -1) << extra;
    EXPECT_EQ(GetSoundRecord(h)->kind, kMemorySound);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    out_->Advance(400);
    EXPECT_EQ(out_->PlayedBytes(BufferOf(h, 0)->id()), pcm) << extra;
    EXPECT_TRUE(LogHas("ends inside a sample: its last " + std::to_string(extra) + " bytes are dropped"));
  }
}
