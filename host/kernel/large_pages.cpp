#include "host/kernel/large_pages.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// Under ASan every store is its own heap block, so that an overrun meets a red zone
// (gcc names the sanitizer with a macro, clang with a feature).
#if defined(__SANITIZE_ADDRESS__)
#define PACK_STORES 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PACK_STORES 0
#endif
#endif
#ifndef PACK_STORES
#define PACK_STORES 1
#endif

namespace {
#if PACK_STORES
constexpr size_t kLargePage = size_t{2} << 20;
constexpr size_t kStoreAlign = 64;

struct Region {
  uint8_t* base = nullptr;
  size_t size = 0;
  std::map<size_t, size_t> holes;   // offset -> bytes, never two touching
  std::map<size_t, size_t> stores;  // offset -> bytes
  size_t fresh = 0;                 // bytes from here on were never handed out: still zero
};

std::mutex g_mutex;
std::vector<std::unique_ptr<Region>> g_regions;
size_t g_regionBytes = 0;

// At a 2 MB boundary, so that whole large pages fit from the first byte.
uint8_t* MapRegion(size_t size) {
  const size_t span = size + kLargePage;
  void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  auto* start = static_cast<uint8_t*>(raw);
  auto* base = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(start) + kLargePage - 1) & ~(kLargePage - 1));
  const size_t head = static_cast<size_t>(base - start), tail = span - head - size;
  if (head != 0) munmap(start, head);
  if (tail != 0) munmap(base + size, tail);
#if defined(MADV_HUGEPAGE)
  madvise(base, size, MADV_HUGEPAGE);  // a hint: without large pages the region still works
#endif
  return base;
}

void* TakeHole(Region& region, size_t size) {
  for (auto hole = region.holes.begin(); hole != region.holes.end(); ++hole) {
    if (hole->second < size) continue;
    const size_t offset = hole->first, left = hole->second - size;
    region.holes.erase(hole);
    if (left != 0) region.holes.emplace(offset + size, left);
    region.stores.emplace(offset, size);
    uint8_t* store = region.base + offset;
    // Only what an earlier store used is cleared: untouched pages stay unmapped.
    if (offset < region.fresh) std::memset(store, 0, std::min(size, region.fresh - offset));
    region.fresh = std::max(region.fresh, offset + size);
    return store;
  }
  return nullptr;
}

void* AllocPacked(size_t size) {
  if (size > (size_t{1} << 40)) return nullptr;  // no image is this large; rounding must not wrap
  size = (size + kStoreAlign - 1) & ~(kStoreAlign - 1);
  std::lock_guard<std::mutex> lock(g_mutex);
  for (auto& region : g_regions)
    if (void* store = TakeHole(*region, size)) return store;
  const size_t regionSize = size <= kPackedRegionBytes ? kPackedRegionBytes : (size + kLargePage - 1) & ~(kLargePage - 1);
  auto region = std::make_unique<Region>();
  region->base = MapRegion(regionSize);
  if (region->base == nullptr) return nullptr;
  region->size = regionSize;
  region->holes.emplace(0, regionSize);
  g_regionBytes += regionSize;
  void* store = TakeHole(*region, size);
  g_regions.push_back(std::move(region));
  return store;
}

// False when the store is not in a region.
bool FreePacked(void* store) {
  auto* at = static_cast<uint8_t*>(store);
  std::lock_guard<std::mutex> lock(g_mutex);
  for (auto it = g_regions.begin(); it != g_regions.end(); ++it) {
    Region& region = **it;
    if (at < region.base || at >= region.base + region.size) continue;
    const auto used = region.stores.find(static_cast<size_t>(at - region.base));
    if (used == region.stores.end()) return true;  // not a store's start: left alone
    size_t offset = used->first, size = used->second;
    region.stores.erase(used);
    // Joined with the holes on either side.
    auto next = region.holes.lower_bound(offset);
    if (next != region.holes.end() && offset + size == next->first) {
      size += next->second;
      next = region.holes.erase(next);
    }
    if (next != region.holes.begin()) {
      auto before = std::prev(next);
      if (before->first + before->second == offset) {
        offset = before->first;
        size += before->second;
        region.holes.erase(before);
      }
    }
    if (region.stores.empty()) {
      munmap(region.base, region.size);
      g_regionBytes -= region.size;
      g_regions.erase(it);
      return true;
    }
    region.holes.emplace(offset, size);
    // The hole's whole large pages go back to the system, as a freed heap block of this
    // size would; the pages at its ends stay, so that no large page is split.
    const uintptr_t hole = reinterpret_cast<uintptr_t>(region.base) + offset;
    const uintptr_t from = (hole + kLargePage - 1) & ~(kLargePage - 1), to = (hole + size) & ~(kLargePage - 1);
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
    return true;
  }
  return false;
}
#endif
}  // namespace

void* AllocPixelStore(size_t size) {
  if (size == 0) return nullptr;
#if PACK_STORES
  if (size >= kPackedStoreMin) return AllocPacked(size);
#endif
  return std::calloc(size, 1);
}

void FreePixelStore(void* store) {
  if (store == nullptr) return;
#if PACK_STORES
  if (FreePacked(store)) return;
#endif
  std::free(store);
}

size_t PackedRegionBytes() {
#if PACK_STORES
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_regionBytes;
#else
  return 0;
#endif
}
