#pragma once
// Memory handed across interfaces: whoever receives a block frees it with
// CoTaskMemFree. Live blocks are counted so tests can check that none is lost.
#include <cstddef>

// Null when the memory cannot be had (or a test asked for a failure).
void* CoTaskMemAlloc(size_t size);
// A null block is ignored.
void CoTaskMemFree(void* block);
int LiveTaskMemoryCount();
// Test seam: the next `count` allocations fail.
void FailNextTaskMemoryAllocations(int count);
