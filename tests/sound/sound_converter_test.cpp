// The sound converter and its WAVE and MP3 decoders, over inputs made here.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <cmath>
#include <cstring>
#include <functional>

#include "tests/sound/converter_fixture.h"

TEST(WaveDecoder, PcmFormsDecodeByteExact) {
  struct Case {
    WaveSpec spec;
    size_t bytes;
  } cases[] = {{{1, 1, 8000, 8}, 801},  {{1, 2, 11025, 8}, 2000}, {{1, 1, 22050, 16}, 3000},
               {{1, 2, 44100, 16}, 40000}, {{1, 2, 48000, 16, 0, 0, 18}, 4000}};
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.spec.channels << "ch " << k.spec.bits << "bit");
    Bytes pcm = NoiseBytes(k.bytes, k.spec.rate);
    Converter conv(MakeWave(k.spec, pcm));
    ASSERT_EQ(conv.result, 0);
    EXPECT_EQ(conv.c.kind, kConverterPcmWave);
    EXPECT_EQ(conv.c.outputFormat.bitsPerSample, k.spec.bits);
    EXPECT_EQ(conv.c.outputFormat.channels, k.spec.channels);
    EXPECT_EQ(GetSoundConverterPcmSize(&conv.c), k.bytes);
    EXPECT_EQ(conv.DecodeAll(), pcm);
    // Reading in odd pieces gives the same bytes, then the end.
    SeekSoundConverter(&conv.c, 0);
    Bytes pieces;
    for (Bytes b; !(b = conv.Read(777)).empty();) pieces.insert(pieces.end(), b.begin(), b.end());
    EXPECT_EQ(pieces, pcm);
    EXPECT_EQ(conv.Read(10).size(), 0u);
  }
}

TEST(WaveDecoder, WiderPcmAndFloatBecomeSixteenBit) {
  std::vector<int32_t> values = {0, 1, -1, 32767 << 8, -8388608, 4660 << 8 | 0x7F, 123456};
  struct Case {
    uint16_t tag, bits;
  } cases[] = {{1, 24}, {1, 32}, {3, 32}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.bits);
    Bytes pcm;
    std::vector<int16_t> want;
    for (int32_t v : values) {
      if (k.tag == 3) {
        float x = static_cast<float>(v) / 8388608.0f;
        uint32_t u;
        std::memcpy(&u, &x, 4);
        Put32(pcm, u);
        double s = std::nearbyint(static_cast<double>(x) * 32768.0);
        want.push_back(static_cast<int16_t>(s > 32767 ? 32767 : s < -32768 ? -32768 : s));
      } else if (k.bits == 24) {
        pcm.push_back(v & 0xFF), pcm.push_back((v >> 8) & 0xFF), pcm.push_back((v >> 16) & 0xFF);
        want.push_back(static_cast<int16_t>(v >> 8));
      } else {
        Put32(pcm, static_cast<uint32_t>(v) << 8);
        want.push_back(static_cast<int16_t>(v >> 8));
      }
    }
    WaveSpec spec{k.tag, 1, 44100, k.bits};
    Converter conv(MakeWave(spec, pcm));
    ASSERT_EQ(conv.result, 0);
    EXPECT_EQ(conv.c.kind, kConverterAcm);
    EXPECT_EQ(conv.c.outputFormat.bitsPerSample, 16);
    EXPECT_EQ(conv.DecodeAll(), AsBytes(want));
  }
}

static double ThreadCpuMs() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

