#pragma once
// Lines and line lists of one colour under the current draw state.
#include <cstdint>

#include "image/memimg.h"

// A line of a line list: end points, colour (a pixel of the destination's format) and
// the blend parameter its maker filled in, which the drawing does not read.
struct SoftLineRecord {
  int x1, y1, x2, y2;
  int colour;
  int blendParam;
};

// Draws the line from (x1, y1) to (x2, y2), the end point left out, clipped to the draw
// area and the destination. A paletted or alpha destination draws nothing.
void SoftDrawLine(MEMIMG* dst, int x1, int y1, int x2, int y2, uint32_t colour);
// Draws records 0 to count - 1 in order; a count of 0 or less draws nothing.
void SoftDrawLines(MEMIMG* dst, const SoftLineRecord* records, int count);
