#pragma once
// Filled rectangle under the current draw state, with the constant-colour combine.
#include <cstdint>

#include "image/memimg.h"
#include "platform/util.h"

// Fills `rect` (corners x1, y1, x2, y2 in left, top, right, bottom; swapped when reversed;
// null for the whole image) of `dst` with `colour`, a pixel of the destination's format,
// in DrawBlendMode, clipped to DrawArea and to the image.
void SoftFillRect(MEMIMG* dst, const Rect* rect, uint32_t colour);
// The same, clipped to `area` (null: the image's own bounds) instead of DrawArea; the
// colour fill of a graph uses it.
void SoftFillRectInArea(MEMIMG* dst, const Rect* rect, uint32_t colour, const Rect* area);
