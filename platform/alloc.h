#pragma once
// The library's tracked allocator: every block carries a header with the caller's
// source tag, line and a serial id, so that blocks still live at library end can be
// dumped to the log with where they came from.
#include <cstddef>
#include <cstdint>

void* TrackedAlloc(size_t size, const char* sourceTag, int line);
void* TrackedAllocZeroed(size_t size, const char* sourceTag, int line);
void* TrackedRealloc(void* block, size_t newSize, const char* sourceTag, int line);
void TrackedFree(void* block);
void* MemFill(void* destination, int value, size_t count);

// Number of tracked blocks now live, and their total size in bytes.
int TrackedLiveCount();
size_t TrackedLiveBytes();
// Writes one log line per live block (tag, line, serial, size). Called at library end.
void DumpLiveAllocations();
