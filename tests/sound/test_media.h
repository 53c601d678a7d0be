#pragma once
// Sound inputs made by the tests: WAVE files written byte by byte, MP3 encoded with
// libmp3lame, Ogg Vorbis with libvorbisenc, and independent whole-file decodes.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/test_files.h"

using Bytes = std::vector<uint8_t>;

struct WaveSpec {
  uint16_t formatTag = 1;
  uint16_t channels = 2;
  uint32_t rate = 44100;
  uint16_t bits = 16;
  uint16_t blockAlign = 0;  // 0: channels x bits / 8
  uint32_t avgBytes = 0;    // 0: rate x block align
  uint32_t fmtSize = 16;
};

void Put16(Bytes& b, uint32_t v);
void Put32(Bytes& b, uint32_t v);
void PutChunk(Bytes& b, const char* id, const Bytes& data, uint32_t claimedSize = UINT32_MAX);
Bytes FmtChunk(const WaveSpec& spec);
// A whole RIFF WAVE: "fmt " then "data" with `pcm`.
Bytes MakeWave(const WaveSpec& spec, const Bytes& pcm);
// Deterministic pseudo-random bytes.
Bytes NoiseBytes(size_t n, uint32_t seed);
// Interleaved 16-bit PCM: a sine per channel with a little noise.
std::vector<int16_t> TestTone(int frames, int channels, int rate, uint32_t seed = 1);
Bytes AsBytes(const std::vector<int16_t>& samples);

// MP3 at `rate` with `channels`, constant bitrate; with `infoTag` the first frame is
// the encoder's Info tag (delay and padding for gapless playback), else there is none.
// With `freeFormat` the headers carry no bitrate index: the frame size is only found
// from where the next frame starts. With `crc` every frame header is followed by its CRC.
Bytes EncodeMp3(const std::vector<int16_t>& pcm, int channels, int rate, int kbps, bool infoTag = false,
                bool freeFormat = false, bool crc = false);
// All frames of an MP3 as libmpg123 decodes the whole file at once (16-bit, no
// gapless trimming, an info frame decoded as audio).
Bytes DecodeMp3WithMpg123(const Bytes& mp3, int* channels = nullptr, long* rate = nullptr);
// The whole file as libmpg123 plays it gapless: the Info frame skipped, the delay and
// padding it records cut.
Bytes DecodeMp3GaplessWithMpg123(const Bytes& mp3);
// The PCM byte count of the whole file as libmpg123 reads it out into one reused
// buffer: the reference that decoding speed is measured against.
size_t DecodeMp3BytesWithMpg123(const Bytes& mp3);

// Ogg Vorbis encoded with libvorbisenc (quality 0.4); files concatenate into chains.
Bytes EncodeOgg(const std::vector<int16_t>& pcm, int channels, int rate);
// The whole file decoded by vorbisfile alone (16-bit little-endian).
Bytes DecodeOggWithVorbisfile(const Bytes& ogg);