TEST(WaveDecoder, ChunkWalkAndBrokenHeadersAreRefusedNotHung) {
  WaveSpec good{1, 2, 44100, 16};
  Bytes pcm = NoiseBytes(4000, 9);
  auto wave = [&](std::vector<std::pair<const char*, Bytes>> chunks) {
    Bytes body = {'W', 'A', 'V', 'E'};
    for (auto& [id, data] : chunks) PutChunk(body, id, data), (data.size() & 1 ? body.push_back(0) : void());
    Bytes out;
    PutChunk(out, "RIFF", body);
    return out;
  };
  auto fmtWith = [&](int field, uint32_t value) {
    WaveSpec full = good;
    full.fmtSize = 18;  // a 16-byte chunk has its bits recomputed from the block align
    Bytes f = FmtChunk(full);
    int offsets[] = {2, 4, 12, 14};
    int widths[] = {2, 4, 2, 2};
    for (int i = 0; i < widths[field]; ++i) f[offsets[field] + i] = static_cast<uint8_t>(value >> (8 * i));
    return f;
  };
  Bytes shortFmt = FmtChunk(good);
  shortFmt.resize(12);
  struct Case {
    const char* what;
    Bytes image;
    bool accepted;
  } cases[] = {
      {"bext right after WAVE", wave({{"bext", Bytes(10)}, {"fmt ", FmtChunk(good)}, {"data", pcm}}), true},
      {"odd chunk before data", wave({{"fmt ", FmtChunk(good)}, {"LIST", Bytes(5, 'x')}, {"data", pcm}}), true},
      {"bext after another chunk", wave({{"LIST", Bytes(4)}, {"bext", Bytes(4)}, {"fmt ", FmtChunk(good)}, {"data", pcm}}), false},
      {"zero channels", wave({{"fmt ", fmtWith(0, 0)}, {"data", pcm}}), false},
      {"zero rate", wave({{"fmt ", fmtWith(1, 0)}, {"data", pcm}}), false},
      {"zero block align", wave({{"fmt ", fmtWith(2, 0)}, {"data", pcm}}), false},
      {"zero bits", wave({{"fmt ", fmtWith(3, 0)}, {"data", pcm}}), false},
      {"rate below the device's", wave({{"fmt ", fmtWith(1, 99)}, {"data", pcm}}), false},
      {"rate above the device's", wave({{"fmt ", fmtWith(1, 200001)}, {"data", pcm}}), false},
      {"three channels", wave({{"fmt ", fmtWith(0, 3)}, {"data", pcm}}), false},
      // Headers claiming gigabytes a second, in a file of a few hundred bytes.
      {"8-bit at 4 GHz", MakeWave({1, 1, 0xFFFFD4F4, 8, 1, 0xFFFFD4EE}, NoiseBytes(400, 3)), false},
      {"float at 4 GHz", MakeWave({3, 2, 0xFFFFFF44, 32, 8, 0x000562FF}, NoiseBytes(80, 4)), false},
      {"fmt shorter than its fields", wave({{"fmt ", shortFmt}, {"data", pcm}}), false},
      {"no data chunk", wave({{"fmt ", FmtChunk(good)}, {"LIST", Bytes(8)}}), false},
      {"not RIFF", Bytes(64, 0), false},
      {"empty", Bytes(), false},
  };
  for (int mask : {~3, 0}) {  // the two WAVE decoders only, then every decoder
    g_soundDecoderMask = mask;
    for (Case& k : cases) {
      SCOPED_TRACE(k.what);
      // The processor time of this thread, not the wall clock: a loaded machine must
      // not fail the check, a header that drives a huge allocation or loop still does.
      const double start = ThreadCpuMs();
      Converter conv(k.image);
      EXPECT_LT(ThreadCpuMs() - start, 10.0);
      EXPECT_EQ(conv.result == 0, k.accepted);
      if (k.accepted) EXPECT_EQ(conv.DecodeAll(), pcm);
      else EXPECT_EQ(conv.c.open, 0u);
    }
  }
  // A byte rate a thousand times the samples' own: one second is what the samples make.
  Converter overclaimed(MakeWave({1, 2, 44100, 16, 4, 176400000}, pcm));
  ASSERT_EQ(overclaimed.result, 0);
  EXPECT_EQ(overclaimed.c.blockSize, 176400u);
  EXPECT_EQ(overclaimed.DecodeAll(), pcm);
  // A data chunk claiming more than the file holds delivers only what is there.
  Bytes image = MakeWave(good, pcm);
  image[40] = 0xFF, image[41] = 0xFF, image[42] = 0xFF, image[43] = 0x7F;
  Converter truncated(image);
  ASSERT_EQ(truncated.result, 0);
  EXPECT_EQ(truncated.DecodeAll(), pcm);
  SeekSoundConverter(&truncated.c, 0);
  EXPECT_EQ(truncated.Read(100000), pcm);
  EXPECT_EQ(truncated.Read(100).size(), 0u);
}

