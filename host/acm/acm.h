#pragma once
// The compression manager the sound converter calls: suggest a PCM format for a
// source format, open a conversion stream, size it, and convert prepared headers.
// MP3 (MPEG audio layers I-III) is decoded through libmpg123 in whole frames; PCM of
// 8, 16, 24 or 32-bit integers or 32-bit floats becomes 16-bit. Nothing else converts.
#include <cstdint>

#include "host/audio/wave_format.h"

constexpr int kAcmOk = 0;
constexpr int kAcmErrInvalidParam = 11;
constexpr int kAcmErrNotPossible = 512;
constexpr int kAcmErrBusy = 513;
constexpr int kAcmErrUnprepared = 514;

constexpr uint32_t kAcmFormatSuggestWFormatTag = 0x00010000;
constexpr uint32_t kAcmFormatSuggestNChannels = 0x00020000;
constexpr uint32_t kAcmFormatSuggestNSamplesPerSec = 0x00040000;
constexpr uint32_t kAcmFormatSuggestWBitsPerSample = 0x00080000;
constexpr uint32_t kAcmStreamOpenNonRealtime = 0x00000004;
constexpr uint32_t kAcmStreamSizeSource = 0x00000000;
constexpr uint32_t kAcmStreamSizeDestination = 0x00000001;
constexpr uint32_t kAcmStreamConvertBlockAlign = 0x00000004;
constexpr uint32_t kAcmStreamHeaderPrepared = 0x00020000;
constexpr uint32_t kAcmMetricMaxSizeFormat = 50;

constexpr uint16_t kMpegLayer3IdMpeg = 1;
constexpr uint32_t kMpegLayer3FlagPaddingIso = 0;
constexpr uint32_t kMpegLayer3FlagPaddingOn = 1;

#pragma pack(push, 1)
// The source format that describes an MPEG audio stream to the compression manager.
struct MpegLayer3WaveFormat {
  WaveFormatEx wfx;  // formatTag 0x55, cbSize 12
  uint16_t wID;
  uint32_t fdwFlags;
  uint16_t nBlockSize;
  uint16_t nFramesPerBlock;
  uint16_t nCodecDelay;
};
#pragma pack(pop)
static_assert(sizeof(MpegLayer3WaveFormat) == 30);

struct AcmStreamHeader {
  uint32_t cbStruct;
  uint32_t fdwStatus;
  uintptr_t dwUser;
  uint8_t* pbSrc;
  uint32_t cbSrcLength;
  uint32_t cbSrcLengthUsed;
  uintptr_t dwSrcUser;
  uint8_t* pbDst;
  uint32_t cbDstLength;
  uint32_t cbDstLengthUsed;
  uintptr_t dwDstUser;
};

struct AcmStream;
using AcmStreamHandle = AcmStream*;

// Fills `dst` (dstSize bytes, at least 18) with the PCM format `src` converts to.
int AcmFormatSuggest(void* driver, const WaveFormatEx* src, WaveFormatEx* dst, uint32_t dstSize,
                     uint32_t flags);
int AcmStreamOpen(AcmStreamHandle* out, void* driver, const WaveFormatEx* src,
                  const WaveFormatEx* dst, void* filter, uintptr_t callback, uintptr_t instance,
                  uint32_t flags);
int AcmStreamClose(AcmStreamHandle stream, uint32_t flags);
// With kAcmStreamSizeSource: an upper bound of the output for `input` source bytes.
int AcmStreamSize(AcmStreamHandle stream, uint32_t input, uint32_t* output, uint32_t flags);
int AcmStreamPrepareHeader(AcmStreamHandle stream, AcmStreamHeader* header, uint32_t flags);
int AcmStreamUnprepareHeader(AcmStreamHandle stream, AcmStreamHeader* header, uint32_t flags);
// Converts whole source units (MP3 frames, PCM frames) while their worst-case output
// fits; a trailing partial frame is left unused for the next call.
int AcmStreamConvert(AcmStreamHandle stream, AcmStreamHeader* header, uint32_t flags);
int AcmMetrics(void* object, uint32_t metric, void* out);
