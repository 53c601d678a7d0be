#pragma once
// Unscaled blit of a whole memory image under the current draw state.
#include "image/memimg.h"

// Draws `src` with its top-left pixel at (x, y) of `dst` in DrawBlendMode, clipped to
// DrawArea and to `dst`. transFlag non-zero: alpha 0 (alpha sources) or the transparent
// colour or index is skipped. `blendImage` (one byte per pixel, at least the source's
// size, or null) weights each source pixel by the byte over it. Draws nothing for a
// depth mismatch, a paletted or alpha destination or a blend image smaller than the source.
void SoftDrawImage(MEMIMG* dst, const MEMIMG* src, int x, int y, int transFlag,
                   const MEMIMG* blendImage);
