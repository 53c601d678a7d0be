#pragma once
// Nearest-pixel scaled blit of a whole memory image under the current draw state.
#include "image/memimg.h"
#include "platform/util.h"

// Draws `src` scaled onto the rectangle x1, y1, x2, y2 of `dst` (the larger coordinate
// of each axis exclusive); x1 > x2 or y1 > y2 mirrors that axis. Destination column j
// of the unclipped rectangle (counted from where drawing starts) takes source column
// floor(j * 65536 / rx), rx = (width << 16) / source width, and likewise for rows. The
// source's own size unmirrored is the unscaled blit. Draw state, transparency flag and
// blend image as for SoftDrawImage; the blend image is stretched and mirrored with the source.
void SoftDrawImageStretched(MEMIMG* dst, const MEMIMG* src, const Rect* rect, int transFlag,
                            const MEMIMG* blendImage);
