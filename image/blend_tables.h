#pragma once
// Lookup tables of the software renderer, built once at graphics start.
#include <cstdint>

// [v][j] = v * j / 255, truncated.
extern int MulDiv255Table[256][256];
// [p][e + 255] = p * e / 255 truncated toward zero, e from -255 to 255 (511 used).
extern int BlendLerpTable[256][512];
// [i][j][k] = floor((i * j + (63 - i) * k) / 63): plane i, source j, destination k.
extern uint8_t Lerp6Table[64][64][64];
// Weight 0 to 255 of each blend-image value; identity until the graphics layer
// sets its border mapping.
extern uint8_t BlendImageWeightTable[256];

// Fills the four tables (the weight table as the identity). Idempotent.
void InitBlendTables();
