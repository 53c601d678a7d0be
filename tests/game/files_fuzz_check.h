#pragma once
// One fuzz input through both file loaders; aborts when a loader crashes or lets an
// out-of-range value through. Shared by the libFuzzer target and the mutation loop.
#include <cstddef>
#include <cstdint>

void FuzzFileLoaders(const uint8_t* data, size_t size);
