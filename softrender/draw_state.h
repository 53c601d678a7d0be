#pragma once
// The draw state that every draw reads: blend mode and parameter, bright colour, draw
// area, and the software renderer's target and blend image. The graphics layer sets it.
#include <cstdint>

#include "image/memimg.h"
#include "platform/util.h"

enum : int {
  BlendCopy = 0,
  BlendAlpha = 1,
  BlendAddSat = 2,
  BlendSubSat = 3,
  BlendMultiply = 4,
  BlendInvertAlpha = 10,
  BlendMultiplyAlpha = 11,
};

extern int DrawBlendMode;   // modes 0-4, 10, 11 draw; any other value draws nothing
extern int DrawBlendParam;  // 0 to 255
// Bytes blue, green, red in address order (bits 0-7, 8-15, 16-23); the low 24 bits
// equal to 0xFFFFFF mean no tint.
extern uint32_t DrawBright;
extern Rect DrawArea;  // right and bottom exclusive
extern MEMIMG* SoftDrawTarget;
extern MEMIMG* SoftBlendImage;  // one byte per pixel, or null
