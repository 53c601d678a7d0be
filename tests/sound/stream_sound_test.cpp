// Stream sounds on the manual clock: what the buffer plays is checked byte for byte
// against the decoded sources, across refills, loops and several sources.
#include <algorithm>

#include "sound/sound_internal.h"
#include "sound/stream_sound.h"
#include "tests/sound/sound_fixture.h"

namespace {

class StreamTest : public SoundTest {
 protected:
  StreamTest() : SoundTest(1) {}  // one processor: the test drives every refill
  void SetUp() override {
    SoundTest::SetUp();
    SetSoundCreateMode(2);
  }
  // Plays `ms` milliseconds in 30 ms steps with one refill pass after each.
  void Run(int ms) {
    for (int t = 0; t < ms; t += 30) {
      out_->Advance(1323);
      ProcessStreamSounds();
    }
  }
};

Bytes Wave16(int frames, uint32_t seed, int rate = 44100) {
  return MakeWave({1, 2, static_cast<uint32_t>(rate), 16}, AsBytes(TestTone(frames, 2, rate, seed)));
}

Bytes PcmOf(const Bytes& wave) { return Bytes(wave.begin() + 44, wave.end()); }

int Load(const Bytes& image, int share = -1) {
  return LoadSoundData(image.data(), static_cast<int>(image.size()), 1, share);
}

// `played` must be `expected` repeated (looping) or `expected` then silence (once).
void ExpectStream(const Bytes& played, const Bytes& expected, bool looping, uint8_t silence,
                  size_t atLeast) {
  ASSERT_GE(played.size(), atLeast);
  for (size_t i = 0; i < played.size(); ++i) {
    uint8_t want = looping ? expected[i % expected.size()] : (i < expected.size() ? expected[i] : silence);
    ASSERT_EQ(played[i], want) << "byte " << i << " of " << played.size();
  }
}

}  // namespace

TEST_F(StreamTest, PlayedBytesEqualTheDecodedSourcesAcrossRefillsLoopsAndSources) {
  Bytes mp3Pcm;
  std::vector<int16_t> tone = TestTone(44100 * 3 / 2, 2, 44100, 11);
  Bytes mp3 = EncodeMp3(tone, 2, 44100, 160);
  Bytes mp3Decoded = DecodeMp3WithMpg123(mp3);
  // With the encoder's tag the loop holds the tone alone: no tag frame, delay or padding.
  Bytes tagged = EncodeMp3(tone, 2, 44100, 160, true);
  Bytes taggedDecoded = DecodeMp3GaplessWithMpg123(tagged);
  ASSERT_EQ(taggedDecoded.size(), tone.size() * 2);
  Bytes eight = MakeWave({1, 1, 22050, 8}, NoiseBytes(22050 * 6 / 5, 2));
  Bytes a = Wave16(44100 * 2 / 5, 3), b = Wave16(44100 / 2, 4);
  Bytes ogg = EncodeOgg(TestTone(22050, 1, 22050, 13), 1, 22050);
  struct Case {
    const char* what;
    std::vector<std::pair<Bytes, int>> sources;  // image, loop count
    int playType;
    int runMs;
    Bytes expected;
    uint8_t silence;
  } cases[] = {
      {"wave 2.5 s once", {{Wave16(44100 * 5 / 2, 1), 0}}, 1, 3500, PcmOf(Wave16(44100 * 5 / 2, 1)), 0},
      {"wave 0.2 s once, inside the first fill", {{Wave16(8820, 5), 0}}, 1, 1000, PcmOf(Wave16(8820, 5)), 0},
      {"wave 0.3 s looping", {{Wave16(13230, 6), 0}}, 3, 2500, PcmOf(Wave16(13230, 6)), 0},
      {"8-bit mono 22050 Hz looping", {{eight, 0}}, 3, 3000, PcmOf(eight), 0x7F},
      {"mp3 1.5 s looping", {{mp3, 0}}, 3, 4000, mp3Decoded, 0},
      {"mp3 with an Info tag looping without a gap", {{tagged, 0}}, 3, 4000, taggedDecoded, 0},
      {"ogg vorbis 1 s mono looping", {{ogg, 0}}, 3, 3000, DecodeOggWithVorbisfile(ogg), 0},
      {"two sources, the first twice, once", {{a, 1}, {b, 0}}, 1, 2500, {}, 0},
      {"two sources, the first twice, looping", {{a, 1}, {b, 0}}, 3, 4000, {}, 0},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.expected.empty()) {
      Bytes pa = PcmOf(a), pb = PcmOf(b);
      c.expected = pa;
      c.expected.insert(c.expected.end(), pa.begin(), pa.end());
      c.expected.insert(c.expected.end(), pb.begin(), pb.end());
    }
    int h = AddSoundData(-1);
    for (auto& [image, loops] : c.sources) {
      ASSERT_EQ(AddStreamSoundMemory(image.data(), static_cast<int>(image.size()), loops, h, 2, -1), 0);
    }
    const uint32_t ba = GetSoundRecord(h)->format.blockAlign;
    EXPECT_EQ(static_cast<uint32_t>(GetSoundTotalSamples(h)),
              c.sources.size() == 2 ? (PcmOf(a).size() + PcmOf(b).size()) / ba : c.expected.size() / ba);
    ASSERT_EQ(PlaySoundHandle(h, c.playType, 1), 0);
    uint32_t id = BufferOf(h, 0)->id();
    // The reported position follows what was played, while the sound plays.
    Run(600);
    if (c.playType == 1 && c.expected.size() > 600 * 4 * 44) {
      size_t played = out_->PlayedBytes(id).size() / ba;
      EXPECT_EQ(GetSoundCurrentTime(h), static_cast<int>(played * 1000 / GetSoundRecord(h)->format.samplesPerSec));
    }
    Run(c.runMs - 600);
    Bytes played = out_->PlayedBytes(id);
    size_t need = c.playType == 3 ? c.expected.size() + c.expected.size() / 3 : c.expected.size();
    ExpectStream(played, c.expected, c.playType == 3, c.silence, need);
    EXPECT_EQ(CheckSoundHandlePlaying(h), c.playType == 3 ? 1 : 0);
    if (c.playType == 1) {
      // Ended: the next play starts again at the beginning of the first source.
      ASSERT_EQ(PlaySoundHandle(h, 1, 0), 0);
      Run(300);
      Bytes again = out_->PlayedBytes(id);
      Bytes replay(again.begin() + played.size(), again.end());
      ExpectStream(replay, c.expected, false, c.silence, std::min<size_t>(c.expected.size(), 44100 * 4 / 4));
    }
    DeleteSoundHandle(h);
  }
}

