#include "sound/decoders/sound_converter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/alloc.h"
#include "platform/file.h"
#include "platform/log.h"

int g_soundDecoderMask = 0;
int MovieSoundFlag = 0;

namespace {

void ReleaseDecoderState(SoundConverter* c) {
  switch (c->kind) {
    case kConverterAcm:
      CloseAcmConverter(c);
      break;
    case kConverterOggVorbis:
      CloseOggVorbisStream(c);
      break;
    case kConverterMemoryPcm:
      TrackedFree(c->memory.pcm);
      c->memory.pcm = nullptr;
      break;
    default:
      break;
  }
}

// Fills the PCM block from the decoder: 0, or -1 at the end of the data.
int FillBlock(SoundConverter* c) {
  switch (c->kind) {
    case kConverterPcmWave:
      return ReadPcmWaveBlock(c);
    case kConverterAcm:
      return ReadAcmBlock(c);
    case kConverterOggVorbis:
      return ReadOggVorbisBlock(c);
    case kConverterMemoryPcm: {
      MemoryPcmState& m = c->memory;
      if (m.readPosition >= m.size) return -1;
      uint32_t n = std::min(c->blockSize, m.size - m.readPosition);
      std::memcpy(c->pcmBlock, m.pcm + m.readPosition, n);
      c->bytesLeft = n;
      m.readPosition += n;
      return 0;
    }
    default:
      return -1;
  }
}

}  // namespace

int OpenSoundConverter(const SoundStream* stream, SoundConverter* c) {
  std::memset(c, 0, sizeof *c);
  c->vorbisBuildFlag = static_cast<uint32_t>(MovieSoundFlag);
  c->stream = *stream;
  c->prerollTarget = 0;
  StreamSeek(c, 0, 0);

  using Opener = int (*)(SoundConverter*);
  static const Opener kOpeners[] = {OpenPcmWaveConverter, OpenAcmWaveConverter, OpenOggVorbisStream,
                                    OpenAcmMp3Converter, ConvertMp3ToPcm};
  bool opened = false;
  for (int i = 0; i < 5 && !opened; ++i) {
    if (g_soundDecoderMask & (1 << i)) continue;
    if (kOpeners[i](c) == 0) {
      opened = true;
    } else if (i < 3) {
      StreamSeek(c, 0, 0);
    }
  }
  // The filter-graph decoder seeks the stream itself.
  if (!opened) return -1;

  c->open = 0;
  c->ended = 0;
  c->pcmBlock = static_cast<uint8_t*>(TrackedAlloc(c->blockSize, "", 0));
  if (c->pcmBlock == nullptr) {
    ReleaseDecoderState(c);
    return -1;
  }
  c->bytesLeft = 0;
  c->blockOffset = 0;
  c->pcmPosition = 0;
  c->open = 1;
  return 0;
}

int ReadSoundConverter(SoundConverter* c, void* destination, uint32_t count) {
  if (!c->open) return -1;
  if (c->ended) return 0;
  uint8_t* d = static_cast<uint8_t*>(destination);
  uint32_t delivered = 0;
  while (count > 0) {
    if (c->bytesLeft == 0) {
      c->blockOffset = 0;
      // A decoder that fills nothing has nothing more to give: that is the end too,
      // never a reason to ask again.
      if (FillBlock(c) != 0 || c->bytesLeft == 0) {
        c->bytesLeft = 0;
        c->ended = 1;
        return static_cast<int>(delivered);
      }
    }
    uint32_t n = std::min(count, c->bytesLeft);
    std::memcpy(d, c->pcmBlock + c->blockOffset, n);
    d += n;
    c->blockOffset += n;
    c->pcmPosition += n;
    c->bytesLeft -= n;
    count -= n;
    delivered += n;
  }
  return static_cast<int>(delivered);
}

int SeekSoundConverter(SoundConverter* c, uint32_t sampleIndex) {
  uint32_t target = c->outputFormat.blockAlign * sampleIndex;
  int64_t distance = static_cast<int64_t>(target) - static_cast<int64_t>(c->pcmPosition);
  if (distance > -16 && distance < 16) return 0;
  switch (c->kind) {
    case kConverterPcmWave:
      SeekPcmWave(c, sampleIndex);
      break;
    case kConverterAcm:
      SeekAcmConverter(c, sampleIndex);
      break;
    case kConverterOggVorbis:
      SeekOggVorbisStream(c, sampleIndex);
      break;
    case kConverterMemoryPcm:
      c->pcmPosition = target;
      c->memory.readPosition = std::min(target, c->memory.size);
      c->bytesLeft = 0;
      c->blockOffset = 0;
      break;
    default:
      break;
  }
  c->ended = 0;
  return 0;
}

int CloseSoundConverter(SoundConverter* c) {
  if (!c->open) return -1;
  TrackedFree(c->pcmBlock);
  c->pcmBlock = nullptr;
  ReleaseDecoderState(c);
  c->open = 0;
  return 0;
}

int GetSoundConverterFormat(const SoundConverter* c, WaveFormatEx* format) {
  *format = c->outputFormat;
  return 0;
}

