// libFuzzer entry over the save-file and replay-file loaders.
#include <cstddef>
#include <cstdint>

#include "tests/game/files_fuzz_check.h"

// The loaders only log when a write fails, which the fuzzer never does.
int WriteLogFormat(const char*, ...) { return -1; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzFileLoaders(data, size);
  return 0;
}
