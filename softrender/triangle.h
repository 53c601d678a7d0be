#pragma once
// Triangles filled from a memory image (affine texture mapping) or with one colour, and
// the image quad built from two of them.
#include <cstdint>

#include "image/memimg.h"

// A triangle corner: destination pixel (x, y) and source texel (u, v).
struct SoftTriVertex {
  int x, y, u, v;
};

// Fills the triangle of three `vertices` under the current draw state: textured from
// `src`, or with no source in `colour` (a pixel value of the destination's format).
// Pixel (x, y) is covered on row y when it lies between the left and right edges taken
// at the row's pixel centre, both end pixels included; the bottom vertex's row is not.
// `transFlag` and `blendImage` apply to textured triangles only.
void SoftDrawTriangle(MEMIMG* dst, const MEMIMG* src, const SoftTriVertex* vertices,
                      int transFlag, const MEMIMG* blendImage, uint32_t colour);

// Draws the whole of `src` onto four corners (x0, y0, ..., x3, y3) paired with its
// top-left, top-right, bottom-left and bottom-right corners, as the triangles (0, 1, 2)
// and (1, 2, 3); the shared diagonal is drawn by both.
void SoftDrawImageQuad(MEMIMG* dst, const MEMIMG* src, const int* corners, int transFlag,
                       const MEMIMG* blendImage);
