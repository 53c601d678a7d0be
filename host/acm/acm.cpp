#include "host/acm/acm.h"

#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>

namespace {

struct FrameHeader {
  uint32_t length;
  uint32_t samples;
};

// The frame length and sample count of an MPEG audio frame header; false for anything
// that is not a complete header of a fixed bitrate (free format is refused).
bool ParseFrameHeader(const uint8_t* b, FrameHeader* h) {
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
    h->length = (12 * bitrate / rate + padding) * 4;
    h->samples = 384;
  } else if (layer == 2 || mpeg1) {
    h->length = 144 * bitrate / rate + padding;
    h->samples = 1152;
  } else {
    h->length = 72 * bitrate / rate + padding;
    h->samples = 576;
  }
  return h->length >= 4;
}

bool IsPcmSource(const WaveFormatEx& f) {
  if (f.channels < 1 || f.channels > 2 || f.samplesPerSec == 0) return false;
  bool intPcm = f.formatTag == kWaveFormatPcm &&
                (f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24 ||
                 f.bitsPerSample == 32);
  bool floatPcm = f.formatTag == kWaveFormatIeeeFloat && f.bitsPerSample == 32;
  return (intPcm || floatPcm) && f.blockAlign == f.channels * f.bitsPerSample / 8;
}

bool IsMpegSource(const WaveFormatEx& f) {
  return f.formatTag == kWaveFormatMpegLayer3 && f.channels >= 1 && f.channels <= 2 &&
         f.samplesPerSec > 0;
}

WaveFormatEx Pcm16For(const WaveFormatEx& src) {
  WaveFormatEx d{};
  d.formatTag = kWaveFormatPcm;
  d.channels = src.channels;
  d.samplesPerSec = src.samplesPerSec;
  d.bitsPerSample = 16;
  d.blockAlign = static_cast<uint16_t>(src.channels * 2);
  d.avgBytesPerSec = d.samplesPerSec * d.blockAlign;
  d.cbSize = 0;
  return d;
}

int16_t ConvertSample(const uint8_t* p, const WaveFormatEx& f) {
  switch (f.bitsPerSample) {
    case 8:
      return static_cast<int16_t>((p[0] - 128) * 256);
    case 16:
      return static_cast<int16_t>(p[0] | (p[1] << 8));
    case 24:
      return static_cast<int16_t>(p[1] | (p[2] << 8));  // the top 16 bits
    default:
      break;
  }
  if (f.formatTag == kWaveFormatIeeeFloat) {
    float v;
    std::memcpy(&v, p, 4);
    if (!(v == v)) return 0;  // NaN
    double s = std::nearbyint(static_cast<double>(v) * 32768.0);
    return static_cast<int16_t>(std::clamp(s, -32768.0, 32767.0));
  }
  return static_cast<int16_t>(p[2] | (p[3] << 8));
}

}  // namespace

struct AcmStream {
  bool mpeg = false;
  WaveFormatEx src{};
  WaveFormatEx dst{};
  mpg123_handle* decoder = nullptr;
};

int AcmFormatSuggest(void*, const WaveFormatEx* src, WaveFormatEx* dst, uint32_t dstSize,
                     uint32_t flags) {
  if (!src || !dst || dstSize < sizeof(WaveFormatEx)) return kAcmErrInvalidParam;
  if (!IsPcmSource(*src) && !IsMpegSource(*src)) return kAcmErrNotPossible;
  WaveFormatEx s = Pcm16For(*src);
  if ((flags & kAcmFormatSuggestWFormatTag) && dst->formatTag != kWaveFormatPcm) return kAcmErrNotPossible;
  if ((flags & kAcmFormatSuggestNChannels) && dst->channels != s.channels) return kAcmErrNotPossible;
  if ((flags & kAcmFormatSuggestNSamplesPerSec) && dst->samplesPerSec != s.samplesPerSec) return kAcmErrNotPossible;
  if ((flags & kAcmFormatSuggestWBitsPerSample) && dst->bitsPerSample != 16) return kAcmErrNotPossible;
  *dst = s;
  return kAcmOk;
}

int AcmStreamOpen(AcmStreamHandle* out, void*, const WaveFormatEx* src, const WaveFormatEx* dst,
                  void*, uintptr_t, uintptr_t, uint32_t) {
  if (!out || !src || !dst) return kAcmErrInvalidParam;
  *out = nullptr;
  bool mpeg = IsMpegSource(*src);
  if (!mpeg && !IsPcmSource(*src)) return kAcmErrNotPossible;
  WaveFormatEx expected = Pcm16For(*src);
  if (std::memcmp(&expected, dst, sizeof(WaveFormatEx) - 2) != 0) return kAcmErrNotPossible;
  auto* stream = new (std::nothrow) AcmStream();
  if (!stream) return kAcmErrNotPossible;
  stream->mpeg = mpeg;
  stream->src = *src;
  stream->dst = expected;
  if (mpeg) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int err = 0;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    // Whole frames are fed, so no read-ahead is needed; the info frame is decoded as
    // audio and no gapless trimming is done, so every frame yields its full samples.
    if (!h || mpg123_param(h, MPG123_FLAGS,
                           MPG123_QUIET | MPG123_NO_READAHEAD | MPG123_IGNORE_INFOFRAME |
                               MPG123_IGNORE_STREAMLENGTH,
                           0) != MPG123_OK ||
        mpg123_format_none(h) != MPG123_OK ||
        mpg123_format(h, static_cast<long>(expected.samplesPerSec),
                      expected.channels == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_SIGNED_16) != MPG123_OK ||
        mpg123_open_feed(h) != MPG123_OK) {
      if (h) mpg123_delete(h);
      delete stream;
      return kAcmErrNotPossible;
    }
    stream->decoder = h;
  }
  *out = stream;
  return kAcmOk;
}