TEST(MpegFrameHeader, ParsesEachLayerAndVersionAndRefusesFreeFormat) {
  struct Case {
    uint8_t b[4];
    int result;
    uint32_t length, samples, rate;
    uint8_t channels;
  } cases[] = {
      {{0xFF, 0xFB, 0x90, 0x44}, 0, 417, 1152, 44100, 2},   // MPEG-1 L3 128k
      {{0xFF, 0xFB, 0x92, 0xC4}, 0, 418, 1152, 44100, 1},   // padded, mono
      {{0xFF, 0xF3, 0x80, 0xC4}, 0, 208, 576, 22050, 1},    // MPEG-2 L3 64k
      {{0xFF, 0xFF, 0x90, 0x00}, 0, 312, 384, 44100, 2},    // MPEG-1 L1 288k: (12000*288/44100)*4
      {{0xFF, 0xF7, 0x80, 0x00}, 0, 276, 384, 22050, 2},    // MPEG-2 L1 128k
      {{0xFF, 0xF5, 0x80, 0x00}, 0, 417, 1152, 22050, 2},   // MPEG-2 L2 64k: 144000*64/22050
      {{0xFF, 0xFB, 0x00, 0x44}, -1, 0, 0, 0, 0},           // free format
      {{0xFF, 0xFB, 0xF0, 0x44}, -1, 0, 0, 0, 0},           // bitrate index 15
      {{0xFF, 0xFB, 0x9C, 0x44}, -1, 0, 0, 0, 0},           // rate index 3
      {{0xFF, 0xF9, 0x90, 0x44}, -1, 0, 0, 0, 0},           // reserved layer
      {{0xFF, 0xEB, 0x90, 0x44}, -2, 0, 0, 0, 0},           // no sync
  };
  for (const Case& k : cases) {
    MpegFrameInfo info{};
    SCOPED_TRACE(testing::Message() << std::hex << int(k.b[1]) << " " << int(k.b[2]));
    ASSERT_EQ(ParseMpegFrameHeader(k.b, &info), k.result);
    if (k.result != 0) continue;
    EXPECT_EQ(info.frameLength, k.length);
    EXPECT_EQ(info.samplesPerFrame, k.samples);
    EXPECT_EQ(info.sampleRate, k.rate);
    EXPECT_EQ(info.channels, k.channels);
  }
}

TEST(Mp3Decoder, DecodesWholeFramesEqualToLibmpg123AndSkipsTags) {
  struct Case {
    int channels, rate, kbps;
    bool id3v2, footer, id3v1;
  } cases[] = {{2, 44100, 128, false, false, false}, {1, 22050, 32, true, false, true},
               {2, 48000, 192, true, true, false}, {1, 16000, 24, false, false, true}};
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.channels << "ch " << k.rate);
    Bytes mp3 = EncodeMp3(TestTone(k.rate * 13 / 10, k.channels, k.rate), k.channels, k.rate, k.kbps);
    Bytes reference = DecodeMp3WithMpg123(mp3);
    Bytes file;
    if (k.id3v2) {
      // A tag of 300 bytes, version 4 with a footer when asked.
      Bytes tag = {'I', 'D', '3', static_cast<uint8_t>(k.footer ? 4 : 3), 0, static_cast<uint8_t>(k.footer ? 0x10 : 0), 0, 0, 2, 44};
      tag.resize(10 + 300 + (k.footer ? 10 : 0), 0xFF);  // 0xFF padding would be taken for sync if not skipped
      file = tag;
    }
    file.insert(file.end(), mp3.begin(), mp3.end());
    if (k.id3v1) {
      Bytes tag(128, 0xFF);
      tag[0] = 'T', tag[1] = 'A', tag[2] = 'G';
      file.insert(file.end(), tag.begin(), tag.end());
    }
    Converter conv(file);
    ASSERT_EQ(conv.result, 0);
    ASSERT_EQ(conv.c.kind, kConverterAcm);
    MpegFrameInfo first;
    ParseMpegFrameHeader(mp3.data(), &first);
    uint32_t frames = static_cast<uint32_t>(reference.size() / (first.samplesPerFrame * 2 * k.channels));
    EXPECT_EQ(conv.c.acm.totalSamples, frames * first.samplesPerFrame);
    EXPECT_EQ(conv.c.dataSize, mp3.size());
    EXPECT_EQ(conv.c.blockSize, conv.c.outputFormat.avgBytesPerSec * 4 / 3);
    EXPECT_EQ(GetSoundConverterPcmSize(&conv.c), reference.size());
    Bytes decoded = conv.DecodeAll();
    ASSERT_EQ(decoded.size(), reference.size());
    EXPECT_TRUE(decoded == reference);

    ExpectSeeksMatch(conv, reference, {5000u, 100u, 17000u, 0u, 16999u});  // backward and forward
  }
}

