// MP3 through the compression manager: the file is scanned frame by frame, described
// as MPEG Layer-3 and converted whole frame by whole frame. A file that starts with a
// valid LAME tag plays gapless: the tag frame is skipped and the encoder's delay and
// padding are cut from what the frames decode to, so loops join without silence.
#include <algorithm>
#include <cstring>

#include "host/acm/mpeg_frames.h"
#include "platform/alloc.h"
#include "sound/decoders/sound_converter.h"

int ParseMpegFrameHeader(const uint8_t b[4], MpegFrameInfo* info) {
  static const uint16_t kBitrates[2][3][16] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
  };
  static const uint32_t kRates[2][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}};
  if (b[0] != 0xFF || (b[1] & 0xF0) != 0xF0) return -2;
  MpegFrameInfo f{};
  f.versionFlag = (b[1] & 0x08) ? 0 : 1;
  int layer = 3 - ((b[1] >> 1) & 3);
  if (layer == 3) return -1;
  f.layer = static_cast<uint8_t>(layer);
  f.bitrateIndex = b[2] >> 4;
  // Free format (index 0) carries no bitrate, so no frame length can be known.
  if (f.bitrateIndex == 15 || f.bitrateIndex == 0) return -1;
  f.bitrate = kBitrates[f.versionFlag][f.layer][f.bitrateIndex];
  f.sampleRateIndex = (b[2] >> 2) & 3;
  if (f.sampleRateIndex == 3) return -1;
  f.sampleRate = kRates[f.versionFlag][f.sampleRateIndex];
  f.padding = (b[2] >> 1) & 1;
  f.channels = (b[3] >> 6) == 3 ? 1 : 2;
  if (f.layer == 0) {
    f.frameLength = (12000 * f.bitrate / f.sampleRate + f.padding) * 4;
    f.samplesPerFrame = 384;
  } else if (f.versionFlag == 0 || f.layer == 1) {
    f.frameLength = 144000 * f.bitrate / f.sampleRate + f.padding;
    f.samplesPerFrame = 1152;
  } else {
    f.frameLength = 72000 * f.bitrate / f.sampleRate + f.padding;
    f.samplesPerFrame = 576;
  }
  *info = f;
  return 0;
}

