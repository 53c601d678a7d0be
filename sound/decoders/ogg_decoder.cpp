// Ogg Vorbis through vorbisfile, read through the converter's stream.
#include <cstring>

#include "sound/decoders/sound_converter.h"

int g_soundBytesPerSample = 2;

namespace {

size_t OggReadCallback(void* buffer, size_t size, size_t count, void* source) {
  if (source == nullptr) return static_cast<size_t>(-1);
  auto* s = static_cast<SoundStream*>(source);
  return s->functions.read(buffer, size, count, s->handle);
}

int OggSeekCallback(void* source, ogg_int64_t offset, int origin) {
  if (source == nullptr) return -1;
  auto* s = static_cast<SoundStream*>(source);
  return s->functions.seek(s->handle, offset, origin);
}

int OggCloseCallback(void*) { return 0; }  // the stream belongs to the converter's owner

long OggTellCallback(void* source) {
  if (source == nullptr) return -1;
  auto* s = static_cast<SoundStream*>(source);
  return static_cast<long>(s->functions.tell(s->handle));
}

}  // namespace

int OpenOggVorbisStream(SoundConverter* c) {
  OggDecoderState& o = c->ogg;
  o.vorbisOpen = 0;
  // Both vorbisfile builds the flag chooses between are this one library.
  const ov_callbacks callbacks = {OggReadCallback, OggSeekCallback, OggCloseCallback, OggTellCallback};
  if (ov_open_callbacks(&c->stream, &o.file, nullptr, 0, callbacks) != 0) return -1;
  o.vorbisOpen = 1;
  vorbis_info* vi = ov_info(&o.file, -1);
  o.bytesPerSample = static_cast<uint32_t>(g_soundBytesPerSample == 1 ? 1 : 2);
  // A stream whose length cannot be known cannot be sized or sought.
  if (vi == nullptr || vi->channels < 1 || vi->channels > 2 || vi->rate <= 0 ||
      ov_pcm_total(&o.file, -1) < 0) {
    CloseOggVorbisStream(c);
    return -1;
  }
  WaveFormatEx& f = c->outputFormat;
  f.formatTag = kWaveFormatPcm;
  f.channels = static_cast<uint16_t>(vi->channels);
  f.samplesPerSec = static_cast<uint32_t>(vi->rate);
  f.blockAlign = static_cast<uint16_t>(vi->channels * o.bytesPerSample);
  f.avgBytesPerSec = f.blockAlign * f.samplesPerSec;
  f.bitsPerSample = static_cast<uint16_t>(o.bytesPerSample * 8);
  f.cbSize = 0;
  c->blockSize = 4096;
  c->dataSize = GetOggPcmByteSize(c);
  c->kind = kConverterOggVorbis;
  return 0;
}

uint32_t GetOggPcmByteSize(SoundConverter* c) {
  ogg_int64_t total = ov_pcm_total(&c->ogg.file, -1);
  if (total < 0) return 0;
  return static_cast<uint32_t>(c->outputFormat.channels * c->ogg.bytesPerSample * total);
}

int ReadOggVorbisBlock(SoundConverter* c) {
  OggDecoderState& o = c->ogg;
  const int word = static_cast<int>(o.bytesPerSample);
  for (int holes = 0; holes < 1024; ++holes) {
    int section = 0;
    long n = ov_read(&o.file, reinterpret_cast<char*>(c->pcmBlock), static_cast<int>(c->blockSize), 0,
                     word, word != 1, &section);
    if (n == OV_HOLE) continue;  // a gap in the pages: the data goes on after it
    if (n <= 0) return -1;
    // A chained stream that changes its format cannot go on in this one.
    vorbis_info* vi = ov_info(&o.file, section);
    if (vi == nullptr || vi->channels != c->outputFormat.channels ||
        static_cast<uint32_t>(vi->rate) != c->outputFormat.samplesPerSec) {
      return -1;
    }
    c->bytesLeft = static_cast<uint32_t>(n);
    return 0;
  }
  return -1;
}

int SeekOggVorbisStream(SoundConverter* c, uint32_t sampleIndex) {
  ov_pcm_seek(&c->ogg.file, sampleIndex);
  c->bytesLeft = 0;
  c->blockOffset = 0;
  c->pcmPosition = c->outputFormat.blockAlign * sampleIndex;
  return 0;
}

int CloseOggVorbisStream(SoundConverter* c) {
  if (c->ogg.vorbisOpen == 1) {
    ov_clear(&c->ogg.file);
    c->ogg.vorbisOpen = 0;
  }
  return 0;
}
