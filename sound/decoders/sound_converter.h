#pragma once
// One sound source read through a stream and delivered as PCM block by block. Five
// decoders sit behind it: PCM WAVE, WAVE through the compression manager, Ogg Vorbis,
// MP3 through the compression manager, and PCM already held in memory.
#include <vorbis/vorbisfile.h>

#include <cstdint>

#include "host/acm/acm.h"
#include "host/audio/wave_format.h"
#include "host/dshow/interfaces.h"
#include "host/kernel/sync.h"
#include "platform/stream.h"

// Set bits skip decoders of OpenSoundConverter: 0 PCM WAVE, 1 compressed WAVE,
// 2 Ogg Vorbis, 3 MP3 through the compression manager, 4 MP3 through a filter graph.
extern int g_soundDecoderMask;
// Set by the movie player while it loads a movie's sound (second vorbisfile build).
extern int MovieSoundFlag;
// The library's bytes-per-sample setting, the word size Ogg Vorbis decodes to (2).
extern int g_soundBytesPerSample;

enum SoundConverterKind : uint32_t {
  kConverterPcmWave = 0,
  kConverterAcm = 1,
  kConverterOggVorbis = 2,
  kConverterMemoryPcm = 3,
};

struct SoundStream {
  StreamFunctionTable functions;
  StreamHandle handle;
};

struct AcmDecoderState {
  WaveFormatEx* sourceFormat;  // tracked block, with the format's extra bytes
  AcmStreamHandle mainStream;
  AcmStreamHandle spareStream;
  uint8_t* compressedData;
  uint32_t compressedSize;
  uint32_t mainSourcePosition;
  uint32_t totalSamples;  // MP3: sum of all frames' samples, trimmed when tagged; WAVE: 0xFFFFFFFF
  uint32_t spareSourcePosition;
  uint32_t sparePcmProduced;
  uint8_t* scratchBlock;
  // Gapless MP3 (a valid encoder tag): of the PCM the main stream decodes, only the bytes
  // in [keepStart, keepEnd) are delivered. Untagged sources keep [0, 0xFFFFFFFF).
  uint32_t keepStart;
  uint32_t keepEnd;
  uint32_t decodedPosition;  // PCM bytes the main stream has decoded, trimmed or not
};

struct MemoryPcmState {
  uint8_t* pcm;
  size_t capacity;
  uint32_t size;
  uint32_t readPosition;
};

struct OggDecoderState {
  uint32_t vorbisOpen;
  OggVorbis_File file;
  uint32_t bytesPerSample;
};

struct SoundConverter {
  uint32_t open;
  uint32_t ended;
  uint32_t kind;
  SoundStream stream;
  uint32_t formatChunkPosition;
  uint32_t formatChunkSize;
  uint32_t dataStart;
  uint32_t dataSize;
  WaveFormatEx outputFormat;
  AcmDecoderState acm;
  MemoryPcmState memory;
  OggDecoderState ogg;
  uint8_t* pcmBlock;
  uint32_t blockSize;
  uint32_t bytesLeft;
  uint32_t blockOffset;
  uint32_t pcmPosition;
  uint32_t prerollTarget;
  uint32_t vorbisBuildFlag;
};

int OpenSoundConverter(const SoundStream* stream, SoundConverter* converter);
// Bytes delivered (0..count; fewer than count means the data ended), -1 when not open.
int ReadSoundConverter(SoundConverter* converter, void* destination, uint32_t count);
int SeekSoundConverter(SoundConverter* converter, uint32_t sampleIndex);
int CloseSoundConverter(SoundConverter* converter);
int GetSoundConverterFormat(const SoundConverter* converter, WaveFormatEx* format);
uint32_t GetSoundConverterPcmSize(SoundConverter* converter);
// The whole sound as one tracked block the caller owns. A converter that holds its PCM
// in memory (kind 3) hands over that block itself: it has nothing left to read after.
int DecodeSoundConverterToMemory(SoundConverter* converter, uint8_t** block, uint32_t* size,
                                 WaveFormatEx* format);

