#include "softrender/draw_state.h"

int DrawBlendMode = BlendCopy;
int DrawBlendParam = 255;
uint32_t DrawBright = 0xFFFFFF;
Rect DrawArea = {0, 0, 640, 480};
MEMIMG* SoftDrawTarget = nullptr;
MEMIMG* SoftBlendImage = nullptr;