// Silence goes where the lock's writes have got to, first part then second, in the
// format's own silent byte; a second fill carries on behind the first.
TEST(StreamSilence, FillsBothPartsOfALockFromWhereTheWritesStand) {
  for (int bits : {8, 16}) {
    SoundRecord record{};
    record.format.bitsPerSample = static_cast<uint16_t>(bits);
    const uint8_t quiet = bits == 8 ? 0x7F : 0;
    Bytes first(6, 0xAA), second(8, 0xAA);
    BufferLockRegion region{0, first.data(), second.data(), 6, 8, 2, 0, 4, 8};
    FillSoundBufferSilence(&record, &region, 10);
    FillSoundBufferSilence(&record, &region, 1);
    EXPECT_EQ(first, (Bytes{0xAA, 0xAA, quiet, quiet, quiet, quiet})) << bits;
    EXPECT_EQ(second, (Bytes{quiet, quiet, quiet, quiet, quiet, quiet, quiet, 0xAA})) << bits;
    EXPECT_EQ(region.secondRemaining, 1u);
  }
}

TEST_F(StreamTest, StopResumesWhereItStoppedAndAnEmptySoundEndsAtOnce) {
  Bytes wave = Wave16(44100 * 2, 8);
  int h = Load(wave);
  ASSERT_NE(h, -1);
  ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
  uint32_t id = BufferOf(h, 0)->id();
  Run(600);
  ASSERT_EQ(StopSoundHandle(h), 0);
  EXPECT_EQ(CheckSoundHandlePlaying(h), 0);
  size_t before = out_->PlayedBytes(id).size();
  Run(300);
  EXPECT_EQ(out_->PlayedBytes(id).size(), before);
  ASSERT_EQ(PlaySoundHandle(h, 3, 0), 0);
  Run(2500);
  ExpectStream(out_->PlayedBytes(id), PcmOf(wave), true, 0, PcmOf(wave).size() + 1000);

  // No data at all: the play ends at once, and play type 0 returns.
  int empty = Load(MakeWave({1, 2, 44100, 16}, {}));
  ASSERT_NE(empty, -1);
  ASSERT_EQ(PlaySoundHandle(empty, 0, 1), 0);
  EXPECT_EQ(CheckSoundHandlePlaying(empty), 0);
  // A short sound with play type 0 returns once it was heard whole.
  Bytes shortWave = Wave16(4410, 9);
  int quick = Load(shortWave);
  ASSERT_EQ(PlaySoundHandle(quick, 0, 1), 0);
  ExpectStream(out_->PlayedBytes(BufferOf(quick, 0)->id()), PcmOf(shortWave), false, 0, PcmOf(shortWave).size());
}

