#pragma once
// Drawing a whole memory image turned and scaled about a centre point.
#include "image/memimg.h"

// Draws `src` onto `dst` turned by `angle` (radians, clockwise on screen) and scaled by
// `scale` about (cx, cy), under the current draw state; with `turnFlag` the image is
// first mirrored left to right and drawn through the image quad. The source's centre
// texel (width / 2, height / 2) lands on (cx, cy). Refuses (draws nothing) a non-finite
// angle or scale, a scale of 0, and a source of 8192 pixels or more either way.
void SoftDrawImageRotated(MEMIMG* dst, const MEMIMG* src, int cx, int cy, float angle,
                          float scale, int transFlag, int turnFlag, const MEMIMG* blendImage);

// How many of the stamp caches are lent to threads at this moment (for tests).
int LentStampCaches();
