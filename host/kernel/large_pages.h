#pragma once
// Pixel stores for large images. A frame draws from a few megabytes spread over many
// images; on small pages each of those pages costs a page-table walk again after the
// process has slept between frames. Stores of at least kPackedStoreMin bytes are
// therefore packed side by side into regions that the system may back with 2 MB pages;
// smaller ones come from the C heap. Thread-safe.
#include <cstddef>

constexpr size_t kPackedStoreMin = size_t{256} << 10;
// Room for all of a game's large images, so that only one region ends in a part-used
// large page; a larger store gets a region of its own.
constexpr size_t kPackedRegionBytes = size_t{64} << 20;

// Zero-filled and aligned to 64 bytes; null when `size` is 0 or the memory cannot be had.
void* AllocPixelStore(size_t size);
// A null store is ignored.
void FreePixelStore(void* store);
// Bytes of the regions mapped now: a region is given back when its last store is freed.
size_t PackedRegionBytes();
