// RIFF WAVE: PCM served as it stands, and any other format the compression manager
// converts.
#include <algorithm>
#include <cstring>

#include "host/audio/audio.h"
#include "platform/alloc.h"
#include "platform/log.h"
#include "sound/decoders/sound_converter.h"

namespace {

struct ChunkHeader {
  char id[4];
  uint32_t size;
};

bool ReadChunkHeader(SoundConverter* c, ChunkHeader* h) {
  uint8_t raw[8];
  if (StreamRead(c, raw, 8) != 8) return false;
  std::memcpy(h->id, raw, 4);
  h->size = raw[4] | (raw[5] << 8) | (raw[6] << 16) | (static_cast<uint32_t>(raw[7]) << 24);
  return true;
}

bool IsId(const ChunkHeader& h, const char* id) { return std::memcmp(h.id, id, 4) == 0; }

int64_t StreamLength(SoundConverter* c) {
  int64_t here = StreamTell(c);
  StreamSeek(c, 0, 2);
  int64_t length = StreamTell(c);
  StreamSeek(c, here, 0);
  return length;
}

// Steps 1-4 of the walk: "RIFF", "WAVE", an optional "bext", then "fmt ", read into a
// tracked block (at least 18 bytes, zero-filled past the chunk). Null on refusal.
uint8_t* ReadFormatChunk(SoundConverter* c) {
  ChunkHeader h;
  char wave[4];
  if (!ReadChunkHeader(c, &h) || !IsId(h, "RIFF")) return nullptr;
  if (StreamRead(c, wave, 4) != 4 || std::memcmp(wave, "WAVE", 4) != 0) return nullptr;
  if (!ReadChunkHeader(c, &h)) return nullptr;
  if (IsId(h, "bext")) {
    StreamSeek(c, h.size, 1);
    if (!ReadChunkHeader(c, &h)) return nullptr;
  }
  // A chunk shorter than the 16 bytes of PCM fields cannot describe the audio.
  if (!IsId(h, "fmt ") || h.size < 16 || h.size > 0x10000) return nullptr;
  uint8_t* block = static_cast<uint8_t*>(TrackedAllocZeroed(std::max<uint32_t>(h.size, 18), "", 0));
  if (block == nullptr) return nullptr;
  c->formatChunkPosition = static_cast<uint32_t>(StreamTell(c));
  c->formatChunkSize = h.size;
  if (StreamRead(c, block, h.size) != h.size) {
    TrackedFree(block);
    return nullptr;
  }
  return block;
}

// Steps 5-6: finds "data"; its contents are the audio. A chunk that claims more bytes
// than the stream holds is cut to what is there.
bool FindDataChunk(SoundConverter* c) {
  if (StreamEof(c)) return false;
  ChunkHeader h;
  for (;;) {
    if (!ReadChunkHeader(c, &h)) return false;
    if (IsId(h, "data")) break;
    StreamSeek(c, static_cast<int64_t>(h.size) + (h.size & 1), 1);
    if (StreamEof(c)) return false;
  }
  int64_t start = StreamTell(c);
  int64_t length = StreamLength(c);
  if (start < 0 || length < start || start > 0xFFFFFFFFll) return false;
  c->dataStart = static_cast<uint32_t>(start);
  c->dataSize = static_cast<uint32_t>(std::min<int64_t>(h.size, length - start));
  return true;
}

// The fields every position computation divides by or loops on, within what the
// device plays: one second of output, the block the decoders allocate, stays small
// whatever a damaged header claims.
bool FormatIsSound(const WaveFormatEx& f) {
  return (f.channels == 1 || f.channels == 2) && f.samplesPerSec >= kFrequencyMin &&
         f.samplesPerSec <= kFrequencyMax && f.blockAlign != 0 && f.bitsPerSample != 0 && f.avgBytesPerSec != 0;
}

void FixSixteenByteFormat(WaveFormatEx* f, uint32_t chunkSize) {
  if (chunkSize == 16 && f->channels != 0) {
    f->bitsPerSample = static_cast<uint16_t>(f->blockAlign / f->channels * 8);
    f->cbSize = 0;
  }
}

}  // namespace

