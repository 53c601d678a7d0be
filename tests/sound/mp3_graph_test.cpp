// MP3 decoded through a filter graph (decoder bit 4): the same PCM and format as the
// compression manager's decoder, the block growing when the PCM outgrows it, each
// failure named in the log, and nothing left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "filters/com_base.h"
#include "filters/system_allocator.h"
#include "filters/system/system_filters.h"
#include "host/com/class_registry.h"
#include "host/com/task_memory.h"
#include "host/dshow/filter_graph.h"
#include "host/kernel/thread.h"
#include "host/kernel/virtual_block.h"
#include "platform/window.h"
#include "tests/sound/converter_fixture.h"
#include "tests/sound/sound_fixture.h"

namespace {

constexpr int kGraphOnly = 0x0F;     // every decoder before the graph's skipped
constexpr int kAcmMp3Only = 0x17;  // only the compression manager's MP3 decoder

Bytes Id3v2(size_t body) {
  Bytes tag = {'I', 'D', '3', 3, 0, 0};
  for (int shift : {21, 14, 7, 0}) tag.push_back(static_cast<uint8_t>((body >> shift) & 0x7F));
  tag.resize(tag.size() + body, 0);  // padding
  return tag;
}

Bytes Id3v1() {
  Bytes tag(128, ' ');
  tag[0] = 'T', tag[1] = 'A', tag[2] = 'G';
  return tag;
}

struct Decoded {
  int result;
  uint32_t kind;
  WaveFormatEx format;
  Bytes pcm;
  size_t capacity;
};

Decoded Decode(const Bytes& file, int mask) {
  const int saved = g_soundDecoderMask;
  g_soundDecoderMask = mask;
  Decoded d{};
  {
    Converter conv(file);
    g_soundDecoderMask = saved;
    d.result = conv.result;
    if (conv.result != 0) return d;
    d.kind = conv.c.kind;
    d.format = conv.c.outputFormat;
    d.capacity = conv.c.memory.capacity;
    d.pcm = conv.DecodeAll();
  }
  return d;
}

class Mp3GraphTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    tracked_ = TrackedLiveCount();
    threads_ = LiveHostThreadCount();
  }
  void TearDown() override {
    EXPECT_EQ(TrackedLiveCount(), tracked_);
    EXPECT_EQ(LiveObjectCount.load(), 0);
    EXPECT_EQ(LiveTaskMemoryCount(), 0);
    EXPECT_EQ(LiveVirtualBlockCount(), 0);
    EXPECT_EQ(LiveHostThreadCount(), threads_);
    FailNextTaskMemoryAllocations(0);
    SoundTest::TearDown();
  }
  int tracked_ = 0;
  int threads_ = 0;
};

}  // namespace

TEST_F(Mp3GraphTest, GivesTheCompressionManagersBytesAndFormat) {
  // The encoder's tag frame: none, whole (its delay and padding cut: the input's own
  // length), with its name damaged (no tag: every frame is audio), or whole with the
  // file cut short in its last frame (cut no further than the file holds); or none, behind
  // an ID3v2 tag whose size bytes carry their unused top bit (both paths skip the same).
  enum Tag { kNone, kWhole, kDamaged, kFileCut, kTagSizeTopBit };
  struct Case {
    int channels, rate, kbps;
    size_t id3v2;
    bool id3v1;
    Tag tag;
  } cases[] = {
      {1, 44100, 64, 0, false, kNone},   {2, 44100, 128, 0, false, kNone},  {2, 48000, 160, 300, true, kNone},
      {1, 32000, 48, 0, true, kNone},    {1, 22050, 32, 1000, false, kNone}, {2, 24000, 64, 0, false, kNone},
      {2, 16000, 40, 50, true, kNone},   {2, 44100, 128, 0, false, kWhole}, {1, 22050, 64, 1000, false, kWhole},
      {2, 48000, 192, 300, true, kWhole}, {1, 16000, 48, 0, true, kWhole},  {2, 44100, 128, 0, true, kDamaged},
      {1, 22050, 64, 0, false, kFileCut}, {2, 44100, 128, 300, false, kTagSizeTopBit},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.channels << "ch " << k.rate << " Hz " << k.id3v2 << " " << k.id3v1 << " tag "
                                    << k.tag);
    Bytes file = k.id3v2 != 0 ? Id3v2(k.id3v2) : Bytes{};
    const std::vector<int16_t> input = TestTone(k.rate * 3 / 2, k.channels, k.rate, k.rate);
    if (k.tag == kTagSizeTopBit) file[9] |= 0x80;
    Bytes mp3 = EncodeMp3(input, k.channels, k.rate, k.kbps, k.tag != kNone && k.tag != kTagSizeTopBit);
    if (k.tag == kDamaged) {
      const char name[] = "Info";
      auto at = std::search(mp3.begin(), mp3.begin() + 64, name, name + 4);
      ASSERT_NE(at, mp3.begin() + 64);
      *at = 'X';
    }
    if (k.tag == kFileCut) mp3.resize(mp3.size() - 100);
    file.insert(file.end(), mp3.begin(), mp3.end());
    if (k.id3v1) {
      Bytes tag = Id3v1();
      file.insert(file.end(), tag.begin(), tag.end());
    }
    Decoded graph = Decode(file, kGraphOnly), acm = Decode(file, kAcmMp3Only);
    ASSERT_EQ(graph.result, 0);
    ASSERT_EQ(acm.result, 0);
    EXPECT_EQ(graph.kind, kConverterMemoryPcm);
    EXPECT_EQ(std::memcmp(&graph.format, &acm.format, sizeof graph.format), 0);
    EXPECT_EQ(graph.format.channels, k.channels);
    EXPECT_EQ(graph.format.samplesPerSec, static_cast<uint32_t>(k.rate));
    ASSERT_GT(acm.pcm.size(), 0u);
    EXPECT_TRUE(graph.pcm == acm.pcm) << graph.pcm.size() << " vs " << acm.pcm.size();
    if (k.tag == kWhole) {
      EXPECT_EQ(graph.pcm.size(), input.size() * 2);
    }
    if (k.tag == kDamaged) {
      EXPECT_GT(graph.pcm.size(), input.size() * 2 + 1152 * 4);
    }
    if (k.tag == kFileCut) {
      EXPECT_LT(graph.pcm.size(), input.size() * 2);
    }
  }
}