int OpenAcmMp3Converter(SoundConverter* c) {
  AcmDecoderState& a = c->acm;
  a = AcmDecoderState{};
  a.totalSamples = 0;
  a.keepEnd = 0xFFFFFFFFu;

  StreamSeek(c, 0, 2);
  int64_t fileSize = StreamTell(c);
  StreamSeek(c, 0, 0);
  if (fileSize <= 0 || fileSize > 0xFFFFFFFFll) return -1;

  int64_t audioStart = 0;
  uint8_t id3[10];
  // The tag is measured as the graph path measures it, so both skip the same bytes.
  if (StreamRead(c, id3, sizeof id3) == sizeof id3) audioStart = MpegLeadingTagBytes(id3);
  int64_t trailer = fileSize;
  if (fileSize > 128) {
    char tag[3];
    StreamSeek(c, fileSize - 128, 0);
    trailer = StreamRead(c, tag, 3) == 3 && std::memcmp(tag, "TAG", 3) == 0 ? 128 : 0;
  }
  const int64_t scanLimit = fileSize - trailer;

  StreamSeek(c, audioStart, 0);
  int64_t firstFrame = -1;
  int64_t audioEnd = 0;
  for (;;) {
    uint8_t h[4];
    if (StreamRead(c, h, 1) != 1) break;
    if (h[0] != 0xFF) continue;
    if (StreamRead(c, h + 1, 1) != 1) break;
    if ((h[1] & 0xF0) != 0xF0) continue;
    if (StreamRead(c, h + 2, 2) != 2) break;
    MpegFrameInfo info;
    if (ParseMpegFrameHeader(h, &info) != 0 || info.frameLength == 0) return -1;
    int64_t position = StreamTell(c) - 4;
    int64_t frameEnd = position + info.frameLength;
    if (firstFrame < 0) {
      // Random bytes can look like one frame header; a real first frame is followed
      // by the next frame's header (or by the end of the audio).
      uint8_t next[4];
      if (frameEnd != scanLimit) {
        StreamSeek(c, frameEnd, 0);
        MpegFrameInfo nextInfo;
        if (frameEnd + 4 > scanLimit || StreamRead(c, next, 4) != 4 ||
            ParseMpegFrameHeader(next, &nextInfo) != 0) {
          return -1;
        }
      }
      firstFrame = position;
    }
    a.totalSamples += info.samplesPerFrame;
    audioEnd = frameEnd;
    if (frameEnd < scanLimit) {
      StreamSeek(c, frameEnd, 0);
    } else {
      audioEnd = frameEnd < scanLimit ? frameEnd : scanLimit;
      break;
    }
  }
  if (firstFrame < 0 || audioEnd <= firstFrame) return -1;

  MpegFrameInfo first;
  uint8_t h[4];
  StreamSeek(c, firstFrame, 0);
  if (StreamRead(c, h, 4) != 4 || ParseMpegFrameHeader(h, &first) != 0) return -1;

  // A tag frame that a later frame follows is no audio: it yields nothing, and what it
  // records of the encoder's delay and padding is cut from the decoded samples.
  bool gapless = false;
  uint32_t keepFrom = 0, keepTo = 0;
  if (first.layer == 2 && firstFrame + first.frameLength < audioEnd) {
    uint8_t frame[2048];
    uint32_t size = first.frameLength < sizeof frame ? first.frameLength : sizeof frame;
    MpegGaplessTag tag;
    StreamSeek(c, firstFrame, 0);
    if (StreamRead(c, frame, size) == size && ReadMpegGaplessTag(frame, size, &tag)) {
      StreamSeek(c, firstFrame + first.frameLength, 0);
      MpegFrameInfo audio;
      if (StreamRead(c, h, 4) == 4 && ParseMpegFrameHeader(h, &audio) == 0) {
        gapless = true;
        firstFrame += first.frameLength;
        a.totalSamples -= first.samplesPerFrame;
        first = audio;
        const MpegKeptSamples kept = MpegGaplessKeptSamples(tag, a.totalSamples, first.samplesPerFrame);
        keepFrom = kept.from;
        keepTo = kept.to;
        a.totalSamples = keepTo - keepFrom;
      }
    }
  }

  uint32_t formatSize = 0;
  if (AcmMetrics(nullptr, kAcmMetricMaxSizeFormat, &formatSize) != 0 || formatSize == 0) formatSize = 30;
  if (formatSize < sizeof(MpegLayer3WaveFormat)) formatSize = sizeof(MpegLayer3WaveFormat);
  auto* mp3 = static_cast<MpegLayer3WaveFormat*>(TrackedAllocZeroed(formatSize, "", 0));
  if (mp3 == nullptr) return -1;
  mp3->wfx.formatTag = kWaveFormatMpegLayer3;
  mp3->wfx.channels = first.channels;
  mp3->wfx.samplesPerSec = first.sampleRate;
  mp3->wfx.avgBytesPerSec = first.bitrate * 1000 / 8;
  mp3->wfx.blockAlign = 1;
  mp3->wfx.bitsPerSample = 0;
  mp3->wfx.cbSize = 12;
  mp3->wID = kMpegLayer3IdMpeg;
  mp3->fdwFlags = first.padding ? kMpegLayer3FlagPaddingOn : kMpegLayer3FlagPaddingIso;
  mp3->nBlockSize = static_cast<uint16_t>(first.frameLength);
  mp3->nFramesPerBlock = 1;
  mp3->nCodecDelay = 700;
  a.sourceFormat = &mp3->wfx;

  StreamSeek(c, firstFrame, 0);
  c->dataStart = static_cast<uint32_t>(firstFrame);
  c->dataSize = static_cast<uint32_t>(audioEnd - firstFrame);
  WaveFormatEx out{};
  out.formatTag = kWaveFormatPcm;
  if (AcmFormatSuggest(nullptr, a.sourceFormat, &out, sizeof out, kAcmFormatSuggestWFormatTag) != 0) {
    CloseAcmConverter(c);
    return -1;
  }
  if (FinishAcmOpen(c, out.avgBytesPerSec * 4 / 3) != 0) return -1;
  if (gapless) {
    a.keepStart = keepFrom * c->outputFormat.blockAlign;
    a.keepEnd = keepTo * c->outputFormat.blockAlign;
  }
  return 0;
}
