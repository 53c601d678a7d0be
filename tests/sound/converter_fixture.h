#pragma once
// The sound converter over a memory image, for the decoder tests and the game data test.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>

#include "platform/alloc.h"
#include "platform/stream.h"
#include "sound/decoders/sound_converter.h"
#include "tests/sound/test_media.h"

// A converter over a memory image; closes both at the end.
struct Converter {
  explicit Converter(const Bytes& image) : data(image) {
    stream = BufferStreamOpen(data.data(), data.size());
    SoundStream s{*GetBufferStreamFunctions(), stream};
    result = OpenSoundConverter(&s, &c);
  }
  ~Converter() {
    if (result == 0) CloseSoundConverter(&c);
    BufferStreamClose(stream);
  }
  Bytes DecodeAll() {
    uint8_t* block = nullptr;
    uint32_t size = 0;
    WaveFormatEx f;
    EXPECT_EQ(DecodeSoundConverterToMemory(&c, &block, &size, &f), 0);
    Bytes out(block, block + size);
    TrackedFree(block);
    return out;
  }
  Bytes Read(uint32_t n) {
    Bytes out(n);
    int got = ReadSoundConverter(&c, out.data(), n);
    out.resize(got < 0 ? 0 : got);
    return out;
  }
  Bytes data;
  StreamHandle stream;
  SoundConverter c{};
  int result;
};

// A seek to each sample, then a read, gives what reading through from the start gives.
inline void ExpectSeeksMatch(Converter& conv, const Bytes& reference, std::initializer_list<uint32_t> samples) {
  const uint32_t ba = conv.c.outputFormat.blockAlign;
  for (uint32_t sample : samples) {
    SeekSoundConverter(&conv.c, sample);
    Bytes got = conv.Read(20000);
    size_t at = static_cast<size_t>(sample) * ba;
    ASSERT_EQ(got.size(), std::min<size_t>(20000, reference.size() - at)) << sample;
    EXPECT_TRUE(std::equal(got.begin(), got.end(), reference.begin() + at)) << sample;
  }
}
