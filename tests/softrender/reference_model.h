#pragma once
// The image blits and the rectangle of the pixel model (primitive_model.h), walked over
// the memory images themselves, reading every input from their records.
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

// Each draws into `dst` as the renderer would and touches no byte it must not.
void FillRect(MEMIMG* dst, const Rect* rect, uint32_t colour, const Rect* area, const State& st);
void DrawImage(MEMIMG* dst, const MEMIMG* src, int x, int y, int transFlag, const MEMIMG* blend,
               const State& st);
void DrawImageStretched(MEMIMG* dst, const MEMIMG* src, const Rect& rect, int transFlag,
                        const MEMIMG* blend, const State& st);

}  // namespace ref