TEST(Mp3Decoder, TruncatedAndGarbageFilesEndCleanly) {
  Bytes mp3 = EncodeMp3(TestTone(44100 / 2, 2, 44100), 2, 44100, 128);
  Bytes reference = DecodeMp3WithMpg123(mp3);
  // The last frame cut in half: counted, not decodable, so the decode ends short of it.
  Bytes cut(mp3.begin(), mp3.end() - 200);
  Converter conv(cut);
  ASSERT_EQ(conv.result, 0);
  Bytes decoded = conv.DecodeAll();
  EXPECT_EQ(decoded.size(), GetSoundConverterPcmSize(&conv.c) - 1152 * 4);
  EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), reference.begin()));
  // Free-format or junk-only files are refused.
  Bytes freeFormat = {0xFF, 0xFB, 0x00, 0x44};
  freeFormat.resize(2000, 0);
  EXPECT_EQ(Converter(freeFormat).result, -1);
  for (uint32_t seed = 1; seed <= 20; ++seed) EXPECT_EQ(Converter(NoiseBytes(5000, seed)).result, -1) << seed;
}

namespace {

// A rising sweep: unlike a steady tone it matches itself at one shift only.
std::vector<int16_t> Sweep(int frames, int channels, int rate) {
  std::vector<int16_t> s(static_cast<size_t>(frames) * channels);
  double phase = 0;
  for (int i = 0; i < frames; ++i) {
    phase += 2 * M_PI * (200.0 + 3800.0 * i / frames) / rate;
    for (int c = 0; c < channels; ++c) s[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(8000 * std::sin(phase + c));
  }
  return s;
}

// The shift in [-limit, limit] samples at which `decoded` (16-bit, interleaved) best
// matches `input` over a window in the middle.
int BestShift(const Bytes& decoded, const std::vector<int16_t>& input, int channels, int limit) {
  const int16_t* d = reinterpret_cast<const int16_t*>(decoded.data());
  const long frames = static_cast<long>(input.size()) / channels;
  double best = 1e300;
  int bestShift = 0;
  for (int shift = -limit; shift <= limit; ++shift) {
    double error = 0;
    for (long i = frames / 2 - 4096; i < frames / 2 + 4096; ++i) {
      double e = d[(i + shift) * channels] - input[i * channels];
      error += e * e;
    }
    if (error < best) best = error, bestShift = shift;
  }
  return bestShift;
}

// Where the LAME extension of a tag frame starts (all four Xing fields present).
size_t LameExtension(int channels, bool mpeg1) {
  return 4 + (mpeg1 ? (channels == 1 ? 17 : 32) : (channels == 1 ? 9 : 17)) + 8 + 4 + 4 + 100 + 4;
}

// Byte offset of frame `n` (0 is the first); with `count`, how many whole frames the file holds.
size_t FrameOffset(const Bytes& mp3, int n, int* count = nullptr) {
  size_t at = 0;
  MpegFrameInfo f;
  for (int i = 0; i < n && at + 4 <= mp3.size() && ParseMpegFrameHeader(mp3.data() + at, &f) == 0 &&
                  at + f.frameLength <= mp3.size(); ++i)
    at += f.frameLength, count ? ++*count : 0;
  return at;
}

void FixLameCrc(Bytes& mp3, size_t lame) {
  uint16_t crc = 0;
  for (size_t i = 0; i < lame + 34; ++i) {
    crc ^= mp3[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  mp3[lame + 34] = static_cast<uint8_t>(crc >> 8);
  mp3[lame + 35] = static_cast<uint8_t>(crc);
}

}  // namespace

TEST(Mp3Decoder, InfoTaggedFilesDecodeToTheInputsLengthAlignedLikeLibmpg123Gapless) {
  struct Case {
    int channels, rate, kbps;
  } cases[] = {{2, 44100, 128}, {1, 22050, 64}, {2, 48000, 192}, {1, 16000, 48}};  // rates at which the tag fits a frame
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.channels << "ch " << k.rate);
    std::vector<int16_t> input = Sweep(k.rate * 13 / 10, k.channels, k.rate);
    Bytes mp3 = EncodeMp3(input, k.channels, k.rate, k.kbps, true);
    Bytes reference = DecodeMp3GaplessWithMpg123(mp3);
    ASSERT_EQ(reference.size(), input.size() * 2);
    Converter conv(mp3);
    ASSERT_EQ(conv.result, 0);
    EXPECT_EQ(GetSoundConverterPcmSize(&conv.c), input.size() * 2);
    Bytes decoded = conv.DecodeAll();
    ASSERT_EQ(decoded.size(), input.size() * 2);
    EXPECT_TRUE(decoded == reference);
    EXPECT_EQ(BestShift(decoded, input, k.channels, 1500), 0);

    // Seeks land on the same samples in the trimmed stream.
    const uint32_t last = static_cast<uint32_t>(input.size() / k.channels) - 10;
    ExpectSeeksMatch(conv, reference, {5000u, 100u, last, 0u, 1u, 17000u});
  }
}

TEST(Mp3Decoder, DamagedOrOverclaimingTagsNeverCutMoreThanTheFileHolds) {
  std::vector<int16_t> input = Sweep(44100 * 3 / 10, 2, 44100);
  const Bytes tagged = EncodeMp3(input, 2, 44100, 128, true);
  const size_t lame = LameExtension(2, true);
  const uint32_t tagDelay = tagged[lame + 21] << 4 | tagged[lame + 22] >> 4;
  ASSERT_EQ(tagDelay, 576u);  // the field sits where the test looks for it
  auto setDelayAndPadding = [&](Bytes& b, uint32_t delay, uint32_t padding) {
    b[lame + 21] = static_cast<uint8_t>(delay >> 4);
    b[lame + 22] = static_cast<uint8_t>((delay & 15) << 4 | padding >> 8);
    b[lame + 23] = static_cast<uint8_t>(padding);
  };
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
    bool trusted;
  } cases[] = {
      {"delay changed, CRC not", [&](Bytes& b) { setDelayAndPadding(b, 100, 200); }, false},
      {"tag name damaged", [&](Bytes& b) { b[36] = 'X', FixLameCrc(b, lame); }, false},
      {"delay and padding at their largest", [&](Bytes& b) { setDelayAndPadding(b, 4095, 4095), FixLameCrc(b, lame); }, true},
      {"last three frames cut off", [&](Bytes& b) { int n = 0; FrameOffset(b, 1 << 20, &n), b.resize(FrameOffset(b, n - 3)); }, true},
      {"only two audio frames", [&](Bytes& b) { b.resize(FrameOffset(b, 3)); }, true},
      {"more delay than two frames hold",
       [&](Bytes& b) { b.resize(FrameOffset(b, 3)), setDelayAndPadding(b, 4095, 0), FixLameCrc(b, lame); }, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Bytes mp3 = tagged;
    k.damage(mp3);
    // Every frame decoded as audio, the tag frame as silence: the untrimmed stream.
    Bytes whole = DecodeMp3WithMpg123(mp3);
    Converter conv(mp3);
    ASSERT_EQ(conv.result, 0);
    Bytes decoded = conv.DecodeAll();
    EXPECT_EQ(decoded.size(), GetSoundConverterPcmSize(&conv.c));
    if (!k.trusted) {
      EXPECT_TRUE(decoded == whole);  // as a file without a tag
      continue;
    }
    const uint32_t delay = mp3[lame + 21] << 4 | mp3[lame + 22] >> 4;
    const uint32_t padding = (mp3[lame + 22] & 15) << 8 | mp3[lame + 23];
    const uint32_t tagFrames = mp3[36 + 8] << 24 | mp3[37 + 8] << 16 | mp3[38 + 8] << 8 | mp3[39 + 8];
    const long held = static_cast<long>(whole.size() / 4) - 1152;
    const long start = std::min<long>(delay + 529, held);
    const long end = std::clamp<long>(static_cast<long>(tagFrames) * 1152 + 529 - padding, start, held);
    ASSERT_EQ(decoded.size(), static_cast<size_t>(end - start) * 4);
    EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), whole.begin() + (1152 + start) * 4));
  }
}