TEST_F(StreamTest, LoopPointIsPassedWhenTheCursorReachesItGoingForward) {
  int h = Load(Wave16(44100, 1));
  ASSERT_NE(h, -1);
  SoundRecord* r = GetSoundRecord(h);
  StreamState* st = r->stream;
  ASSERT_EQ(st->bufferSize, 176400u);
  struct Case {
    uint32_t last, cursor, loopPoint;
    bool passed;
    uint32_t played;  // with 1000 played before and a resume position of 40
  } cases[] = {
      {100, 500, 500, true, 40},         // reached exactly, no wrap
      {100, 500, 300, true, 240},        // passed, no wrap
      {100, 500, 600, false, 1400},      // ahead
      {100, 500, 100, false, 1400},      // at the start of the move: passed before
      {176000, 100, 100, true, 40},      // reached exactly after a wrap
      {176000, 100, 176200, true, 340},  // passed before the wrap
      {176000, 100, 0, true, 140},       // at the wrap itself
      {176000, 100, 500, false, 1500},   // ahead, after the wrap
  };
  for (const Case& c : cases) {
    st->refillActive = 1;
    st->loopPending = 1;
    st->loopPoint = c.loopPoint;
    st->loopResumePosition = 40;
    st->lastPlayCursor = c.last;
    st->playedBytes = 1000;
    ASSERT_EQ(UpdateStreamPlayPosition(h, c.cursor), 0);
    EXPECT_EQ(st->loopPending == 0, c.passed) << c.last << " " << c.cursor << " " << c.loopPoint;
    EXPECT_EQ(st->playedBytes, c.played) << c.last << " " << c.cursor << " " << c.loopPoint;
  }
}

// A refill pass adds an eighth of a second while at least 192/512 s is queued; with less
// it tops the queue up to 192/512 s instead, from q = queued × 512 / byte rate in whole
// steps, rounded down to whole blocks. Each case plays the first fill (0.75 s) down to
// the queued bytes given and runs one pass.
TEST_F(StreamTest, ARefillTopsALowQueueUpToItsTargetAndElseAddsAnEighth) {
  struct Case {
    const char* what;
    WaveSpec spec;
    uint32_t queued;
    uint32_t written;
  } cases[] = {
      {"16-bit stereo, first fill queued", {1, 2, 44100, 16}, 132300, 22048},  // 176400 / 8, whole blocks
      {"16-bit stereo, q = 192", {1, 2, 44100, 16}, 66152, 22048},
      {"16-bit stereo, q = 191", {1, 2, 44100, 16}, 65808, 344},     // 176400 / 512, whole blocks
      {"16-bit stereo, q = 51", {1, 2, 44100, 16}, 17640, 48576},    // 141 × 176400 / 512
      {"16-bit stereo, run dry", {1, 2, 44100, 16}, 0, 66148},       // 192 × 176400 / 512
      {"8-bit mono, q = 192", {1, 1, 22050, 8}, 8269, 2756},
      {"8-bit mono, q = 191", {1, 1, 22050, 8}, 8268, 43},
      {"8-bit mono, q = 23", {1, 1, 22050, 8}, 1000, 7278},          // 169 × 22050 / 512
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const uint32_t align = c.spec.channels * c.spec.bits / 8;
    const Bytes wave = MakeWave(c.spec, NoiseBytes(c.spec.rate * 3 * align, 5));
    const int h = Load(wave);
    ASSERT_NE(h, -1);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    StreamState* st = GetSoundRecord(h)->stream;
    const uint32_t firstFill = c.spec.rate * align * 192 / 256 / align * align;
    ASSERT_EQ(static_cast<uint32_t>(st->writeCursor), firstFill);
    // The output runs at 44.1 kHz: a 22.05 kHz source plays one frame every two.
    const uint32_t frames = (firstFill - c.queued) / align * (44100 / c.spec.rate);
    out_->Advance(static_cast<int>(frames));
    ASSERT_EQ(RefillStreamSound(h), 0);
    EXPECT_EQ((static_cast<uint32_t>(st->writeCursor) + st->bufferSize - firstFill) % st->bufferSize, c.written);
    DeleteSoundHandle(h);
  }
}

