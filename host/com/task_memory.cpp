#include "host/com/task_memory.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<int> g_live{0};
std::atomic<int> g_failures{0};
}  // namespace

void* CoTaskMemAlloc(size_t size) {
  int failures = g_failures.load();
  while (failures > 0) {
    if (g_failures.compare_exchange_weak(failures, failures - 1)) return nullptr;
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr) g_live.fetch_add(1);
  return block;
}

void CoTaskMemFree(void* block) {
  if (block == nullptr) return;
  std::free(block);
  g_live.fetch_sub(1);
}

int LiveTaskMemoryCount() { return g_live.load(); }

void FailNextTaskMemoryAllocations(int count) { g_failures.store(count < 0 ? 0 : count); }