TEST(SoundConverter, SeekWithinSixteenBytesKeepsTheEndAndTempWaveLayout) {
  WaveSpec spec{1, 1, 8000, 8};
  Bytes pcm = NoiseBytes(100, 1);
  Converter conv(MakeWave(spec, pcm));
  ASSERT_EQ(conv.result, 0);
  EXPECT_EQ(conv.Read(200).size(), 100u);
  EXPECT_EQ(conv.Read(1).size(), 0u);
  SeekSoundConverter(&conv.c, 90);  // 10 bytes back: nothing moves, still ended
  EXPECT_EQ(conv.Read(1).size(), 0u);
  SeekSoundConverter(&conv.c, 80);
  EXPECT_EQ(conv.Read(100), Bytes(pcm.begin() + 80, pcm.end()));

  uint8_t* image = nullptr;
  uint32_t size = 0;
  WaveFormatEx f{1, 1, 8000, 8000, 1, 8, 0};
  ASSERT_EQ(BuildTempWaveImage(&image, &size, &f, 18, pcm.data(), 100), 0);
  EXPECT_EQ(size, 146u);
  EXPECT_EQ(image[4] | image[5] << 8, 138);
  Converter back(Bytes(image, image + size));
  TrackedFree(image);
  ASSERT_EQ(back.result, 0);
  EXPECT_EQ(back.DecodeAll(), pcm);
}