TEST_F(Mp3GraphTest, TheBlockHoldsThePcmExactlyAndGoesToTheCallerWhole) {
  // PCM forty times the file (8 kbps); a tagged file, whose cut delay and padding the
  // block must not keep room for; frames behind an ID3v2 tag.
  struct Case {
    int channels, rate, kbps;
    bool infoTag;
    size_t id3v2;
  } cases[] = {{1, 16000, 8, false, 0}, {2, 44100, 128, true, 0}, {2, 22050, 64, false, 700}};
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.kbps << " kbps tag " << k.infoTag);
    Bytes file = k.id3v2 != 0 ? Id3v2(k.id3v2) : Bytes{};
    const Bytes mp3 = EncodeMp3(TestTone(k.rate * 5, k.channels, k.rate), k.channels, k.rate, k.kbps, k.infoTag);
    file.insert(file.end(), mp3.begin(), mp3.end());
    const Bytes reference = Decode(file, kAcmMp3Only).pcm;
    ASSERT_GT(reference.size(), 0u);
    const int saved = g_soundDecoderMask;
    g_soundDecoderMask = kGraphOnly;
    Converter conv(file);
    g_soundDecoderMask = saved;
    ASSERT_EQ(conv.result, 0);
    EXPECT_EQ(conv.c.memory.capacity, conv.c.memory.size);
    // The PCM is read a second's block at a time: seeks into other blocks, back and
    // forth, and reads across a block's end.
    const uint32_t rate = static_cast<uint32_t>(k.rate);
    ASSERT_EQ(conv.c.blockSize, conv.c.outputFormat.avgBytesPerSec);
    ASSERT_TRUE(conv.Read(1000) == Bytes(reference.begin(), reference.begin() + 1000));
    ExpectSeeksMatch(conv, reference, {rate * 3 + 123, 17, rate * 2 - 1000, rate * 4 + rate / 2, rate - 1, 0});
    const uint8_t* held = conv.c.memory.pcm;
    uint8_t* block = nullptr;
    uint32_t size = 0;
    WaveFormatEx format;
    ASSERT_EQ(DecodeSoundConverterToMemory(&conv.c, &block, &size, &format), 0);
    // The held block itself, not a copy; the converter keeps nothing it could free too.
    EXPECT_EQ(block, held);
    EXPECT_TRUE(Bytes(block, block + size) == reference);
    TrackedFree(block);
    EXPECT_EQ(GetSoundConverterPcmSize(&conv.c), 0u);
    SeekSoundConverter(&conv.c, 0);
    EXPECT_EQ(conv.Read(64).size(), 0u);
  }
}