uint32_t GetSoundConverterPcmSize(SoundConverter* c) {
  switch (c->kind) {
    case kConverterPcmWave:
      return c->dataSize;
    case kConverterAcm:
      if (c->acm.totalSamples != 0xFFFFFFFFu) return c->outputFormat.blockAlign * c->acm.totalSamples;
      {
        uint32_t out = 0;
        if (AcmStreamSize(c->acm.mainStream, c->acm.compressedSize, &out, kAcmStreamSizeSource) != 0) return 0;
        return out;
      }
    case kConverterOggVorbis:
      return GetOggPcmByteSize(c);
    case kConverterMemoryPcm:
      return c->memory.size;
    default:
      return 0;
  }
}

int DecodeSoundConverterToMemory(SoundConverter* c, uint8_t** block, uint32_t* size,
                                 WaveFormatEx* format) {
  if (c->kind == kConverterMemoryPcm && c->memory.pcm != nullptr) {
    // Held whole already: the block itself goes to the caller, not a copy of it.
    *block = c->memory.pcm;
    *size = c->memory.size;
    *format = c->outputFormat;
    c->memory = {};
    c->ended = 0;
    c->pcmPosition = *size;
    c->bytesLeft = 0;
    c->blockOffset = 0;
    return 0;
  }
  uint32_t total = GetSoundConverterPcmSize(c);
  uint8_t* data = static_cast<uint8_t*>(TrackedAlloc(total, "", 0));
  if (data == nullptr) return -1;
  SeekSoundConverter(c, 0);
  uint32_t got;
  if (c->kind == kConverterPcmWave) {
    // One read straight into the block; a short file yields only what was read.
    StreamSeek(c, c->dataStart, 0);
    got = static_cast<uint32_t>(StreamRead(c, data, total));
    c->pcmPosition = got;  // the stream stands at the end of what was read
    c->bytesLeft = 0;
  } else {
    int n = ReadSoundConverter(c, data, total);
    got = n > 0 ? static_cast<uint32_t>(n) : 0;
  }
  *block = data;
  *size = got;
  *format = c->outputFormat;
  return 0;
}

int BuildTempWaveImage(uint8_t** image, uint32_t* imageSize, const void* formatBytes,
                       uint32_t formatSize, const void* pcm, uint32_t pcmSize) {
  uint32_t total = formatSize + pcmSize + 28;
  uint8_t* p = static_cast<uint8_t*>(TrackedAlloc(total, "", 0));
  if (p == nullptr) return WriteLog("仮WAVEファイルイメージ用のメモリ確保に失敗しました\n");
  auto put32 = [](uint8_t* at, uint32_t v) {
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
    at[2] = static_cast<uint8_t>(v >> 16);
    at[3] = static_cast<uint8_t>(v >> 24);
  };
  std::memcpy(p, "RIFF", 4);
  put32(p + 4, formatSize + pcmSize + 20);
  std::memcpy(p + 8, "WAVEfmt ", 8);
  put32(p + 16, formatSize);
  std::memcpy(p + 20, formatBytes, formatSize);
  std::memcpy(p + 20 + formatSize, "data", 4);
  put32(p + 24 + formatSize, pcmSize);
  std::memcpy(p + 28 + formatSize, pcm, pcmSize);
  *image = p;
  *imageSize = total;
  return 0;
}

int ReadWholeFile(const char* fileName, uint8_t** block, uint32_t* size) {
  FileHandle f = OpenFileViaTable(fileName, 0, 1, 0);
  if (f == 0) return WriteLogFormat("右記のファイルのオープンに失敗しました：%s", fileName);
  SeekFileViaTable(f, 0, 2);
  int64_t length = TellFileViaTable(f);
  SeekFileViaTable(f, 0, 0);
  uint8_t* data = length >= 0 && length <= 0xFFFFFFFFll
                      ? static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(length), "", 0))
                      : nullptr;
  if (data == nullptr) {
    CloseFileViaTable(f);
    return WriteLogFormat("右記のファイルのロードに必要なメモリの確保に失敗しました：%s", fileName);
  }
  // A file that shrinks under us gives what could be read.
  size_t got = ReadFileViaTable(data, 1, static_cast<size_t>(length), f);
  CloseFileViaTable(f);
  *block = data;
  *size = static_cast<uint32_t>(got);
  return 0;
}

int ReadWholeStream(const SoundStream* stream, uint8_t** block, uint32_t* size) {
  const StreamFunctionTable& fn = stream->functions;
  fn.seek(stream->handle, 0, 2);
  int64_t length = fn.tell(stream->handle);
  fn.seek(stream->handle, 0, 0);
  uint8_t* data = length >= 0 && length <= 0xFFFFFFFFll
                      ? static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(length), "", 0))
                      : nullptr;
  if (data == nullptr) return WriteLogFormat("ストリームの読み込みに必要なメモリの確保に失敗しました");
  size_t got = fn.read(data, 1, static_cast<size_t>(length), stream->handle);
  *block = data;
  *size = static_cast<uint32_t>(got);
  return 0;
}

int SamplesToMilliseconds(int sampleCount, int sampleRate) {
  if (sampleRate == 0) return 0;
  __int128 product = static_cast<__int128>(static_cast<int64_t>(sampleCount)) * 1000;
  return static_cast<int>(static_cast<int64_t>(product / sampleRate));
}
