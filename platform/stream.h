#pragma once
// Streams handed to the image and sound loaders: a table of six operations and a
// handle. One table works on file-access handles, one on memory buffers.
#include <cstddef>
#include <cstdint>

using StreamHandle = uintptr_t;

struct StreamFunctionTable {
  int64_t (*tell)(StreamHandle handle);
  int (*seek)(StreamHandle handle, int64_t offset, int origin);  // 0 start, 1 current, 2 end
  size_t (*read)(void* buffer, size_t elementSize, size_t count, StreamHandle handle);
  int (*eof)(StreamHandle handle);
  int (*idleCheck)(StreamHandle handle);
  int (*close)(StreamHandle handle);
};

const StreamFunctionTable* GetFileStreamFunctions();
const StreamFunctionTable* GetBufferStreamFunctions();

// A read stream over a caller-owned block (not copied; it must outlive the stream).
// 0 when the stream record cannot be allocated.
StreamHandle BufferStreamOpen(const void* data, size_t size);
int BufferStreamClose(StreamHandle handle);
