#include "platform/stream.h"

#include <cstring>

#include "platform/alloc.h"
#include "platform/file.h"

namespace {
int FileStreamIdleCheck(StreamHandle h) { return g_fileAccessTable.idleCheck(h); }

// File streams pass straight through to whatever file table is installed.
constexpr StreamFunctionTable kFileStream = {TellFileViaTable, SeekFileViaTable,     ReadFileViaTable,
                                             EofFileViaTable,  FileStreamIdleCheck, CloseFileViaTable};

struct BufferStream {
  const unsigned char* data;
  size_t size;
  int64_t position;  // may lie past the end after a seek, as a file's can
  int endFlag;
};

BufferStream* AsBuffer(StreamHandle h) { return reinterpret_cast<BufferStream*>(h); }

int64_t BufferTell(StreamHandle h) { return h != 0 ? AsBuffer(h)->position : -1; }

int BufferSeek(StreamHandle h, int64_t offset, int origin) {
  if (h == 0) return -1;
  BufferStream* s = AsBuffer(h);
  int64_t base;
  switch (origin) {
    case 0: base = 0; break;
    case 1: base = s->position; break;
    case 2: base = static_cast<int64_t>(s->size); break;
    default: return -1;
  }
  int64_t target = base + offset;
  if (target < 0) return -1;
  s->position = target;
  s->endFlag = target >= static_cast<int64_t>(s->size) ? 1 : 0;
  return 0;
}

// Reads as fread does: whatever bytes are left are delivered, the count of whole
// elements is returned.
size_t BufferRead(void* buffer, size_t elementSize, size_t count, StreamHandle h) {
  if (h == 0 || buffer == nullptr || elementSize == 0 || count == 0) return 0;
  BufferStream* s = AsBuffer(h);
  int64_t size = static_cast<int64_t>(s->size);
  if (s->position >= size) {
    s->endFlag = 1;
    return 0;
  }
  size_t left = static_cast<size_t>(size - s->position);
  size_t bytes = count <= left / elementSize ? count * elementSize : left;
  std::memcpy(buffer, s->data + s->position, bytes);
  s->position += static_cast<int64_t>(bytes);
  s->endFlag = s->position >= size ? 1 : 0;
  return bytes / elementSize;
}

int BufferEof(StreamHandle h) { return h != 0 ? AsBuffer(h)->endFlag : 1; }
int BufferIdleCheck(StreamHandle) { return 1; }

constexpr StreamFunctionTable kBufferStream = {BufferTell, BufferSeek,      BufferRead,
                                               BufferEof,  BufferIdleCheck, BufferStreamClose};
}  // namespace

const StreamFunctionTable* GetFileStreamFunctions() { return &kFileStream; }

const StreamFunctionTable* GetBufferStreamFunctions() { return &kBufferStream; }

StreamHandle BufferStreamOpen(const void* data, size_t size) {
  auto* s = static_cast<BufferStream*>(TrackedAlloc(sizeof(BufferStream), "stream", __LINE__));
  if (s == nullptr) return 0;
  s->data = static_cast<const unsigned char*>(data);
  s->size = data != nullptr ? size : 0;
  s->position = 0;
  s->endFlag = 0;
  return reinterpret_cast<StreamHandle>(s);
}

int BufferStreamClose(StreamHandle handle) {
  if (handle == 0) return -1;
  TrackedFree(AsBuffer(handle));
  return 0;
}