TEST_F(StreamTest, FailedLockWritesNothingAndUnderrunRecovers) {
  Bytes wave = Wave16(44100 * 3, 12);
  int h = Load(wave);
  ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
  uint32_t id = BufferOf(h, 0)->id();
  Run(300);
  int32_t cursor = GetSoundRecord(h)->stream->writeCursor;
  out_->Advance(6615);  // 150 ms: the queue is below its target, a refill would write
  out_->FailNextLocks(1);
  EXPECT_EQ(RefillStreamSound(h), -1);
  EXPECT_EQ(GetSoundRecord(h)->stream->writeCursor, cursor);
  Run(900);
  ExpectStream(out_->PlayedBytes(id), PcmOf(wave), true, 0, 44100 * 4);

  // 1.5 s without a refill: stale data plays, then the refill picks up again where
  // the source stood.
  size_t before = out_->PlayedBytes(id).size();
  out_->Advance(44100 * 3 / 2);
  Run(3000);
  Bytes played = out_->PlayedBytes(id);
  Bytes tail(played.end() - 44100 * 4 / 2, played.end());
  Bytes pcm = PcmOf(wave);
  Bytes cyclic = pcm;
  cyclic.insert(cyclic.end(), pcm.begin(), pcm.end());
  EXPECT_NE(std::search(cyclic.begin(), cyclic.end(), tail.begin(), tail.end()), cyclic.end());
  EXPECT_GT(played.size(), before);
}

TEST_F(StreamTest, SharedBufferPlaysOneAtATimeAndDeletePendingFreesLater) {
  Bytes wa = Wave16(44100, 21), wb = Wave16(44100, 22);
  int a = Load(wa);
  int b = Load(wb, a);
  ASSERT_NE(a, -1);
  ASSERT_NE(b, -1);
  SoundRecord* rb = GetSoundRecord(b);
  EXPECT_EQ(rb->stream->sharedFrom, a);
  EXPECT_EQ(rb->stream->bufferSize, GetSoundRecord(a)->stream->bufferSize);
  EXPECT_EQ(rb->frequency, GetSoundRecord(a)->frequency);
  EXPECT_EQ(GetSoundRecord(a)->stream->shareCount, 1u);
  uint32_t id = BufferOf(a, 0)->id();

  ASSERT_EQ(PlaySoundHandle(a, 3, 1), 0);
  Run(300);
  ASSERT_EQ(PlaySoundHandle(b, 3, 1), 0);  // takes the buffer from a
  EXPECT_EQ(CheckSoundHandlePlaying(a), 0);
  EXPECT_EQ(CheckSoundHandlePlaying(b), 1);
  size_t mark = out_->PlayedBytes(id).size();
  Run(1500);
  Bytes played = out_->PlayedBytes(id);
  ExpectStream(Bytes(played.begin() + mark, played.end()), PcmOf(wb), true, 0, 44100 * 4);

  ASSERT_EQ(DeleteSoundHandle(a), 0);  // b still plays through it: a stays, pending
  ASSERT_NE(GetSoundRecord(a), nullptr);
  EXPECT_EQ(GetSoundRecord(a)->stream->deletePending, 1u);
  Run(300);
  EXPECT_EQ(CheckSoundHandlePlaying(b), 1);
  ASSERT_EQ(DeleteSoundHandle(b), 0);
  EXPECT_EQ(GetSoundRecord(a), nullptr);
  EXPECT_EQ(g_soundHandles.count(), 0);
}

TEST_F(StreamTest, SourcesAreRefusedPastThreeOrWithAnotherFormat) {
  Bytes w = Wave16(4410, 1);
  int h = AddSoundData(-1);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(AddStreamSoundMemory(w.data(), static_cast<int>(w.size()), 0, h, 2, -1), 0);
  EXPECT_EQ(AddStreamSoundMemory(w.data(), static_cast<int>(w.size()), 0, h, 2, -1), -1);
  EXPECT_TRUE(LogHas("ストリーム風サウンドの制御データ領域がいっぱいです\n"));
  int g = AddSoundData(-1);
  ASSERT_EQ(AddStreamSoundMemory(w.data(), static_cast<int>(w.size()), 0, g, 2, -1), 0);
  Bytes other = Wave16(2205, 2, 22050);
  EXPECT_EQ(AddStreamSoundMemory(other.data(), static_cast<int>(other.size()), 0, g, 2, -1), -1);
  EXPECT_TRUE(LogHas("フォーマットの違う音声データは同時に使うことは出来ません"));
  EXPECT_TRUE(LogHas("ＷＡＶファイルのストリームイメージのセットアップに失敗しました \n"));
  EXPECT_EQ(GetSoundRecord(g)->sourceCount, 1);
}

