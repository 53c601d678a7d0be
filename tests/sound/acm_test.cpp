// The compression manager converts MP3 in whole frames only.
#include <gtest/gtest.h>

#include "host/acm/acm.h"
#include "host/acm/mpeg_frames.h"
#include "sound/decoders/sound_converter.h"
#include "tests/sound/test_media.h"

TEST(AcmMp3, ConvertsWholeFramesAndLeavesPartialOnesForTheNextCall) {
  Bytes mp3 = EncodeMp3(TestTone(44100 / 2, 2, 44100), 2, 44100, 128);
  Bytes reference = DecodeMp3WithMpg123(mp3);
  MpegFrameInfo first;
  ASSERT_EQ(ParseMpegFrameHeader(mp3.data(), &first), 0);
  MpegLayer3WaveFormat src{};
  src.wfx = {kWaveFormatMpegLayer3, 2, 44100, 16000, 1, 0, 12};
  WaveFormatEx pcm{};
  pcm.formatTag = kWaveFormatPcm;
  ASSERT_EQ(AcmFormatSuggest(nullptr, &src.wfx, &pcm, sizeof pcm, kAcmFormatSuggestWFormatTag), kAcmOk);
  EXPECT_EQ(pcm.bitsPerSample, 16);
  EXPECT_EQ(pcm.blockAlign, 4);
  AcmStreamHandle stream = nullptr;
  ASSERT_EQ(AcmStreamOpen(&stream, nullptr, &src.wfx, &pcm, nullptr, 0, 0, kAcmStreamOpenNonRealtime), kAcmOk);

  const uint32_t frameOut = 1152 * 4;
  Bytes out(frameOut * 3);
  struct Step {
    uint32_t srcBytes, dstBytes, wantUsed, wantOut;
  } steps[] = {
      {first.frameLength + 200, frameOut * 3, first.frameLength, frameOut},  // a frame and a piece
      {first.frameLength * 3, frameOut - 1, 0, 0},                          // no room for a frame
  };
  size_t consumed = 0;
  Bytes decoded;
  for (const Step& s : steps) {
    AcmStreamHeader h{};
    h.cbStruct = sizeof h;
    h.pbSrc = mp3.data() + consumed;
    h.cbSrcLength = s.srcBytes;
    h.pbDst = out.data();
    h.cbDstLength = s.dstBytes;
    ASSERT_EQ(AcmStreamConvert(stream, &h, kAcmStreamConvertBlockAlign), kAcmErrUnprepared);
    ASSERT_EQ(AcmStreamPrepareHeader(stream, &h, 0), kAcmOk);
    ASSERT_EQ(AcmStreamConvert(stream, &h, kAcmStreamConvertBlockAlign), kAcmOk);
    ASSERT_EQ(AcmStreamUnprepareHeader(stream, &h, 0), kAcmOk);
    EXPECT_EQ(h.cbSrcLengthUsed, s.wantUsed);
    EXPECT_EQ(h.cbDstLengthUsed, s.wantOut);
    consumed += h.cbSrcLengthUsed;
    decoded.insert(decoded.end(), out.begin(), out.begin() + h.cbDstLengthUsed);
  }
  // The rest in 2048-byte pieces: nothing is held back, so the total is exact.
  while (consumed < mp3.size()) {
    AcmStreamHeader h{};
    h.cbStruct = sizeof h;
    h.pbSrc = mp3.data() + consumed;
    h.cbSrcLength = static_cast<uint32_t>(std::min<size_t>(2048, mp3.size() - consumed));
    h.pbDst = out.data();
    h.cbDstLength = static_cast<uint32_t>(out.size());
    AcmStreamPrepareHeader(stream, &h, 0);
    AcmStreamConvert(stream, &h, kAcmStreamConvertBlockAlign);
    AcmStreamUnprepareHeader(stream, &h, 0);
    if (h.cbSrcLengthUsed == 0) break;
    consumed += h.cbSrcLengthUsed;
    decoded.insert(decoded.end(), out.begin(), out.begin() + h.cbDstLengthUsed);
  }
  EXPECT_EQ(consumed, mp3.size());
  EXPECT_EQ(decoded.size() % frameOut, 0u);
  EXPECT_TRUE(decoded == reference);
  uint32_t bound = 0;
  ASSERT_EQ(AcmStreamSize(stream, static_cast<uint32_t>(mp3.size()), &bound, kAcmStreamSizeSource), kAcmOk);
  EXPECT_GE(bound, decoded.size());
  EXPECT_EQ(AcmStreamClose(stream, 0), kAcmOk);

  // Formats it does not convert are refused.
  WaveFormatEx adpcm = {2, 1, 22050, 11100, 512, 4, 0};
  EXPECT_EQ(AcmFormatSuggest(nullptr, &adpcm, &pcm, sizeof pcm, kAcmFormatSuggestWFormatTag), kAcmErrNotPossible);
  EXPECT_EQ(AcmStreamOpen(&stream, nullptr, &adpcm, &pcm, nullptr, 0, 0, 0), kAcmErrNotPossible);
}

// A free-format frame is as long as the distance to the next header of its stream, less
// its padding; a lone look-alike in the frame's data is no such header, since no third
// header follows it at that distance.
TEST(MpegFrames, AFreeFormatFrameIsSizedByTheHeadersOfItsOwnStream) {
  const uint8_t kFree[4] = {0xFF, 0xFB, 0x00, 0x40};  // MPEG-1 Layer III, 44.1 kHz, joint stereo
  struct Case {
    const char* what;
    std::vector<size_t> headers;  // positions of headers like kFree
    std::vector<size_t> padded;   // those with the padding bit
    size_t size;
    uint8_t layerBits;  // 1: Layer III
    uint32_t expected;
  } cases[] = {
      {"three frames", {0, 500, 1000}, {}, 1200, 1, 500},
      {"the first padded", {0, 501, 1001}, {0}, 1200, 1, 500},
      {"the second padded", {0, 500, 1001}, {500}, 1200, 1, 500},
      {"a look-alike inside the first", {0, 100, 500, 1000}, {}, 1200, 1, 500},
      {"the data ends inside the second", {0, 500}, {}, 700, 1, 500},
      {"one header", {0}, {}, 1200, 1, 0},
      {"a third header out of step", {0, 500, 900}, {}, 2000, 1, 0},
      {"Layer II", {0, 500, 1000}, {}, 1200, 2, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Bytes data(k.size, 0x55);
    for (size_t at : k.headers) {
      std::copy(kFree, kFree + 4, data.begin() + static_cast<std::ptrdiff_t>(at));
      data[at + 1] = static_cast<uint8_t>((data[at + 1] & ~0x06) | (k.layerBits << 1));
    }
    for (size_t at : k.padded) data[at + 2] |= 0x02;
    const uint32_t bytes = MpegFreeFormatBytes(data.data(), data.size());
    EXPECT_EQ(bytes, k.expected);
    MpegAudioFrame frame{};
    EXPECT_FALSE(ReadMpegAudioFrame(data.data(), &frame));  // no size of its own
    if (bytes != 0) {
      ASSERT_TRUE(ReadMpegAudioFrame(data.data(), &frame, bytes));
      EXPECT_EQ(frame.length, k.expected + (k.padded.size() == 1 && k.padded[0] == 0 ? 1 : 0));
      EXPECT_EQ(frame.samples, 1152u);
      EXPECT_EQ(frame.rate, 44100u);
    }
  }
}
