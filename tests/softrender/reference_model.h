#pragma once
// A deliberately naive model of the software renderer, written from the pixel rules:
// one destination pixel at a time, 64-bit arithmetic, no lookup tables and nothing
// shared with the renderer's code. The tests compare the renderer against it.
#include <cstdint>
#include <vector>

#include "image/memimg.h"
#include "platform/util.h"

namespace ref {

struct State {
  int mode;
  int p;
  uint32_t bright;
  Rect area;
  std::vector<uint8_t> weight;  // blend value -> weight (256 entries)
};

// Each model draws into `dst` as the renderer would (reading every input from the
// images' records) and touches no byte it must not.
void FillRect(MEMIMG* dst, const Rect* rect, uint32_t colour, const Rect* area, const State& st);
void DrawImage(MEMIMG* dst, const MEMIMG* src, int x, int y, int transFlag, const MEMIMG* blend,
               const State& st);
void DrawImageStretched(MEMIMG* dst, const MEMIMG* src, const Rect& rect, int transFlag,
                        const MEMIMG* blend, const State& st);

}  // namespace ref
