#include "host/acm/mpeg_frames.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <mutex>

bool ReadMpegAudioFrame(const uint8_t* b, MpegAudioFrame* f, uint32_t freeFormatBytes) {
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
  if (version == 1 || layerBits == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  if (bitrateIndex == 0 && (freeFormatBytes == 0 || layerBits != 1)) return false;
  int layer = 4 - layerBits;
  bool mpeg1 = version == 3;
  uint32_t rate = kRates[rateIndex] >> (mpeg1 ? 0 : (version == 2 ? 1 : 2));
  int row = mpeg1 ? layer - 1 : (layer == 1 ? 3 : 4);
  uint32_t bitrate = kBitrates[row][bitrateIndex] * 1000u;
  uint32_t padding = (b[2] >> 1) & 1;
  if (bitrateIndex == 0) {
    f->length = freeFormatBytes + padding;
    f->samples = mpeg1 ? 1152 : 576;
  } else if (layer == 1) {
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

namespace {

uint32_t BigEndian32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

// CRC-16 with the polynomial 0x8005, bit-reflected, starting from 0: the LAME tag's own.
uint16_t LameTagCrc(const uint8_t* p, uint32_t n) {
  uint16_t crc = 0;
  for (uint32_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

// The decoder's synthesis delay: its output lags the encoded signal by this many samples.
constexpr uint32_t kDecoderDelay = 529;

// The largest frame libmpg123 reads, free format included.
constexpr size_t kMaxFrameBytes = 3456;

// The headers of one free-format stream differ only in padding, the private bit and
// the joint-stereo mode extension.
bool SameFreeFormatStream(const uint8_t* first, const uint8_t* b) {
  return b[0] == 0xFF && b[1] == first[1] && (b[2] & 0xFC) == (first[2] & 0xFC) && (b[3] >> 6) == (first[3] >> 6);
}

}  // namespace

uint32_t MpegFreeFormatBytes(const uint8_t* data, size_t size) {
  if (size < 4 || data[0] != 0xFF || (data[1] & 0xE0) != 0xE0 || (data[2] >> 4) != 0) return 0;
  const int version = (data[1] >> 3) & 3;
  if (version == 1 || ((data[1] >> 1) & 3) != 1 || ((data[2] >> 2) & 3) == 3) return 0;
  const bool mono = (data[3] >> 6) == 3;
  // A frame holds at least its header, its CRC when protected and its side information.
  const size_t smallest = 4 + ((data[1] & 1) ? 0 : 2) + (version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17));
  const uint32_t padding = (data[2] >> 1) & 1;
  for (size_t d = smallest; d + 4 <= size && d <= kMaxFrameBytes + padding; ++d) {
    if (!SameFreeFormatStream(data, data + d)) continue;
    const size_t bytes = d - padding;
    const size_t next = d + bytes + ((data[d + 2] >> 1) & 1);
    if (next + 4 > size || SameFreeFormatStream(data, data + next)) return static_cast<uint32_t>(bytes);
  }
  return 0;
}

int64_t MpegLeadingTagBytes(const uint8_t* head) {
  if (std::memcmp(head, "ID3", 3) != 0) return 0;
  int64_t size = ((((head[6] & 0x7F) * 128ll + (head[7] & 0x7F)) * 128 + (head[8] & 0x7F)) * 128 + (head[9] & 0x7F)) + 10;
  if (head[3] == 4 && (head[5] & 0x10)) size += 10;  // footer
  return size;
}

uint64_t CountMpegFrameSamples(const uint8_t* data, size_t size) {
  uint64_t held = 0;
  uint32_t freeFormatBytes = 0;
  for (size_t at = 0; at + 4 <= size;) {
    MpegAudioFrame frame;
    if (!ReadMpegAudioFrame(&data[at], &frame, freeFormatBytes)) {
      if (freeFormatBytes == 0 && (freeFormatBytes = MpegFreeFormatBytes(&data[at], size - at)) != 0) continue;
      ++at;
      continue;
    }
    held += frame.samples;
    at += frame.length;
  }
  return held;
}

bool ReadMpegGaplessTag(const uint8_t* frame, uint32_t size, MpegGaplessTag* tag, uint32_t freeFormatBytes) {
  MpegAudioFrame header;
  if (size < 4 || !ReadMpegAudioFrame(frame, &header, freeFormatBytes) || ((frame[1] >> 1) & 3) != 1) return false;
  const bool mpeg1 = ((frame[1] >> 3) & 3) == 3;
  const bool mono = header.channels == 1;
  // The encoder writes the tag after the header and the side information's room, with
  // or without a CRC: the CRC takes the room's first two bytes, not a place of its own.
  const uint32_t at = 4 + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
  if (size < at + 8) return false;
  if (std::memcmp(frame + at, "Info", 4) != 0 && std::memcmp(frame + at, "Xing", 4) != 0) return false;
  const uint32_t flags = BigEndian32(frame + at + 4);
  uint32_t lame = at + 8;
  uint32_t frames = 0;
  if (flags & 1) {
    if (size < lame + 4) return false;
    frames = BigEndian32(frame + lame);
    lame += 4;
  }
  if (flags & 2) lame += 4;    // byte count
  if (flags & 4) lame += 100;  // seek table
  if (flags & 8) lame += 4;    // quality
  // The LAME extension is 36 bytes; its last two are the CRC of the frame before them.
  if (size < lame + 36) return false;
  const uint16_t stored = static_cast<uint16_t>((frame[lame + 34] << 8) | frame[lame + 35]);
  if (LameTagCrc(frame, lame + 34) != stored) return false;
  tag->frames = frames;
  tag->delay = (static_cast<uint32_t>(frame[lame + 21]) << 4) | (frame[lame + 22] >> 4);
  tag->padding = (static_cast<uint32_t>(frame[lame + 22] & 0x0F) << 8) | frame[lame + 23];
  return true;
}

MpegKeptSamples MpegGaplessKeptSamples(const MpegGaplessTag& tag, uint64_t held, uint32_t samplesPerFrame) {
  held = std::min<uint64_t>(held, UINT32_MAX);
  const uint64_t frames = tag.frames != 0 || samplesPerFrame == 0 ? tag.frames : held / samplesPerFrame;
  const uint64_t start = std::min<uint64_t>(tag.delay + kDecoderDelay, held);
  const uint64_t total = frames * samplesPerFrame + kDecoderDelay;
  const uint64_t end = total > tag.padding ? total - tag.padding : 0;
  return {static_cast<uint32_t>(start), static_cast<uint32_t>(std::clamp<uint64_t>(end, start, held))};
}

MpegFrameDecoder::~MpegFrameDecoder() {
  if (handle_) mpg123_delete(handle_);
}

bool MpegFrameDecoder::Open(uint32_t rate, uint16_t channels, uint32_t freeFormatBytes) {
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
      // Without read-ahead, free format is decoded only at a size given beforehand:
      // libmpg123 counts it without the header and the padding.
      (freeFormatBytes > 4 &&
       mpg123_param(h, MPG123_FREEFORMAT_SIZE, static_cast<long>(freeFormatBytes - 4), 0) != MPG123_OK) ||
      mpg123_format_none(h) != MPG123_OK ||
      mpg123_format(h, static_cast<long>(rate), channels == 1 ? MPG123_MONO : MPG123_STEREO,
                    MPG123_ENC_SIGNED_16) != MPG123_OK ||
      mpg123_open_feed(h) != MPG123_OK) {
    if (h) mpg123_delete(h);
    return false;
  }
  handle_ = h;
  frameBytes_ = channels * 2u;
  freeFormatBytes_ = freeFormatBytes;
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
    if (!ReadMpegAudioFrame(src + r.used, &frame, freeFormatBytes_)) {
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