TEST(OggDecoder, DecodesEqualToVorbisfileAndRefusesBrokenStreams) {
  struct Case {
    int channels, rate, frames;
  } cases[] = {{1, 22050, 22050}, {2, 44100, 44100}, {2, 44100, 44100 + 777}, {1, 8000, 1024 * 6}};
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.rate << " Hz " << k.frames << " frames");
    Bytes ogg = EncodeOgg(TestTone(k.frames, k.channels, k.rate, 5), k.channels, k.rate);
    Bytes reference = DecodeOggWithVorbisfile(ogg);
    // A properly ended stream: its last page carries the exact length, whatever it is.
    ASSERT_EQ(reference.size(), static_cast<size_t>(k.frames) * 2 * k.channels);
    Converter conv(ogg);
    ASSERT_EQ(conv.result, 0);
    EXPECT_EQ(conv.c.kind, kConverterOggVorbis);
    EXPECT_EQ(conv.c.outputFormat.channels, k.channels);
    EXPECT_EQ(conv.c.outputFormat.blockAlign, 2 * k.channels);
    EXPECT_EQ(conv.c.outputFormat.avgBytesPerSec, 2u * k.channels * k.rate);
    EXPECT_EQ(conv.c.outputFormat.bitsPerSample, 16);
    EXPECT_EQ(GetSoundConverterPcmSize(&conv.c), reference.size());
    EXPECT_TRUE(conv.DecodeAll() == reference);
    ExpectSeeksMatch(conv, reference, {5000u});
  }
  // A chain whose second link changes the channel count ends where the first ends. The
  // first link spans several pages: vorbisfile opens a chain whose first link is one
  // ended page at the second link.
  Bytes mono = EncodeOgg(TestTone(44100, 1, 22050, 1), 1, 22050);
  Bytes stereo = EncodeOgg(TestTone(8000, 2, 22050, 2), 2, 22050);
  Bytes chain = mono;
  chain.insert(chain.end(), stereo.begin(), stereo.end());
  Converter chained(chain);
  ASSERT_EQ(chained.result, 0);
  SeekSoundConverter(&chained.c, 0);
  Bytes first = chained.Read(1 << 20);
  EXPECT_EQ(first.size(), 44100u * 2);
  EXPECT_TRUE(first == DecodeOggWithVorbisfile(mono));
  // A damaged page in the middle is a hole: the decode goes on after it, as vorbisfile's.
  Bytes longer = EncodeOgg(TestTone(44100 * 2, 2, 44100, 7), 2, 44100);
  size_t page = 0;
  for (size_t at = longer.size() / 2; at + 4 < longer.size(); ++at) {
    if (std::memcmp(longer.data() + at, "OggS", 4) == 0) {
      page = at;
      break;
    }
  }
  ASSERT_NE(page, 0u);
  for (size_t k = 40; k < 60; ++k) longer[page + k] ^= 0x5A;
  Bytes withHole = DecodeOggWithVorbisfile(longer);
  Converter holed(longer);
  ASSERT_EQ(holed.result, 0);
  Bytes got = holed.DecodeAll();
  EXPECT_GT(got.size(), withHole.size() * 3 / 4);
  EXPECT_TRUE(got == withHole);
  // Pages cut off in the middle are refused or decode to what is there, never more.
  Bytes cut(mono.begin(), mono.begin() + mono.size() / 2);
  Converter half(cut);
  if (half.result == 0) {
    EXPECT_LE(half.DecodeAll().size(), DecodeOggWithVorbisfile(mono).size());
  }
}
