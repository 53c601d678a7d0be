#include "tests/game/heap_counter.h"

#include <cstdlib>
#include <new>

namespace {
long g_heapCalls = 0;
}  // namespace

long HeapCallCount() { return g_heapCalls; }

#ifndef BUILT_WITH_SANITIZER
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void* malloc(size_t size) {
  ++g_heapCalls;
  return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) {
  ++g_heapCalls;
  return __libc_calloc(count, size);
}
extern "C" void* realloc(void* block, size_t size) {
  ++g_heapCalls;
  return __libc_realloc(block, size);
}
void* operator new(size_t size) {
  ++g_heapCalls;
  void* block = __libc_malloc(size ? size : 1);
  if (!block) throw std::bad_alloc();
  return block;
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }

bool HeapCountingWorks() {
  const long before = g_heapCalls;
  void* volatile block = std::malloc(16);
  std::free(block);
  return g_heapCalls > before;
}
#else
bool HeapCountingWorks() { return false; }
#endif