int AcmStreamClose(AcmStreamHandle stream, uint32_t) {
  if (!stream) return kAcmErrInvalidParam;
  if (stream->decoder) mpg123_delete(stream->decoder);
  delete stream;
  return kAcmOk;
}

int AcmStreamSize(AcmStreamHandle stream, uint32_t input, uint32_t* output, uint32_t flags) {
  if (!stream || !output) return kAcmErrInvalidParam;
  const uint64_t outBa = stream->dst.blockAlign;
  uint64_t bytes;
  if (flags & kAcmStreamSizeDestination) {
    if (stream->mpeg) return kAcmErrNotPossible;
    bytes = input / outBa * stream->src.blockAlign;
  } else if (stream->mpeg) {
    // No MPEG frame yields more than 24 samples per byte (MPEG-2 layer III at 8 kbit/s).
    bytes = (static_cast<uint64_t>(input) * 24 + 1152) * outBa;
  } else {
    bytes = input / stream->src.blockAlign * outBa;
  }
  *output = static_cast<uint32_t>(std::min<uint64_t>(bytes, UINT32_MAX));
  return kAcmOk;
}

int AcmStreamPrepareHeader(AcmStreamHandle stream, AcmStreamHeader* header, uint32_t) {
  if (!stream || !header || header->cbStruct < sizeof(AcmStreamHeader)) return kAcmErrInvalidParam;
  if (header->fdwStatus & kAcmStreamHeaderPrepared) return kAcmErrBusy;
  header->fdwStatus |= kAcmStreamHeaderPrepared;
  return kAcmOk;
}

int AcmStreamUnprepareHeader(AcmStreamHandle stream, AcmStreamHeader* header, uint32_t) {
  if (!stream || !header) return kAcmErrInvalidParam;
  if (!(header->fdwStatus & kAcmStreamHeaderPrepared)) return kAcmErrUnprepared;
  header->fdwStatus &= ~kAcmStreamHeaderPrepared;
  return kAcmOk;
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

void ConvertMpeg(AcmStream* s, AcmStreamHeader* h) {
  const uint32_t frameOut = s->dst.blockAlign;
  uint32_t used = 0;
  uint32_t produced = 0;
  while (used + 4 <= h->cbSrcLength) {
    FrameHeader fh;
    if (!ParseFrameHeader(h->pbSrc + used, &fh)) {
      ++used;  // not a frame: resynchronise byte by byte
      continue;
    }
    if (fh.length > h->cbSrcLength - used) break;  // partial frame: left for the next call
    uint32_t worst = fh.samples * frameOut;
    if (worst > h->cbDstLength - produced) break;
    mpg123_feed(s->decoder, h->pbSrc + used, fh.length);
    used += fh.length;
    uint32_t got = DrainDecoder(s->decoder, h->pbDst + produced, worst);
    if (got < worst) {
      // A frame the decoder could not use still lasts its samples: keep the timing.
      std::memset(h->pbDst + produced + got, 0, worst - got);
    }
    produced += worst;
  }
  h->cbSrcLengthUsed = used;
  h->cbDstLengthUsed = produced;
}

void ConvertPcm(AcmStream* s, AcmStreamHeader* h) {
  const uint32_t inBa = s->src.blockAlign;
  const uint32_t outBa = s->dst.blockAlign;
  const uint32_t bytesPerSample = s->src.bitsPerSample / 8;
  uint32_t frames = std::min(h->cbSrcLength / inBa, h->cbDstLength / outBa);
  for (uint32_t i = 0; i < frames; ++i) {
    for (uint32_t c = 0; c < s->src.channels; ++c) {
      int16_t v = ConvertSample(h->pbSrc + i * inBa + c * bytesPerSample, s->src);
      std::memcpy(h->pbDst + i * outBa + c * 2, &v, 2);
    }
  }
  h->cbSrcLengthUsed = frames * inBa;
  h->cbDstLengthUsed = frames * outBa;
}

}  // namespace

int AcmStreamConvert(AcmStreamHandle stream, AcmStreamHeader* header, uint32_t) {
  if (!stream || !header) return kAcmErrInvalidParam;
  if (!(header->fdwStatus & kAcmStreamHeaderPrepared)) return kAcmErrUnprepared;
  header->cbSrcLengthUsed = 0;
  header->cbDstLengthUsed = 0;
  if ((header->cbSrcLength && !header->pbSrc) || (header->cbDstLength && !header->pbDst)) {
    return kAcmErrInvalidParam;
  }
  if (stream->mpeg) {
    ConvertMpeg(stream, header);
  } else {
    ConvertPcm(stream, header);
  }
  return kAcmOk;
}

int AcmMetrics(void*, uint32_t metric, void* out) {
  if (!out) return kAcmErrInvalidParam;
  if (metric != kAcmMetricMaxSizeFormat) return kAcmErrNotPossible;
  uint32_t size = sizeof(MpegLayer3WaveFormat);
  std::memcpy(out, &size, sizeof size);
  return kAcmOk;
}