int OpenPcmWaveConverter(SoundConverter* c) {
  uint8_t* chunk = ReadFormatChunk(c);
  if (chunk == nullptr) return -1;
  WaveFormatEx f{};
  std::memcpy(&f, chunk, std::min<uint32_t>(c->formatChunkSize, sizeof f));
  TrackedFree(chunk);
  FixSixteenByteFormat(&f, c->formatChunkSize);
  // Only what the device plays is served as it stands; wider PCM goes to the
  // compression manager, which makes 16-bit of it.
  if (f.formatTag != kWaveFormatPcm || !FormatIsSound(f) ||
      (f.bitsPerSample != 8 && f.bitsPerSample != 16) ||
      f.blockAlign != f.channels * f.bitsPerSample / 8) {
    return -1;
  }
  if (!FindDataChunk(c)) return -1;
  // A sample cut short at the end cannot play; the whole ones before it can.
  if (const uint32_t partial = c->dataSize % f.blockAlign) {
    WriteLogFormat("The WAVE data ends inside a sample: its last %u bytes are dropped\n", partial);
    c->dataSize -= partial;
  }
  // The samples play at their rate whatever the header's byte rate says.
  f.avgBytesPerSec = f.samplesPerSec * f.blockAlign;
  c->outputFormat = f;
  c->blockSize = f.avgBytesPerSec;
  c->kind = kConverterPcmWave;
  return 0;
}

int ReadPcmWaveBlock(SoundConverter* c) {
  int64_t position = StreamTell(c) - c->dataStart;
  if (position < 0 || position >= c->dataSize) return -1;
  uint32_t n = std::min<uint32_t>(c->blockSize, c->dataSize - static_cast<uint32_t>(position));
  size_t got = StreamRead(c, c->pcmBlock, n);
  c->bytesLeft = static_cast<uint32_t>(got);
  return got == 0 ? -1 : 0;
}

int SeekPcmWave(SoundConverter* c, uint32_t sampleIndex) {
  uint32_t offset = c->outputFormat.blockAlign * sampleIndex;
  StreamSeek(c, static_cast<int64_t>(c->dataStart) + offset, 0);
  c->pcmPosition = offset;
  c->bytesLeft = 0;
  c->blockOffset = 0;
  return 0;
}

// Opens the main and the spare conversion stream, reads the compressed data and makes
// the scratch block; shared by the WAVE and MP3 decoders. -1 after releasing.
int FinishAcmOpen(SoundConverter* c, uint32_t blockSize) {
  AcmDecoderState& a = c->acm;
  c->outputFormat = WaveFormatEx{};
  c->outputFormat.formatTag = kWaveFormatPcm;
  bool ok = AcmFormatSuggest(nullptr, a.sourceFormat, &c->outputFormat, sizeof(WaveFormatEx),
                             kAcmFormatSuggestWFormatTag) == 0;
  if (ok) {
    a.compressedSize = c->dataSize;
    a.compressedData = static_cast<uint8_t*>(TrackedAlloc(std::max<uint32_t>(c->dataSize, 1), "", 0));
    ok = a.compressedData != nullptr;
  }
  if (ok) {
    StreamSeek(c, c->dataStart, 0);
    a.compressedSize = static_cast<uint32_t>(StreamRead(c, a.compressedData, c->dataSize));
    StreamSeek(c, c->dataStart, 0);
    a.mainSourcePosition = 0;
    ok = AcmStreamOpen(&a.mainStream, nullptr, a.sourceFormat, &c->outputFormat, nullptr, 0, 0,
                       kAcmStreamOpenNonRealtime) == 0 &&
         AcmStreamOpen(&a.spareStream, nullptr, a.sourceFormat, &c->outputFormat, nullptr, 0, 0,
                       kAcmStreamOpenNonRealtime) == 0;
  }
  if (ok) {
    c->blockSize = blockSize == 0 ? c->outputFormat.avgBytesPerSec : blockSize;
    a.scratchBlock = static_cast<uint8_t*>(TrackedAlloc(c->blockSize, "", 0));
    ok = a.scratchBlock != nullptr && c->blockSize != 0;
  }
  if (!ok) {
    CloseAcmConverter(c);
    return -1;
  }
  c->kind = kConverterAcm;
  return 0;
}

int OpenAcmWaveConverter(SoundConverter* c) {
  c->acm = AcmDecoderState{};
  c->acm.totalSamples = 0xFFFFFFFFu;
  c->acm.keepEnd = 0xFFFFFFFFu;
  uint8_t* chunk = ReadFormatChunk(c);
  if (chunk == nullptr) return -1;
  c->acm.sourceFormat = reinterpret_cast<WaveFormatEx*>(chunk);
  WaveFormatEx* f = c->acm.sourceFormat;
  if (f->formatTag == kWaveFormatPcm) FixSixteenByteFormat(f, c->formatChunkSize);
  if (!FormatIsSound(*f) || !FindDataChunk(c)) {
    CloseAcmConverter(c);
    return -1;
  }
  return FinishAcmOpen(c, 0);
}

