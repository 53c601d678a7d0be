// libFuzzer entry over the sound converter: every decoder may take the input.
#include "tests/sound/converter_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzSoundConverter(data, size);
  return 0;
}
