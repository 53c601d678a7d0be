#include "image/blend_tables.h"

int MulDiv255Table[256][256];
int BlendLerpTable[256][512];
uint8_t Lerp6Table[64][64][64];
uint8_t BlendImageWeightTable[256];

void InitBlendTables() {
  for (int v = 0; v < 256; ++v) {
    for (int j = 0; j < 256; ++j) MulDiv255Table[v][j] = v * j / 255;
    // C++ division truncates toward zero, as the table requires for negative e.
    for (int e = -255; e <= 255; ++e) BlendLerpTable[v][e + 255] = v * e / 255;
    BlendLerpTable[v][511] = 0;
    BlendImageWeightTable[v] = static_cast<uint8_t>(v);
  }
  for (int i = 0; i < 64; ++i)
    for (int j = 0; j < 64; ++j)
      for (int k = 0; k < 64; ++k)
        Lerp6Table[i][j][k] = static_cast<uint8_t>((i * j + (63 - i) * k) / 63);
}
