// libFuzzer entry over the save-file and replay-file loaders.
#include <cstddef>
#include <cstdint>

#include "tests/game/files_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzFileLoaders(data, size);
  return 0;
}