TEST_F(Mp3GraphTest, PcmBeyondTheBlockGrowsItInMegabyteStepsAndNothingIsLost) {
  IMemAllocator* allocator = nullptr;
  ASSERT_EQ(CreateSystemAllocator(&allocator), S_OK);
  const uint32_t kSample = 1536 * 1024;
  ALLOCATOR_PROPERTIES request{1, static_cast<int32_t>(kSample), 1, 0}, actual{};
  ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);
  SoundConverter c{};
  c.memory.capacity = 16;
  c.memory.pcm = static_cast<uint8_t*>(TrackedAlloc(c.memory.capacity, "", 0));
  auto deliver = [&](const uint8_t* bytes) {
    IMediaSample* sample = nullptr;
    ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
    uint8_t* data = nullptr;
    sample->GetPointer(&data);
    std::memcpy(data, bytes, kSample);
    sample->SetActualDataLength(static_cast<int32_t>(kSample));
    EXPECT_EQ(CollectPcmSample(sample, nullptr, nullptr, 0, reinterpret_cast<uintptr_t>(&c)), S_OK);
    sample->Release();
  };
  const Bytes pcm = NoiseBytes(2 * kSample, 3);
  deliver(pcm.data());
  deliver(pcm.data() + kSample);
  EXPECT_EQ(c.memory.capacity, 16u + 3 * 1048576u);
  ASSERT_EQ(c.memory.size, 2 * kSample);
  EXPECT_TRUE(Bytes(c.memory.pcm, c.memory.pcm + c.memory.size) == pcm);
  // PCM that the 32-bit size cannot count drops the block, and every later sample with it.
  c.memory.size = UINT32_MAX - 16;
  deliver(pcm.data());
  EXPECT_EQ(c.memory.pcm, nullptr);
  deliver(pcm.data());
  EXPECT_EQ(c.memory.pcm, nullptr);
  allocator->Decommit();
  allocator->Release();
}

TEST_F(Mp3GraphTest, EachFailureIsNamedAndLeavesNothing) {
  Bytes good = EncodeMp3(TestTone(22050, 2, 22050), 2, 22050, 64);
  EXPECT_EQ(Decode(NoiseBytes(20000, 5), kGraphOnly).result, -1);
  EXPECT_TRUE(LogHas("グラフの構築に失敗しました"));
  ASSERT_EQ(Decode(good, kGraphOnly).result, 0);  // the system's classes are registered now
  struct Case {
    const CLSID* missing;
    const char* message;
  } cases[] = {
      {&CLSID_NullRenderer, "MP3変換用 NullRender の作成に失敗しました"},
      {&CLSID_FilterGraph, "MP3変換用 IGraphBuilder の作成に失敗しました"},
      {&CLSID_Mp3DecoderFilter, "グラフの構築に失敗しました"},
      {&CLSID_DSoundRender, "グラフの構築に失敗しました"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.message);
    StartLog(dir_.path().c_str());
    UnregisterComClass(*k.missing);
    EXPECT_EQ(Decode(good, kGraphOnly).result, -1);
    RegisterComClass(CLSID_FilterGraph, CreateFilterGraph);
    RegisterSystemFilters();
    EXPECT_TRUE(LogHas(k.message));
  }
  // A task-memory block refused anywhere: a clean failure with its step named, or a
  // conversion that still gives every byte.
  const Bytes reference = Decode(good, kAcmMp3Only).pcm;
  for (int n = 1; n <= 40; ++n) {
    SCOPED_TRACE(n);
    StartLog(dir_.path().c_str());
    FailNextTaskMemoryAllocations(n);
    Decoded d = Decode(good, kGraphOnly);
    FailNextTaskMemoryAllocations(0);
    if (d.result == 0) {
      EXPECT_TRUE(d.pcm == reference);
    } else {
      EXPECT_NE(ReadWholeFile(dir_.File("Log.txt")).size(), 0u);
    }
  }
}

TEST_F(Mp3GraphTest, TheSoundLockIsFreeWhileTheGraphRuns) {
  Bytes file = EncodeMp3(TestTone(44100 * 2, 2, 44100), 2, 44100, 128);
  static std::atomic<bool> takenMeanwhile;
  takenMeanwhile = false;
  // The pump runs while the graph decodes: another thread must get the lock then.
  SetPumpEntry(PumpEntry::DrawAllMovies, [] {
    if (takenMeanwhile) return;
    std::thread other([] {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (std::chrono::steady_clock::now() < deadline) {
        if (g_soundLock.TryEnter()) {
          takenMeanwhile = true;
          g_soundLock.Leave();
          return;
        }
        std::this_thread::yield();
      }
    });
    other.join();
  });
  {
    CriticalSectionGuard held(g_soundLock);
    CriticalSectionGuard again(g_soundLock);  // held twice, as nested sound calls do
    EXPECT_EQ(Decode(file, kGraphOnly).result, 0);
    EXPECT_EQ(g_soundLock.HeldDepth(), 2);
  }
  SetPumpEntry(PumpEntry::DrawAllMovies, nullptr);
  EXPECT_TRUE(takenMeanwhile);
}

