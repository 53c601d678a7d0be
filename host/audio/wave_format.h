#pragma once
// The PCM format record shared by the audio device, the compression manager and the
// sound layer: 18 bytes, byte-packed, little-endian, as stored in a WAVE "fmt " chunk.
#include <cstdint>

constexpr uint16_t kWaveFormatPcm = 1;
constexpr uint16_t kWaveFormatIeeeFloat = 3;
constexpr uint16_t kWaveFormatMpegLayer3 = 0x55;

#pragma pack(push, 1)
struct WaveFormatEx {
  uint16_t formatTag;
  uint16_t channels;
  uint32_t samplesPerSec;
  uint32_t avgBytesPerSec;
  uint16_t blockAlign;
  uint16_t bitsPerSample;
  uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormatEx) == 18);