int ReadAcmBlock(SoundConverter* c) {
  AcmDecoderState& a = c->acm;
  // Pieces that decode only to trimmed samples (a gapless MP3's start) deliver nothing:
  // the next piece is converted in the same call.
  for (;;) {
    if (a.mainSourcePosition >= a.compressedSize || a.decodedPosition >= a.keepEnd) return -1;
    AcmStreamHeader h{};
    h.cbStruct = sizeof h;
    h.pbSrc = a.compressedData + a.mainSourcePosition;
    h.cbSrcLength = std::min<uint32_t>(2048, a.compressedSize - a.mainSourcePosition);
    h.pbDst = c->pcmBlock;
    h.cbDstLength = c->blockSize;
    if (AcmStreamPrepareHeader(a.mainStream, &h, 0) != 0) return -1;
    int r = AcmStreamConvert(a.mainStream, &h, kAcmStreamConvertBlockAlign);
    if (r != 0) h.cbDstLengthUsed = 0;
    c->bytesLeft = h.cbDstLengthUsed;
    a.mainSourcePosition += h.cbSrcLengthUsed;
    AcmStreamUnprepareHeader(a.mainStream, &h, 0);
    if (h.cbDstLengthUsed == 0) {
      c->bytesLeft = 0;
      a.mainSourcePosition = a.compressedSize;
      return -1;
    }
    const uint64_t from = a.decodedPosition;
    const uint64_t to = from + h.cbDstLengthUsed;
    a.decodedPosition = static_cast<uint32_t>(std::min<uint64_t>(to, 0xFFFFFFFFu));
    const uint64_t keepFrom = std::max<uint64_t>(from, a.keepStart);
    const uint64_t keepTo = std::min<uint64_t>(to, a.keepEnd);
    if (keepFrom >= keepTo) {
      c->bytesLeft = 0;
      continue;
    }
    if (keepFrom > from) {
      std::memmove(c->pcmBlock, c->pcmBlock + (keepFrom - from), static_cast<size_t>(keepTo - keepFrom));
    }
    c->bytesLeft = static_cast<uint32_t>(keepTo - keepFrom);
    return 0;
  }
}

int SeekAcmConverter(SoundConverter* c, uint32_t sampleIndex) {
  AcmDecoderState& a = c->acm;
  const uint32_t target = c->outputFormat.blockAlign * sampleIndex;
  auto moveInBlock = [c](uint32_t t) {
    uint32_t step = t - c->pcmPosition;
    c->blockOffset += step;
    c->pcmPosition += step;
    c->bytesLeft -= step;
  };
  if (c->pcmPosition <= target && target <= c->pcmPosition + c->bytesLeft) {
    moveInBlock(target);
    return 0;
  }
  if (target < c->pcmPosition) {
    // The spare stream is fresh at the start of the data: it becomes the main one,
    // and the old main stream is opened anew as the spare.
    std::swap(a.mainStream, a.spareStream);
    a.mainSourcePosition = a.spareSourcePosition;
    a.decodedPosition = 0;  // the fresh stream decodes from the start again
    c->pcmPosition = a.sparePcmProduced;
    c->bytesLeft = 0;
    c->blockOffset = 0;
    AcmStreamClose(a.spareStream, 0);
    a.spareStream = nullptr;
    AcmStreamOpen(&a.spareStream, nullptr, a.sourceFormat, &c->outputFormat, nullptr, 0, 0,
                  kAcmStreamOpenNonRealtime);
    a.spareSourcePosition = 0;
    a.sparePcmProduced = 0;
  }
  while (c->pcmPosition + c->bytesLeft < target) {
    c->pcmPosition += c->bytesLeft;
    c->bytesLeft = 0;
    c->blockOffset = 0;
    if (ReadAcmBlock(c) != 0) {
      c->bytesLeft = 0;
      c->ended = 1;
      return 0;
    }
  }
  moveInBlock(target);
  return 0;
}

int CloseAcmConverter(SoundConverter* c) {
  AcmDecoderState& a = c->acm;
  TrackedFree(a.sourceFormat);
  TrackedFree(a.scratchBlock);
  if (a.mainStream) AcmStreamClose(a.mainStream, 0);
  if (a.spareStream) AcmStreamClose(a.spareStream, 0);
  TrackedFree(a.compressedData);
  a = AcmDecoderState{};
  return 0;
}