// Free format: no header names a bitrate, so the frame size is where the next frame
// starts. The graph decodes such a file as libmpg123 decodes it on its own, sample for
// sample, its Info frame's delay and padding cut; a stream too short to show its frame
// size, and the compression manager's scan, refuse it, and the load says so in the log.
TEST_F(Mp3GraphTest, AFreeFormatFileDecodesAsLibmpg123DecodesIt) {
  struct Case {
    int channels, rate, kbps;
    bool infoTag;
  } cases[] = {
      {2, 44100, 400, false}, {2, 44100, 400, true}, {1, 32000, 200, false},
      {2, 48000, 560, true},  {2, 22050, 160, false}, {1, 16000, 100, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.channels << "ch " << k.rate << " Hz " << k.kbps << " kbps tag " << k.infoTag);
    const std::vector<int16_t> input = TestTone(k.rate * 31 / 10, k.channels, k.rate, 7);
    const Bytes file = EncodeMp3(input, k.channels, k.rate, k.kbps, k.infoTag, true);
    ASSERT_GT(file.size(), 4u);
    ASSERT_EQ(file[2] >> 4, 0) << "not free format";
    const Bytes reference = DecodeMp3GaplessWithMpg123(file);
    ASSERT_GE(reference.size(), input.size() * 2);  // 3.1 s, whatever the delay
    const Decoded graph = Decode(file, kGraphOnly);
    ASSERT_EQ(graph.result, 0);
    EXPECT_EQ(graph.format.channels, k.channels);
    EXPECT_EQ(graph.format.samplesPerSec, static_cast<uint32_t>(k.rate));
    EXPECT_EQ(graph.pcm.size(), reference.size());
    EXPECT_TRUE(graph.pcm == reference);
    if (k.infoTag) {
      EXPECT_EQ(graph.pcm.size(), input.size() * 2);
    }

    StartLog(dir_.path().c_str());
    const int saved = g_soundDecoderMask;
    g_soundDecoderMask = kAcmMp3Only;
    EXPECT_EQ(LoadSoundData(file.data(), static_cast<int>(file.size()), 1, -1), -1);
    g_soundDecoderMask = saved;
    EXPECT_TRUE(LogHas("音声ファイルのＰＣＭへの変換に失敗しました"));
    // Most of one frame: no second header tells its size.
    StartLog(dir_.path().c_str());
    const int frameBytes = k.kbps * 125 * (k.rate >= 32000 ? 1152 : 576) / k.rate;
    const Bytes cut(file.begin(), file.begin() + frameBytes * 3 / 4);
    EXPECT_EQ(Decode(cut, kGraphOnly).result, -1);
    EXPECT_TRUE(LogHas("グラフの構築に失敗しました"));
  }
}

// With CRC protection (the header's protection bit clear, two CRC bytes after it) the
// encoder still writes its Info tag right after the side information's room, where it
// stands without CRC. Both paths then play the file gapless as libmpg123 does: the tag
// frame no sound, the delay and the padding cut, so the input's own length comes out.
// Free format is decoded by the graph only.
TEST_F(Mp3GraphTest, ACrcProtectedFileIsGaplessAsLibmpg123PlaysIt) {
  struct Case {
    int channels, rate, kbps;
    bool infoTag, freeFormat;
  } cases[] = {
      {2, 44100, 128, true, false},  {1, 44100, 64, true, false}, {2, 22050, 64, true, false},
      {1, 16000, 48, true, false},   {2, 48000, 160, false, false}, {2, 44100, 400, true, true},
      {1, 32000, 200, true, true},   {2, 22050, 160, true, true},  {1, 16000, 100, false, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.channels << "ch " << k.rate << " Hz " << k.kbps << " kbps tag " << k.infoTag
                                    << " free " << k.freeFormat);
    const std::vector<int16_t> input = TestTone(k.rate * 6 / 5, k.channels, k.rate, 11);
    const Bytes file = EncodeMp3(input, k.channels, k.rate, k.kbps, k.infoTag, k.freeFormat, true);
    ASSERT_GT(file.size(), 4u);
    ASSERT_EQ(file[1] & 1, 0) << "no CRC";
    ASSERT_EQ(file[2] >> 4 == 0, k.freeFormat);
    const Bytes reference = DecodeMp3GaplessWithMpg123(file);
    if (k.infoTag) {
      ASSERT_EQ(reference.size(), input.size() * 2);
    }
    const Decoded graph = Decode(file, kGraphOnly);
    ASSERT_EQ(graph.result, 0);
    EXPECT_EQ(graph.pcm.size(), reference.size());
    EXPECT_TRUE(graph.pcm == reference);
    if (!k.freeFormat) {
      const Decoded acm = Decode(file, kAcmMp3Only);
      ASSERT_EQ(acm.result, 0);
      EXPECT_EQ(acm.pcm.size(), reference.size());
      EXPECT_TRUE(acm.pcm == reference);
    }
  }
}
