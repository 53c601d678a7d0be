// libFuzzer entry over MP3 decoded through the filter graph: the memory reader, the
// system's MP3 decoder, the sample grabber and the graph manager take the input.
#include "tests/sound/converter_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_soundDecoderMask = 0x0F;  // every decoder before the graph's skipped
  FuzzSoundConverter(data, size);
  return 0;
}
