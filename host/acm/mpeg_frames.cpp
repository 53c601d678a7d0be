#include "host/acm/mpeg_frames.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <mutex>

bool ReadMpegAudioFrame(const uint8_t* b, MpegAudioFrame* f) {
  static const uint16_t kBitrates[5][15] = {
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // V1 L1
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // V1 L2
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // V1 L3
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // V2 L1
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // V2 L2/L3
  };
  static const uint32_t kRates[3] = {44100, 48000, 32000};
  if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return false;
  int version = (b[1] >> 3) & 3;  // 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
  int layerBits = (b[1] >> 1) & 3;
  int bitrateIndex = b[2] >> 4;
  int rateIndex = (b[2] >> 2) & 3;
  if (version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
    return false;
  }
  int layer = 4 - layerBits;
  bool mpeg1 = version == 3;
  uint32_t rate = kRates[rateIndex] >> (mpeg1 ? 0 : (version == 2 ? 1 : 2));
  int row = mpeg1 ? layer - 1 : (layer == 1 ? 3 : 4);
  uint32_t bitrate = kBitrates[row][bitrateIndex] * 1000u;
  uint32_t padding = (b[2] >> 1) & 1;
  if (layer == 1) {
    f->length = (12 * bitrate / rate + padding) * 4;
    f->samples = 384;
  } else if (layer == 2 || mpeg1) {
    f->length = 144 * bitrate / rate + padding;
    f->samples = 1152;
  } else {
    f->length = 72 * bitrate / rate + padding;
    f->samples = 576;
  }
  f->rate = rate;
  f->channels = (b[3] >> 6) == 3 ? 1 : 2;
  return f->length >= 4;
}

MpegFrameDecoder::~MpegFrameDecoder() {
  if (handle_) mpg123_delete(handle_);
}

bool MpegFrameDecoder::Open(uint32_t rate, uint16_t channels) {
  if (handle_ || rate == 0 || channels < 1 || channels > 2) return false;
  static std::once_flag once;
  std::call_once(once, [] { mpg123_init(); });
  int err = 0;
  mpg123_handle* h = mpg123_new(nullptr, &err);
  // Whole frames are fed, so no read-ahead is needed; the info frame is decoded as
  // audio and no gapless trimming is done, so every frame yields its full samples.
  if (!h ||
      mpg123_param(h, MPG123_FLAGS,
                   MPG123_QUIET | MPG123_NO_READAHEAD | MPG123_IGNORE_INFOFRAME |
                       MPG123_IGNORE_STREAMLENGTH,
                   0) != MPG123_OK ||
      mpg123_format_none(h) != MPG123_OK ||
      mpg123_format(h, static_cast<long>(rate), channels == 1 ? MPG123_MONO : MPG123_STEREO,
                    MPG123_ENC_SIGNED_16) != MPG123_OK ||
      mpg123_open_feed(h) != MPG123_OK) {
    if (h) mpg123_delete(h);
    return false;
  }
  handle_ = h;
  frameBytes_ = channels * 2u;
  return true;
}

namespace {

// Decodes what the fed frame yields into `out` (capacity `cap`); the byte count.
uint32_t DrainDecoder(mpg123_handle* h, uint8_t* out, uint32_t cap) {
  uint32_t total = 0;
  for (;;) {
    off_t num = 0;
    unsigned char* audio = nullptr;
    size_t bytes = 0;
    int r = mpg123_decode_frame(h, &num, &audio, &bytes);
    if (r == MPG123_NEW_FORMAT) continue;
    if (r != MPG123_OK) break;
    uint32_t n = static_cast<uint32_t>(std::min<size_t>(bytes, cap - total));
    std::memcpy(out + total, audio, n);
    total += n;
  }
  return total;
}

}  // namespace

MpegFrameDecoder::Result MpegFrameDecoder::Decode(const uint8_t* src, uint32_t srcBytes,
                                                  uint8_t* dst, uint32_t dstBytes) {
  Result r{0, 0, 0};
  if (!handle_) return r;
  mpg123_handle* h = handle_;
  while (r.used + 4 <= srcBytes) {
    MpegAudioFrame frame;
    if (!ReadMpegAudioFrame(src + r.used, &frame)) {
      ++r.used;  // not a frame: resynchronise byte by byte
      continue;
    }
    if (frame.length > srcBytes - r.used) break;  // partial frame: left for the next call
    uint32_t worst = frame.samples * frameBytes_;
    if (worst > dstBytes - r.produced) break;
    mpg123_feed(h, src + r.used, frame.length);
    r.used += frame.length;
    uint32_t got = DrainDecoder(h, dst + r.produced, worst);
    if (got > 0) ++r.decoded;
    // A frame the decoder could not use still lasts its samples: keep the timing.
    if (got < worst) std::memset(dst + r.produced + got, 0, worst - got);
    r.produced += worst;
  }
  return r;
}