// The refill thread feeds the music while the test steps the clock.
class StreamThreadTest : public SoundTest {
 protected:
  StreamThreadTest() : SoundTest(2) {}
};

TEST_F(StreamThreadTest, RefillThreadFeedsALoopingMp3) {
  Bytes mp3 = EncodeMp3(TestTone(44100, 2, 44100, 31), 2, 44100, 128);
  Bytes decoded = DecodeMp3WithMpg123(mp3);
  SetSoundCreateMode(2);
  int h = Load(mp3);
  ASSERT_NE(h, -1);
  ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
  uint32_t id = BufferOf(h, 0)->id();
  for (int step = 0; step < 60; ++step) AdvanceOneRefillPass(2205);  // 50 ms each
  ExpectStream(out_->PlayedBytes(id), decoded, true, 0, decoded.size() * 2);
}

namespace {

// Every PCM format the sound layer takes, as stream sounds of 2.5 s.
struct StreamFormat {
  int channels, bits;
  uint32_t rate;
} const kStreamFormats[] = {{1, 8, 8000},   {2, 8, 11025},  {1, 8, 22050},  {2, 8, 44100},  {1, 16, 11025},
                            {2, 16, 22050}, {1, 16, 44100}, {2, 16, 32000}, {2, 16, 44100}, {2, 16, 48000},
                            {1, 16, 96000}};

Bytes FormatWave(const StreamFormat& c) {
  const uint32_t align = static_cast<uint32_t>(c.channels * c.bits / 8);
  return MakeWave({1, static_cast<uint16_t>(c.channels), c.rate, static_cast<uint16_t>(c.bits)},
                  NoiseBytes(c.rate * 5 / 2 * align, c.rate));
}

}  // namespace

// Played once, a stream sound of any format plays whole and then ends; the refill's
// eighth of a second, its window and its end are all figured from the format's own
// byte rate.
TEST_F(StreamTest, EveryFormatPlaysOnceWholeThenEnds) {
  for (const StreamFormat& c : kStreamFormats) {
    SCOPED_TRACE(testing::Message() << c.channels << " ch " << c.bits << " bit " << c.rate << " Hz");
    const Bytes wave = FormatWave(c);
    const int h = Load(wave);
    ASSERT_NE(h, -1);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    const uint32_t id = BufferOf(h, 0)->id();
    Run(1500);
    EXPECT_EQ(CheckSoundHandlePlaying(h), 1);
    Run(2000);
    ExpectStream(out_->PlayedBytes(id), PcmOf(wave), false, c.bits == 8 ? 0x7F : 0, PcmOf(wave).size());
    EXPECT_EQ(CheckSoundHandlePlaying(h), 0);
    DeleteSoundHandle(h);
  }
}

// A play that waits for its end (type 0) on the manual clock with the refill thread
// running: the clock only moves as the wait moves it, so the wait must see the sound
// refilled as the clock goes, or the buffer plays its old second over and over.
TEST_F(StreamThreadTest, EveryFormatPlayedToItsEndWhileThePlayWaits) {
  SetSoundCreateMode(2);
  for (const StreamFormat& c : kStreamFormats) {
    SCOPED_TRACE(testing::Message() << c.channels << " ch " << c.bits << " bit " << c.rate << " Hz");
    const Bytes wave = FormatWave(c);
    const int h = Load(wave);
    ASSERT_NE(h, -1);
    const int64_t before = out_->framesMixed();
    ASSERT_EQ(PlaySoundHandle(h, 0, 1), 0);
    // The end is seen within a refill period and an eighth of a second of silence.
    EXPECT_LT(out_->framesMixed() - before, 44100 * 5 / 2 + 44100 / 4);
    ExpectStream(out_->PlayedBytes(BufferOf(h, 0)->id()), PcmOf(wave), false, c.bits == 8 ? 0x7F : 0,
                 PcmOf(wave).size());
    DeleteSoundHandle(h);
  }
}