int BuildTempWaveImage(uint8_t** image, uint32_t* imageSize, const void* formatBytes,
                       uint32_t formatSize, const void* pcm, uint32_t pcmSize);
int ReadWholeFile(const char* fileName, uint8_t** block, uint32_t* size);
int ReadWholeStream(const SoundStream* stream, uint8_t** block, uint32_t* size);
int SamplesToMilliseconds(int sampleCount, int sampleRate);

// Stream helpers shared by the decoders.
inline int64_t StreamTell(SoundConverter* c) { return c->stream.functions.tell(c->stream.handle); }
inline int StreamSeek(SoundConverter* c, int64_t offset, int origin) {
  return c->stream.functions.seek(c->stream.handle, offset, origin);
}
inline size_t StreamRead(SoundConverter* c, void* buffer, size_t bytes) {
  return c->stream.functions.read(buffer, 1, bytes, c->stream.handle);
}
inline int StreamEof(SoundConverter* c) { return c->stream.functions.eof(c->stream.handle); }

// The decoders (wave_decoder.cpp, mp3_decoder.cpp, ogg_decoder.cpp).
int OpenPcmWaveConverter(SoundConverter* converter);
int OpenAcmWaveConverter(SoundConverter* converter);
int OpenAcmMp3Converter(SoundConverter* converter);
int OpenOggVorbisStream(SoundConverter* converter);
// MP3 through a filter graph (mp3_graph_decoder.cpp): the whole PCM decoded at open and
// held in memory (kind 3).
int ConvertMp3ToPcm(SoundConverter* converter);
// The grabber's callback: appends the sample's bytes to the converter given as `user`,
// growing the block in 1 MB steps when the PCM outgrows it; a block that cannot grow is
// dropped (pcm null).
HRESULT CollectPcmSample(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, int32_t typeChanged,
                         uintptr_t user);
// The filter's first pin of `direction`, with a reference; null when there is none.
IPin* FindPinByDirection(IBaseFilter* filter, PIN_DIRECTION direction);
// The lock the callers of OpenSoundConverter hold (the sound layer's): the graph decoder
// leaves it while its graph runs. Null: no lock.
extern CriticalSection* g_converterCallerLock;
int ReadPcmWaveBlock(SoundConverter* converter);
int ReadAcmBlock(SoundConverter* converter);
int ReadOggVorbisBlock(SoundConverter* converter);
int SeekPcmWave(SoundConverter* converter, uint32_t sampleIndex);
int SeekAcmConverter(SoundConverter* converter, uint32_t sampleIndex);
int SeekOggVorbisStream(SoundConverter* converter, uint32_t sampleIndex);
int CloseAcmConverter(SoundConverter* converter);
int CloseOggVorbisStream(SoundConverter* converter);
uint32_t GetOggPcmByteSize(SoundConverter* converter);
// Shared tail of the two compression-manager decoders: output format, compressed
// data, the main and spare streams and the scratch block (0 = one second of output).
int FinishAcmOpen(SoundConverter* converter, uint32_t blockSize);

struct MpegFrameInfo {
  uint8_t layer;        // 0 Layer I, 1 Layer II, 2 Layer III
  uint8_t versionFlag;  // 0 MPEG-1, 1 MPEG-2
  uint8_t bitrateIndex;
  uint8_t sampleRateIndex;
  uint8_t padding;
  uint8_t channels;
  uint32_t sampleRate;
  uint32_t bitrate;  // kbit/s
  uint32_t frameLength;
  uint32_t samplesPerFrame;
};
// 0; -2 without frame sync; -1 for a reserved layer, a free-format or bad bitrate
// index, or sample-rate index 3.
int ParseMpegFrameHeader(const uint8_t header[4], MpegFrameInfo* info);

