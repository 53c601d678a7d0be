#include "host/acm/acm.h"

#include "host/acm/mpeg_frames.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

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
  MpegFrameDecoder decoder;
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
  if (mpeg && !stream->decoder.Open(expected.samplesPerSec, expected.channels)) {
    delete stream;
    return kAcmErrNotPossible;
  }
  *out = stream;
  return kAcmOk;
}

int AcmStreamClose(AcmStreamHandle stream, uint32_t) {
  if (!stream) return kAcmErrInvalidParam;
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

void ConvertMpeg(AcmStream* s, AcmStreamHeader* h) {
  MpegFrameDecoder::Result r = s->decoder.Decode(h->pbSrc, h->cbSrcLength, h->pbDst, h->cbDstLength);
  h->cbSrcLengthUsed = r.used;
  h->cbDstLengthUsed = r.produced;
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
