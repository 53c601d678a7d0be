#pragma once
// What the sound fuzzers do with one input: open a converter on it with the decoders
// the mask leaves; what opens is decoded whole, sought and read in pieces, and closed.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "platform/alloc.h"
#include "platform/stream.h"
#include "sound/decoders/sound_converter.h"

inline void FuzzSoundConverter(const uint8_t* data, size_t size) {
  const StreamHandle stream = BufferStreamOpen(data, size);
  SoundStream source{*GetBufferStreamFunctions(), stream};
  SoundConverter c;
  if (OpenSoundConverter(&source, &c) == 0) {
    uint8_t* block = nullptr;
    uint32_t bytes = 0;
    WaveFormatEx format;
    if (DecodeSoundConverterToMemory(&c, &block, &bytes, &format) == 0) TrackedFree(block);
    uint8_t piece[700];
    for (uint32_t sample : {0u, 3u, 1000u, 20u, 0xFFFFFFu, 0u}) {
      SeekSoundConverter(&c, sample);
      ReadSoundConverter(&c, piece, sizeof piece);
    }
    CloseSoundConverter(&c);
  }
  BufferStreamClose(stream);
}
