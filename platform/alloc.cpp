#include "platform/alloc.h"

#include <cstdlib>
#include <cstring>

#include "host/kernel/sync.h"
#include "platform/log.h"

namespace {
// Every block is preceded by this header; the live blocks form a list so that the
// ones never freed can be named at library end.
struct alignas(16) BlockHeader {
  BlockHeader* next;
  BlockHeader* prev;
  size_t size;
  uint32_t serial;
  int line;
  uint32_t magic;
  char tag[20];
};
constexpr uint32_t kLiveMagic = 0x4B4C4241;   // marks a live block
constexpr uint32_t kFreedMagic = 0x44454546;  // written on free to catch double frees

CriticalSection& AllocLock() {
  static CriticalSection lock;
  return lock;
}
BlockHeader g_liveHead{&g_liveHead, &g_liveHead, 0, 0, 0, 0, {}};
int g_liveCount = 0;
size_t g_liveBytes = 0;
uint32_t g_nextSerial = 0;

void SetOrigin(BlockHeader* header, size_t size, const char* sourceTag, int line) {
  header->size = size;
  header->line = line;
  header->magic = kLiveMagic;
  std::memset(header->tag, 0, sizeof header->tag);
  if (sourceTag != nullptr) std::strncpy(header->tag, sourceTag, sizeof header->tag - 1);
}

void Link(BlockHeader* header) {
  header->serial = g_nextSerial++;
  header->next = g_liveHead.next;
  header->prev = &g_liveHead;
  g_liveHead.next->prev = header;
  g_liveHead.next = header;
  ++g_liveCount;
  g_liveBytes += header->size;
}

void Unlink(BlockHeader* header) {
  header->prev->next = header->next;
  header->next->prev = header->prev;
  --g_liveCount;
  g_liveBytes -= header->size;
}

BlockHeader* HeaderOf(void* block) { return static_cast<BlockHeader*>(block) - 1; }

bool SizeFits(size_t size) { return size <= SIZE_MAX - sizeof(BlockHeader); }
}  // namespace

void* TrackedAlloc(size_t size, const char* sourceTag, int line) {
  if (!SizeFits(size)) return nullptr;
  // A zero-byte request still gets a block of its own, so that the result is valid.
  auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
  if (header == nullptr) return nullptr;
  SetOrigin(header, size, sourceTag, line);
  CriticalSectionGuard guard(AllocLock());
  Link(header);
  return header + 1;
}

void* TrackedAllocZeroed(size_t size, const char* sourceTag, int line) {
  void* block = TrackedAlloc(size, sourceTag, line);
  if (block != nullptr) std::memset(block, 0, size);
  return block;
}

void* TrackedRealloc(void* block, size_t newSize, const char* sourceTag, int line) {
  if (block == nullptr) return TrackedAlloc(newSize, sourceTag, line);
  if (!SizeFits(newSize)) return nullptr;
  BlockHeader* header = HeaderOf(block);
  if (header->magic != kLiveMagic) return nullptr;
  CriticalSectionGuard guard(AllocLock());
  size_t oldSize = header->size;
  // On failure the old block stays valid and tracked, as with realloc.
  auto* moved = static_cast<BlockHeader*>(std::realloc(header, sizeof(BlockHeader) + newSize));
  if (moved == nullptr) return nullptr;
  moved->prev->next = moved;
  moved->next->prev = moved;
  g_liveBytes = g_liveBytes - oldSize + newSize;
  SetOrigin(moved, newSize, sourceTag, line);
  return moved + 1;
}

void TrackedFree(void* block) {
  if (block == nullptr) return;
  BlockHeader* header = HeaderOf(block);
  {
    CriticalSectionGuard guard(AllocLock());
    if (header->magic != kLiveMagic) {
      WriteLog("確保していないメモリ領域を解放しようとしました\n");
      return;
    }
    Unlink(header);
    header->magic = kFreedMagic;
  }
  std::free(header);
}

void* MemFill(void* destination, int value, size_t count) {
  return std::memset(destination, value, count);
}

int TrackedLiveCount() {
  CriticalSectionGuard guard(AllocLock());
  return g_liveCount;
}

size_t TrackedLiveBytes() {
  CriticalSectionGuard guard(AllocLock());
  return g_liveBytes;
}

void DumpLiveAllocations() {
  CriticalSectionGuard guard(AllocLock());
  if (g_liveCount == 0) return;
  WriteLogFormat("解放されていないメモリ領域: %d 個 %zu バイト", g_liveCount, g_liveBytes);
  IncreaseLogIndent();
  // Oldest first, the order they were made in.
  for (BlockHeader* h = g_liveHead.prev; h != &g_liveHead; h = h->prev) {
    WriteLogFormat("%s(%d) 番号 %u サイズ %zu", h->tag[0] != '\0' ? h->tag : "(タグなし)", h->line,
                   h->serial, h->size);
  }
  DecreaseLogIndent();
}
