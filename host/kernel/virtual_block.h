#pragma once
// Page blocks as the system's virtual-memory allocation gives them: zero-filled and
// aligned to the allocation granularity. Counted, so tests can check none is left.
#include <cstddef>

constexpr size_t kAllocationGranularity = 65536;

// Null when `size` is 0 or the memory cannot be had.
void* AllocVirtualBlock(size_t size);
// A null block is ignored.
void FreeVirtualBlock(void* block);
int LiveVirtualBlockCount();
