#include "host/kernel/virtual_block.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {
std::atomic<int> g_liveBlocks{0};
}

void* AllocVirtualBlock(size_t size) {
  if (size == 0) return nullptr;
  size_t rounded = (size + kAllocationGranularity - 1) / kAllocationGranularity * kAllocationGranularity;
  if (rounded < size) return nullptr;
  void* block = std::aligned_alloc(kAllocationGranularity, rounded);
  if (block == nullptr) return nullptr;
  std::memset(block, 0, rounded);
  g_liveBlocks.fetch_add(1);
  return block;
}

void FreeVirtualBlock(void* block) {
  if (block == nullptr) return;
  std::free(block);
  g_liveBlocks.fetch_sub(1);
}

int LiveVirtualBlockCount() { return g_liveBlocks.load(); }
