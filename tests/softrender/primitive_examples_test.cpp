// Exact pixels of the triangle, the image quad, the rotated blit, the lines and the
// source columns and rows of the stretched blit, worked out by hand from the renderer's
// drawing rules: each blend mode's arithmetic at its edges, the coverage of shape edges,
// and a pixel of every mode of both formats (direct, paletted and alpha sources) drawn
// through the triangle and the rotated blit, each clipped by the draw area on all four
// sides. Nothing here comes from the reference model, so a rule the model gets wrong
// shows here. A row marked with a `choice` pins a case the renderer settles one way where
// a formula of its own path would give another pixel (alpha 0 skipped in every mode,
// mode 1 at p = 255 drawn by the copy loops, vertex rows and corners floored, one column
// stepping for every loop); its comment gives that other pixel, and a failure names the
// choice.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "image/blend_tables.h"
#include "image/memimg.h"
#include "softrender/draw_image_stretched.h"
#include "softrender/draw_state.h"
#include "softrender/lines.h"
#include "softrender/rotated_blit.h"
#include "softrender/triangle.h"
#include "tests/softrender/primitive_images.h"

namespace {

// ---------------------------------------------------------------- one pixel, every mode

enum Kind { kDir, kPal, kAlp };  // direct, paletted, direct with alpha
constexpr int kNone = -1;        // no blend image
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr int kBlendValue = 200;  // every blend-image byte; its weight is the row's

// The choices the marked rows pin.
constexpr const char* kAlphaZeroSkips = "alpha 0 skipped with the transparency flag";
constexpr const char* kP255IsCopy = "mode 1 at p = 255 runs the mode-0 loops";

struct PixelRow {
  const char* what;
  int depth;  // 1 XRGB8888, 0 RGB565
  Kind kind;
  int mode, p;
  uint32_t bright;
  int trans;
  int weight;  // kNone, or the weight of the blend image's value
  bool keyed;  // the transparent colour (or index) is the texel's own
  uint32_t s;  // the texel's colour: a pixel value, or the palette entry
  int a;       // the alpha of an alpha source
  uint32_t d, want;
  const char* choice = nullptr;
};

// clang-format off
const PixelRow kPixelRows[] = {
  // ---- XRGB8888, direct
  {"copy, white: the whole value lands, fourth byte too; a key differing only in its fourth byte matches nothing",
   1, kDir, 0, 0, kWhite, 1, kNone, false, 0x5A102030, 0, 0xC0405060, 0x5A102030},
  {"a bright whose fourth byte is set is still white; p = 255 copies",
   1, kDir, 1, 255, 0x12FFFFFF, 0, kNone, false, 0x5A102030, 0, 0xC0405060, 0x5A102030},
  {"the key is compared before the tint", 1, kDir, 0, 0, 0x808080, 1, kNone, true, 0x5A102030, 0, 0xC0405060, 0xC0405060},
  // bright red 0x40, green 0x60, blue 0x80 on red 0x40, green 0x80, blue 0x40:
  // 64 * 64 / 255 = 16, 96 * 128 / 255 = 48, 128 * 64 / 255 = 32
  {"copy, tinted: channels only", 1, kDir, 0, 0, 0x406080, 0, kNone, false, 0x00408040, 0, 0xC0405060, 0xC0103020},
  // (0 * 256 + 255 * 255) >> 8 = 254
  {"copy at weight 255: 255 over 0 gives 254", 1, kDir, 0, 0, kWhite, 0, 255, false, 0x00FFFFFF, 0, 0x11000000, 0x11FEFEFE},
  // blue (255 * 256 - 255 * 100) >> 8 = 155, green 128, red (255 * 100) >> 8 = 99
  {"alpha p = 100", 1, kDir, 1, 100, kWhite, 0, kNone, false, 0x00FF8000, 0, 0x7F0080FF, 0x7F63809B},
  {"alpha p = 0 draws nothing", 1, kDir, 1, 0, kWhite, 0, kNone, false, 0x00FF8000, 0, 0x7F0080FF, 0x7F0080FF},
  {"add: 255 + 2 stays 255, red's upper bits carry into the fourth byte",
   1, kDir, 2, 255, kWhite, 0, kNone, false, 0x00020202, 0, 0x00FFFFFF, 0x01FFFFFF},
  {"add: 255 + 1 stays 255, no carry", 1, kDir, 2, 255, kWhite, 0, kNone, false, 0x00010101, 0, 0x00FFFFFF, 0x00FFFFFF},
  {"add: green 1 + 1 gives 1", 1, kDir, 2, 255, kWhite, 0, kNone, false, 0x00000100, 0, 0x00000100, 0x00000100},
  {"add p = 0 draws nothing", 1, kDir, 2, 0, kWhite, 0, kNone, false, 0x00000100, 0, 0x00000100, 0x00000100},
  {"subtract: r0 g2 b5 - g1 gives r1 g3 b5, fourth byte 0",
   1, kDir, 3, 255, kWhite, 0, kNone, false, 0x00000100, 0, 0x7F000205, 0x00010305},
  {"subtract: r0 g2 b5 - g1 b7 gives r1 g2 b0", 1, kDir, 3, 255, kWhite, 0, kNone, false, 0x00000107, 0, 0x00000205, 0x00010200},
  // c = 100 * 255 / 255 = 100: blue 200 - 100 = 100, green and red (200 | 1) - 100 = 101
  {"subtract p = 100", 1, kDir, 3, 100, kWhite, 0, kNone, false, 0x00FFFFFF, 0, 0x00C8C8C8, 0x00656564},
  {"multiply: 255 * 255 >> 8 = 254, p = 0 still draws", 1, kDir, 4, 0, kWhite, 0, kNone, false, 0x00FFFFFF, 0, 0x33FFFFFF, 0x33FEFEFE},
  {"invert p = 255: b 0 on 0 gives 254, g 0 on 255 gives 255, r 255 gives 0",
   1, kDir, 10, 255, kWhite, 0, kNone, false, 0x00FF0000, 0, 0x0080FF00, 0x0000FFFE},
  // blue: 255 inverted, tinted to 128, (128 * 255) >> 8 = 127; red (128 * 256 + 127 * 255) >> 8 = 254
  {"invert tinted by bright blue 128", 1, kDir, 10, 255, 0xFFFF80, 0, kNone, false, 0x00000000, 0, 0x0080FF00, 0x00FEFF7F},
  {"multiply-alpha p = 255: 255 on 255 gives 254, 1 on 1 gives 0, 0 on 200 gives 0",
   1, kDir, 11, 255, kWhite, 0, kNone, false, 0x00FF0100, 0, 0x00FF01C8, 0x00FE0000},
  {"multiply-alpha p = 0 rewrites the pixel unchanged", 1, kDir, 11, 0, kWhite, 0, kNone, false, 0x00123456, 0, 0x9ABCDEF0, 0x9ABCDEF0},
  {"mode 7 draws nothing", 1, kDir, 7, 255, kWhite, 0, kNone, false, 0x00123456, 0, 0x9ABCDEF0, 0x9ABCDEF0},
  {"mode 12 draws nothing", 1, kDir, 12, 255, kWhite, 0, kNone, false, 0x00123456, 0, 0x9ABCDEF0, 0x9ABCDEF0},
  {"mode -1 draws nothing", 1, kDir, -1, 255, kWhite, 0, kNone, false, 0x00123456, 0, 0x9ABCDEF0, 0x9ABCDEF0},
  // ---- XRGB8888, paletted (the texel is index 7; index 9 holds the same colour)
  {"copy: the whole entry; another index of the same colour is not the key",
   1, kPal, 0, 0, kWhite, 1, kNone, false, 0xA1B2C3D4, 0, 0x11223344, 0xA1B2C3D4},
  {"copy: the keyed index is skipped", 1, kPal, 0, 0, kWhite, 1, kNone, true, 0xA1B2C3D4, 0, 0x11223344, 0x11223344},
  // red 255 * 128 >> 8 = 127, green 128 * 128 >> 8 = 64, blue (128 * 256 - 128 * 128) >> 8 = 64
  {"copy at weight 128: channels only", 1, kPal, 0, 0, kWhite, 0, 128, false, 0xEEFF8000, 0, 0x11000080, 0x117F4040},
  {"alpha p = 128: 255 on 0 gives 127", 1, kPal, 1, 128, kWhite, 0, kNone, false, 0x00FFFFFF, 0, 0x5C000000, 0x5C7F7F7F},
  // Mode 1 at p = 255 runs the mode-0 loop, which gives (255 * 255) >> 8 = 254; the mode-1
  // formula would give 255^3 >> 16 = 253.
  {"alpha p = 255 at weight 255 as mode 0", 1, kPal, 1, 255, kWhite, 0, 255, false, 0x00FFFFFF, 0, 0x00000000, 0x00FEFEFE, kP255IsCopy},
  {"add: 32s onto 240s saturate, fourth byte 1", 1, kPal, 2, 255, kWhite, 0, kNone, false, 0x00202020, 0, 0x00F0F0F0, 0x01FFFFFF},
  {"add: 1s onto b48 g32 r16 gives 49 33 17, fourth byte 0", 1, kPal, 2, 255, kWhite, 0, kNone, false, 0x00010101, 0, 0x7F102030, 0x00112131},
  {"subtract: 5s from b48 g32 r16 gives 43 29 13", 1, kPal, 3, 255, kWhite, 0, kNone, false, 0x00050505, 0, 0x7F102030, 0x000D1D2B},
  {"subtract p = 0 draws nothing", 1, kPal, 3, 0, kWhite, 0, kNone, false, 0x00050505, 0, 0x7F102030, 0x7F102030},
  {"multiply at weight 255: 255^3 >> 16 = 253", 1, kPal, 4, 17, kWhite, 0, 255, false, 0x00FFFFFF, 0, 0x00FFFFFF, 0x00FDFDFD},
  {"invert tinted by bright blue 128", 1, kPal, 10, 255, 0xFFFF80, 0, kNone, false, 0x00000000, 0, 0x0080FF00, 0x00FEFF7F},
  {"multiply-alpha p = 255: 255 on 255 gives 254", 1, kPal, 11, 255, kWhite, 0, kNone, false, 0x00FFFFFF, 0, 0x00FFFFFF, 0x00FEFEFE},
  // ---- XRGB8888 with alpha (the transparent colour is the texel's own: alpha sources are not keyed)
  {"copy, no flag, alpha 255: still translucent, 255 on 0 gives 254",
   1, kAlp, 0, 0, kWhite, 0, kNone, false, 0x00FFFFFF, 255, 0x33000000, 0x33FEFEFE},
  {"copy, flag, alpha 255: the whole value with its alpha", 1, kAlp, 0, 0, kWhite, 1, kNone, false, 0x00123456, 255, 0x33000000, 0xFF123456},
  {"copy, flag, alpha 0: skipped", 1, kAlp, 0, 0, kWhite, 1, kNone, false, 0x00123456, 0, 0x33ABCDEF, 0x33ABCDEF},
  {"copy, flag, alpha 255, bright 0: black, fourth byte kept", 1, kAlp, 0, 0, 0x000000, 1, kNone, false, 0x00123456, 255, 0x33ABCDEF, 0x33000000},
  // red 255 * 128 >> 8 = 127, green (255 * 256 - 255 * 128) >> 8 = 127, blue 128
  {"copy, flag, alpha 128", 1, kAlp, 0, 0, kWhite, 1, kNone, false, 0x00FF0080, 128, 0x4400FF80, 0x447F7F80},
  // 255 * 255 * 255 * 254 >> 24 = 251
  {"alpha p = 254 at weight and alpha 255: 255 on 0 gives 251", 1, kAlp, 1, 254, kWhite, 0, 255, false, 0x00FFFFFF, 255, 0x00000000, 0x00FBFBFB},
  // c = s * 128 * 255 >> 16: r 200 -> 99, g 100 -> 49, b 16 -> 7; b 48 + 7 = 55,
  // g (16 + 24) * 2 | 1 = 81, r (8 + 49) * 2 | 1 = 115
  {"add, flag, alpha 128", 1, kAlp, 2, 255, kWhite, 1, kNone, false, 0x00C86410, 128, 0x44102030, 0x00735137},
  {"subtract at weight 0: blue kept, green and red low bits set, fourth byte 0",
   1, kAlp, 3, 255, kWhite, 0, 0, false, 0x00FFFFFF, 200, 0x7F123456, 0x00133556},
  {"multiply, no flag, alpha 0: black", 1, kAlp, 4, 255, kWhite, 0, kNone, false, 0x00FFFFFF, 0, 0x55ABCDEF, 0x55000000},
  // Skipped as in every other mode; multiplied by alpha 0 the channels would turn black.
  {"multiply, flag, alpha 0", 1, kAlp, 4, 255, kWhite, 1, kNone, false, 0x00FFFFFF, 0, 0x55ABCDEF, 0x55ABCDEF, kAlphaZeroSkips},
  {"multiply, no flag, alpha 255: 255^3 >> 16 = 253", 1, kAlp, 4, 255, kWhite, 0, kNone, false, 0x00FFFFFF, 255, 0x00FFFFFF, 0x00FDFDFD},
  {"multiply, flag, alpha 255: opaque, 254", 1, kAlp, 4, 255, kWhite, 1, kNone, false, 0x00FFFFFF, 255, 0x00FFFFFF, 0x00FEFEFE},
  // 255 * 255 * 128 >> 16 = 127
  {"invert, no flag, alpha 128: 0 on 0 gives 127", 1, kAlp, 10, 255, kWhite, 0, kNone, false, 0x00000000, 128, 0x00000000, 0x007F7F7F},
  // (65536 * 200 - 200 * 255 * 255) >> 16 = 1
  {"multiply-alpha, no flag, alpha 255: 0 on 200 gives 1", 1, kAlp, 11, 255, kWhite, 0, kNone, false, 0x00000000, 255, 0x00C8C8C8, 0x00010101},
  // t = 255 * 255 >> 8 = 254; (65536 * 255 - 255 * 255) >> 16 = 254
  {"multiply-alpha, no flag, alpha 255: 255 on 255 gives 254", 1, kAlp, 11, 255, kWhite, 0, kNone, false, 0x00FFFFFF, 255, 0x00FFFFFF, 0x00FEFEFE},
  // (2^24 * 200 - 200 * 255^3) >> 24 = 2
  {"multiply-alpha at weight 255, alpha 255: 0 on 200 gives 2", 1, kAlp, 11, 255, kWhite, 0, 255, false, 0x00000000, 255, 0x00C8C8C8, 0x00020202},

  // ---- RGB565, direct
  {"copy tinted by bright red 128: red 31 -> 15", 0, kDir, 0, 0, 0x80FFFF, 0, kNone, false, 0xF800, 0, 0x1234, 0x7800},
  {"copy tinted by bright blue 254: blue 31 -> 30", 0, kDir, 0, 0, 0xFFFFFE, 0, kNone, false, 0xFFFF, 0, 0x0000, 0xFFFE},
  {"the key is compared before the tint", 0, kDir, 0, 0, 0x808080, 1, kNone, true, 0x1234, 0, 0x5555, 0x5555},
  {"a key with bits above the pixel matches nothing", 0, kDir, 0, 0, kWhite, 1, kNone, false, 0x1234, 0, 0x5555, 0x1234},
  {"copy at weight 128", 0, kDir, 0, 0, kWhite, 0, 128, false, 0xFFFF, 0, 0x0000, 0x7BEF},
  // 128 * 31 / 255 = 15, 128 * 63 / 255 = 31; back: 31 - 15 = 16, 63 - 31 = 32
  {"alpha p = 128: white over black", 0, kDir, 1, 128, kWhite, 0, kNone, false, 0xFFFF, 0, 0x0000, 0x7BEF},
  {"alpha p = 128: black over white rounds toward the destination", 0, kDir, 1, 128, kWhite, 0, kNone, false, 0x0000, 0, 0xFFFF, 0x8410},
  // 31 * 128 * 128 >> 16 = 7, 63 * 128 * 128 >> 16 = 15
  {"alpha p = 128 at weight 128", 0, kDir, 1, 128, kWhite, 0, 128, false, 0xFFFF, 0, 0x0000, 0x39E7},
  {"alpha p = 255 copies", 0, kDir, 1, 255, kWhite, 0, kNone, false, 0x1234, 0, 0xFFFF, 0x1234},
  {"add: 0x0821 + 0x0821", 0, kDir, 2, 255, kWhite, 0, kNone, false, 0x0821, 0, 0x0821, 0x0822},
  {"add: white + white", 0, kDir, 2, 255, kWhite, 0, kNone, false, 0xFFFF, 0, 0xFFFF, 0xFFFF},
  // tint first: 200 * 3 / 255 = 2, then (2 * 128) >> 8 = 1
  {"add at weight 128, bright blue 200: the tint comes first", 0, kDir, 2, 255, 0xFFFFC8, 0, 128, false, 0x0003, 0, 0x0000, 0x0001},
  {"subtract: black from black", 0, kDir, 3, 255, kWhite, 0, kNone, false, 0x0000, 0, 0x0000, 0x0800},
  {"subtract: black from white", 0, kDir, 3, 255, kWhite, 0, kNone, false, 0x0000, 0, 0xFFFF, 0xFFDF},
  {"subtract: white from white", 0, kDir, 3, 255, kWhite, 0, kNone, false, 0xFFFF, 0, 0xFFFF, 0x0800},
  {"subtract p = 0 draws nothing", 0, kDir, 3, 0, kWhite, 0, kNone, false, 0xFFFF, 0, 0xFFFF, 0xFFFF},
  {"multiply: white on white", 0, kDir, 4, 255, kWhite, 0, kNone, false, 0xFFFF, 0, 0xFFFF, 0xF7DE},
  // r 2 * 31 >> 5 = 1, g 17 * 63 >> 6 = 16, b 20 * 31 >> 5 = 19
  {"multiply: white on 0x1234", 0, kDir, 4, 0, kWhite, 0, kNone, false, 0xFFFF, 0, 0x1234, 0x0A13},
  // red 31 tinted to 15, 15 * 31 >> 5 = 14
  {"multiply tinted by bright red 128", 0, kDir, 4, 255, 0x80FFFF, 0, kNone, false, 0xFFFF, 0, 0xFFFF, 0x77DE},
  {"multiply at weight 128", 0, kDir, 4, 255, kWhite, 0, 128, false, 0xFFFF, 0, 0xFFFF, 0x7BEF},
  {"multiply at weight 0: black", 0, kDir, 4, 255, kWhite, 0, 0, false, 0xFFFF, 0, 0xFFFF, 0x0000},
  {"invert p = 255 stores the complement", 0, kDir, 10, 255, kWhite, 0, kNone, false, 0x0000, 0, 0x1234, 0xFFFF},
  {"invert p = 128: white on white", 0, kDir, 10, 128, kWhite, 0, kNone, false, 0xFFFF, 0, 0xFFFF, 0x8410},
  {"invert p = 128: black on black", 0, kDir, 10, 128, kWhite, 0, kNone, false, 0x0000, 0, 0x0000, 0x7BEF},
  {"invert tinted by bright red 128", 0, kDir, 10, 255, 0x80FFFF, 0, kNone, false, 0x0000, 0, 0x0000, 0x7FFF},
  {"invert: the key is compared before the inversion", 0, kDir, 10, 255, kWhite, 1, kNone, true, 0x0000, 0, 0x1234, 0x1234},
  // (65536 * 0 + 31 * 255 * 255) >> 16 = 30, green 62
  {"invert at weight 255", 0, kDir, 10, 255, kWhite, 0, 255, false, 0x0000, 0, 0x0000, 0xF7DE},
  {"multiply-alpha p = 255: white on white", 0, kDir, 11, 255, kWhite, 0, kNone, false, 0xFFFF, 0, 0xFFFF, 0xF7DE},
  {"multiply-alpha p = 255: black on white", 0, kDir, 11, 255, kWhite, 0, kNone, false, 0x0000, 0, 0xFFFF, 0x0000},
  {"multiply-alpha p = 128: black on white", 0, kDir, 11, 128, kWhite, 0, kNone, false, 0x0000, 0, 0xFFFF, 0x8410},
  // ---- RGB565 with alpha (keyed by its own colour: alpha sources are not keyed)
  {"copy, no flag, alpha 255: white on black", 0, kAlp, 0, 0, kWhite, 0, kNone, false, 0xFFFF, 255, 0x0000, 0xF7DE},
  {"copy, flag, alpha 255: opaque", 0, kAlp, 0, 0, kWhite, 1, kNone, false, 0xFFFF, 255, 0x0000, 0xFFFF},
  {"copy, flag, alpha 0: skipped", 0, kAlp, 0, 0, kWhite, 1, kNone, false, 0xFFFF, 0, 0x1234, 0x1234},
  {"alpha p = 128, flag, alpha 255", 0, kAlp, 1, 128, kWhite, 1, kNone, false, 0x0000, 255, 0xFFFF, 0x8410},
  // (65536 * 31 - 31 * 254 * 128) >> 16 = 15, green 31
  {"alpha p = 128, flag, alpha 254", 0, kAlp, 1, 128, kWhite, 1, kNone, false, 0x0000, 254, 0xFFFF, 0x7BEF},
  // alpha first: (3 * 128) >> 8 = 1, tinted 200 * 1 / 255 = 0
  {"add, flag, alpha 128, bright blue 200: the alpha comes first", 0, kAlp, 2, 255, 0xFFFFC8, 1, kNone, false, 0x0003, 128, 0x0000, 0x0000},
  // c: r 15, g 31, b 15; b 31 - 15 = 16; g (63 | 1) - 30 = 33, low bit cleared: 32;
  // r (31 | 1) - 14 = 17
  {"subtract, flag, alpha 128", 0, kAlp, 3, 255, kWhite, 1, kNone, false, 0xFFFF, 128, 0xFFFF, 0x8C10},
  {"multiply, no flag, alpha 0: black", 0, kAlp, 4, 255, kWhite, 0, kNone, false, 0xFFFF, 0, 0xFFFF, 0x0000},
  // Skipped as in every other mode; multiplied by alpha 0 the pixel would become 0x0000.
  {"multiply, flag, alpha 0", 0, kAlp, 4, 255, kWhite, 1, kNone, false, 0xFFFF, 0, 0xFFFF, 0xFFFF, kAlphaZeroSkips},
  {"multiply, flag, alpha 255: opaque", 0, kAlp, 4, 255, kWhite, 1, kNone, false, 0xFFFF, 255, 0xFFFF, 0xF7DE},
  // 961 * 255 >> 13 = 29, 3969 * 255 >> 14 = 61
  {"multiply, no flag, alpha 255: r29 g61 b29", 0, kAlp, 4, 255, kWhite, 0, kNone, false, 0xFFFF, 255, 0xFFFF, 0xEFBD},
  {"multiply, flag, alpha 254: r29 g61 b29", 0, kAlp, 4, 255, kWhite, 1, kNone, false, 0xFFFF, 254, 0xFFFF, 0xEFBD},
  {"multiply, no flag, alpha 128", 0, kAlp, 4, 255, kWhite, 0, kNone, false, 0xFFFF, 128, 0xFFFF, 0x7BEF},
  {"multiply at weight 255, flag, alpha 255", 0, kAlp, 4, 255, kWhite, 1, 255, false, 0xFFFF, 255, 0xFFFF, 0xEFBD},
  {"multiply at weight 255, no flag, alpha 255", 0, kAlp, 4, 255, kWhite, 0, 255, false, 0xFFFF, 255, 0xFFFF, 0xEFBD},
  {"invert, flag, alpha 0: skipped", 0, kAlp, 10, 255, kWhite, 1, kNone, false, 0x0000, 0, 0x1234, 0x1234},
  {"invert, flag, alpha 255: the complement", 0, kAlp, 10, 255, kWhite, 1, kNone, false, 0x0000, 255, 0x0000, 0xFFFF},
  {"invert, no flag, alpha 0: unchanged", 0, kAlp, 10, 255, kWhite, 0, kNone, false, 0x0000, 0, 0x1234, 0x1234},
  {"invert, no flag, alpha 255", 0, kAlp, 10, 255, kWhite, 0, kNone, false, 0x0000, 255, 0x0000, 0xF7DE},
  // the shift form: (65536 * 31 - 31 * 255 * 128) >> 16 = 15, green 31
  {"invert p = 128, no flag, alpha 255: white on white", 0, kAlp, 10, 128, kWhite, 0, kNone, false, 0xFFFF, 255, 0xFFFF, 0x7BEF},
  // green: (2^21 * 63 + ((1 * 63 >> 1) - 32 * 63) * 255 * 255) >> 21 = 1; red, blue 0
  {"multiply-alpha green's five extra bits, no flag, alpha 255", 0, kAlp, 11, 255, kWhite, 0, kNone, false, 0x0020, 255, 0x07E0, 0x0020},
  // tinted: the plain form, (65536 * 63 + (0 - 63) * 255 * 255) >> 16 = 0
  {"multiply-alpha tinted by bright red 254, no flag, alpha 255", 0, kAlp, 11, 255, 0xFEFFFF, 0, kNone, false, 0x0020, 255, 0x07E0, 0x0000},
  {"multiply-alpha green, flag, alpha 254", 0, kAlp, 11, 255, kWhite, 1, kNone, false, 0x0020, 254, 0x07E0, 0x0020},
  {"multiply-alpha green, flag, alpha 255: opaque", 0, kAlp, 11, 255, kWhite, 1, kNone, false, 0x0020, 255, 0x07E0, 0x0000},
  {"multiply-alpha green at weight 255, no flag, alpha 255", 0, kAlp, 11, 255, kWhite, 0, 255, false, 0x0020, 255, 0x07E0, 0x0000},
  {"multiply-alpha, flag, alpha 0: unchanged", 0, kAlp, 11, 255, kWhite, 1, kNone, false, 0x0000, 0, 0xFFFF, 0xFFFF},
  {"multiply-alpha, flag, alpha 255: black on white", 0, kAlp, 11, 255, kWhite, 1, kNone, false, 0x0000, 255, 0xFFFF, 0x0000},
  // ---- RGB565, paletted (the texel is index 7; index 9 holds the same colour)
  {"copy: the keyed index is skipped", 0, kPal, 0, 0, kWhite, 1, kNone, true, 0x4566, 0, 0x1234, 0x1234},
  {"copy: another index of the same colour is drawn", 0, kPal, 0, 0, kWhite, 1, kNone, false, 0x4566, 0, 0x1234, 0x4566},
  {"copy tinted by 128s", 0, kPal, 0, 0, 0x808080, 0, kNone, false, 0xFFFF, 0, 0x0000, 0x7BEF},
  {"alpha p = 255 at weight 255 as copy: 30, 62", 0, kPal, 1, 255, kWhite, 0, 255, false, 0xFFFF, 0, 0x0000, 0xF7DE},
  // 31 * 255 * 254 >> 16 = 30, 63 * 255 * 254 >> 16 = 62
  {"alpha p = 254 at weight 255", 0, kPal, 1, 254, kWhite, 0, 255, false, 0xFFFF, 0, 0x0000, 0xF7DE},
  {"alpha p = 128: white over black", 0, kPal, 1, 128, kWhite, 0, kNone, false, 0xFFFF, 0, 0x0000, 0x7BEF},
  {"alpha p = 128: black over white", 0, kPal, 1, 128, kWhite, 0, kNone, false, 0x0000, 0, 0xFFFF, 0x8410},
  {"add: blue 1 onto 31 carries into green's low bit", 0, kPal, 2, 255, kWhite, 0, kNone, false, 0x0001, 0, 0x001F, 0x003F},
  {"add: green 32 + 32 saturates at 62 and sets red's low bit", 0, kPal, 2, 255, kWhite, 0, kNone, false, 0x0400, 0, 0x0400, 0x0FC0},
  {"add: black changes nothing", 0, kPal, 2, 255, kWhite, 0, kNone, false, 0x0000, 0, 0x1234, 0x1234},
  {"add: anything onto white", 0, kPal, 2, 255, kWhite, 0, kNone, false, 0x1234, 0, 0xFFFF, 0xFFFF},
  {"subtract: black from white", 0, kPal, 3, 255, kWhite, 0, kNone, false, 0x0000, 0, 0xFFFF, 0xFFDF},
  {"subtract: white from white", 0, kPal, 3, 255, kWhite, 0, kNone, false, 0xFFFF, 0, 0xFFFF, 0x0800},
  {"subtract: blue 1 from black", 0, kPal, 3, 255, kWhite, 0, kNone, false, 0x0001, 0, 0x0000, 0x0800},
  {"multiply: white on white", 0, kPal, 4, 255, kWhite, 0, kNone, false, 0xFFFF, 0, 0xFFFF, 0xF7DE},
  // 31 * 31 * 255 >> 13 = 29, 63 * 63 * 255 >> 14 = 61
  {"multiply at weight 255", 0, kPal, 4, 255, kWhite, 0, 255, false, 0xFFFF, 0, 0xFFFF, 0xEFBD},
  {"multiply: black", 0, kPal, 4, 255, kWhite, 0, kNone, false, 0x0000, 0, 0xFFFF, 0x0000},
  {"invert p = 255 stores the complement", 0, kPal, 10, 255, kWhite, 0, kNone, false, 0x1234, 0, 0x0000, 0xEDCB},
  {"invert p = 0 rewrites the pixel unchanged", 0, kPal, 10, 0, kWhite, 0, kNone, false, 0x1234, 0, 0x5678, 0x5678},
  {"multiply-alpha p = 0 rewrites the pixel unchanged", 0, kPal, 11, 0, kWhite, 0, kNone, false, 0x1234, 0, 0x5678, 0x5678},
};
// clang-format on

// Where a pixel row is drawn: a uniform source of srcW x srcH texels, the draw area
// (cutting the drawn shape on all four sides but in the last), and which pixels the
// shape covers by the coverage rules (before the area's cut).
struct PixelGeometry {
  const char* what;
  int srcW, srcH;
  Rect area;
  std::function<void(GuardedImage& dst, GuardedImage& src, const MEMIMG* blend, int trans)> draw;
  std::function<bool(int x, int y)> covers;
};

const PixelGeometry kPixelGeometries[] = {
    // Row 2 + k spans x 3 to 19 - k (both ends), and texel u = x - 3 must stay below 16.
    {"triangle", 16, 16, {4, 3, 16, 14},
     [](GuardedImage& dst, GuardedImage& src, const MEMIMG* blend, int trans) {
       const SoftTriVertex v[3] = {{3, 2, 0, 0}, {19, 2, 16, 0}, {3, 18, 0, 16}};
       SoftDrawTriangle(&dst.view, &src.view, v, trans, blend, 0);
     },
     [](int x, int y) { return x >= 3 && y >= 2 && y <= 17 && x - 3 <= 15 && (x - 3) + (y - 2) <= 16; }},
    // Unturned: the top-left texel at (12 - 8, 10 - 6).
    {"rotated blit", 16, 12, {5, 5, 18, 15},
     [](GuardedImage& dst, GuardedImage& src, const MEMIMG* blend, int trans) {
       SoftDrawImageRotated(&dst.view, &src.view, 12, 10, 0.0f, 1.0f, trans, 0, blend);
     },
     [](int x, int y) { return x >= 4 && x <= 19 && y >= 4 && y <= 15; }},
    // A quarter turn: u = (y - 10 + 8) texels, v = (6 - (x - 12)) texels.
    {"rotated blit, quarter turn", 16, 12, {8, 3, 18, 17},
     [](GuardedImage& dst, GuardedImage& src, const MEMIMG* blend, int trans) {
       SoftDrawImageRotated(&dst.view, &src.view, 12, 10, 1.5707964f, 1.0f, trans, 0, blend);
     },
     [](int x, int y) { return x >= 7 && x <= 18 && y >= 2 && y <= 17; }},
    // With its run table known, unclipped and drawn three times at one turn (the
    // destination put back in between): the third draw of an alpha source under the
    // flag comes from the copy kept of the turned sprite; keyed sources walk only the
    // texels the run table draws.
    {"rotated blit, from its kept copy", 16, 12, {0, 0, 24, 20},
     [](GuardedImage& dst, GuardedImage& src, const MEMIMG* blend, int trans) {
       std::vector<uint8_t> runs(static_cast<size_t>(17) * 12);
       src.body.transRunTable = runs.data();
       src.body.runTableCapacity = static_cast<int>(runs.size());
       BuildTransRunTable(&src.view);
       const std::vector<uint8_t> before = dst.bytes;
       for (int k = 0; k < 3; ++k) {
         std::copy(before.begin(), before.end(), dst.bytes.begin());
         SoftDrawImageRotated(&dst.view, &src.view, 12, 10, 0.0f, 1.0f, trans, 0, blend);
       }
       src.body.transRunTable = nullptr;
       src.body.runTableValid = 0;
     },
     [](int x, int y) { return x >= 4 && x <= 19 && y >= 4 && y <= 15; }},
};

void Put(uint8_t* p, uint32_t v, int bytes) { std::memcpy(p, &v, bytes); }

TEST(PrimitiveExamples, EveryModeOfBothFormatsPixelByPixel) {
  InitBlendTables();
  std::mt19937 rng(5);
  for (const PixelRow& row : kPixelRows)
    for (const PixelGeometry& g : kPixelGeometries) {
      const int bpp = row.depth == 1 ? 4 : 2;
      GuardedImage src(g.srcW, g.srcH, row.depth, row.kind == kPal, row.kind == kAlp, rng);
      GuardedImage blend(g.srcW, g.srcH, 0, true, false, rng);
      GuardedImage dst(24, 20, row.depth, false, false, rng);
      // The source: one texel everywhere.
      uint32_t texel = row.s, key;
      if (row.kind == kPal) {
        Put(static_cast<uint8_t*>(src.body.palette) + 7 * bpp, row.s, bpp);
        Put(static_cast<uint8_t*>(src.body.palette) + 9 * bpp, row.s, bpp);
        texel = 7;
        key = row.keyed ? 7 : 9;
      } else if (row.kind == kAlp) {
        texel = row.depth == 1 ? (row.s & 0xFFFFFFu) | uint32_t(row.a) << 24 : row.s | uint32_t(row.a) << 16;
        key = row.depth == 1 ? texel : row.s;
      } else {
        key = row.keyed ? row.s : row.depth == 1 ? row.s ^ 0xFF000000u : row.s | 0x10000u;
      }
      src.body.transColor = key;
      for (int y = 0; y < g.srcH; ++y)
        for (int x = 0; x < g.srcW; ++x) Put(src.At(x, y), texel, src.body.format->bytesPerPixel);
      for (int y = 0; y < g.srcH; ++y)
        for (int x = 0; x < g.srcW; ++x) *blend.At(x, y) = kBlendValue;
      if (row.weight != kNone) BlendImageWeightTable[kBlendValue] = static_cast<uint8_t>(row.weight);
      for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 24; ++x) Put(dst.At(x, y), row.d, bpp);
      std::vector<uint8_t> want = dst.bytes;
      for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 24; ++x)
          if (g.covers(x, y) && x >= g.area.left && x < g.area.right && y >= g.area.top && y < g.area.bottom)
            Put(want.data() + (dst.At(x, y) - dst.bytes.data()), row.want, bpp);

      SetDrawState(row.mode, row.p, row.bright, g.area);
      g.draw(dst, src, row.weight == kNone ? nullptr : &blend.view, row.trans);
      InitBlendTables();
      if (dst.bytes == want) continue;
      std::string where = "a byte outside the view";
      for (int y = 0; y < 20 && where[0] == 'a'; ++y)
        for (int x = 0; x < 24; ++x) {
          const size_t at = dst.At(x, y) - dst.bytes.data();
          uint32_t got = 0, wanted = 0;
          std::memcpy(&got, &dst.bytes[at], bpp);
          std::memcpy(&wanted, &want[at], bpp);
          if (got == wanted) continue;
          char text[80];
          std::snprintf(text, sizeof text, "pixel %d,%d is 0x%X, want 0x%X", x, y, got, wanted);
          where = text;
          break;
        }
      ADD_FAILURE() << g.what << ", " << row.what << (row.choice ? std::string(" (") + row.choice + ")" : "")
                    << ": " << where;
    }
}

// ---------------------------------------------------------------- coverage and texels

// Every texel of a shape row's source is told apart: (tx, ty) holds 0x100000 + ty * 256 + tx.
uint32_t Texel(int tx, int ty) { return 0x100000u + static_cast<uint32_t>(ty) * 256 + static_cast<uint32_t>(tx); }

struct Shapes {
  std::mt19937 rng{17};
  GuardedImage canvas{128, 24, 1, false, false, rng};
  std::vector<std::unique_ptr<GuardedImage>> sources;

  // A w x h XRGB8888 source of Texel values, or of 1 everywhere with `ones`.
  const MEMIMG* Source(int w, int h, bool ones = false) {
    sources.push_back(std::make_unique<GuardedImage>(w, h, 1, false, false, rng));
    GuardedImage& s = *sources.back();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) Put(s.At(x, y), ones ? 1 : Texel(x, y), 4);
    return &s.view;
  }
  // Plain copies, or additions of 1 that count how often a pixel is drawn.
  void Copy(Rect area = {0, 0, 128, 24}) { SetDrawState(BlendCopy, 255, kWhite, area); }
  void Count(Rect area = {0, 0, 128, 24}) { SetDrawState(BlendAddSat, 255, kWhite, area); }
  void Flat(std::initializer_list<std::array<int, 2>> v) {
    SoftTriVertex t[3];
    int i = 0;
    for (auto [x, y] : v) t[i++] = {x, y, 0, 0};
    SoftDrawTriangle(&canvas.view, nullptr, t, 0, nullptr, 1);
  }
  void Textured(const MEMIMG* src, std::initializer_list<std::array<int, 4>> v) {
    SoftTriVertex t[3];
    int i = 0;
    for (auto [x, y, u, w] : v) t[i++] = {x, y, u, w};
    SoftDrawTriangle(&canvas.view, src, t, 0, nullptr, 0);
  }
  void Rotated(const MEMIMG* src, int cx, int cy, float angle, float scale, int turn = 0) {
    SoftDrawImageRotated(&canvas.view, src, cx, cy, angle, scale, 0, turn, nullptr);
  }
};

struct ShapeRow {
  const char* what;
  std::function<void(Shapes&)> draw;
  std::function<uint32_t(int x, int y)> want;  // the pixel afterwards; 0: not drawn
  const char* choice = nullptr;
};

bool In(int v, int lo, int hi) { return v >= lo && v <= hi; }
// The triangle (10,10) (20,10) (10,20): rows 10 to 19, row 10 from x 10 to 20, each
// lower row one pixel shorter on the right.
uint32_t UpperLeft(int x, int y) { return In(y, 10, 19) && In(x, 10, 20 - (y - 10)); }
// (20,10) (10,20) (20,20): row 10 at x 20 only, growing to 11 to 20 on row 19.
uint32_t LowerRight(int x, int y) { return In(y, 10, 19) && In(x, 20 - (y - 10), 20); }
// The texels met with vertices (0,0) (8,0) (0,8) holding texels (0,0) (8,0) (0,8): each
// pixel its own texel; rows 0 to 7, row y to x 8 - y, where x 8 fails the texel test.
uint32_t Identity(int x, int y) { return In(y, 0, 7) && In(x, 0, 7) && x + y <= 8 ? Texel(x, y) : 0; }

// Where a turned 5 x 5 sprite at angle 0 lands, mirrored: corners at the centre -2.5
// and +2.5, floored; the column of texel 5 fails the test and the bottom corner's row
// is not walked, so pixel (x, y) shows texel (cx + 2 - x, y - (cy - 3)).
uint32_t Mirrored5(int x, int y, int cx, int cy) {
  return In(x, cx - 2, cx + 2) && In(y, cy - 3, cy + 1) ? Texel(cx + 2 - x, y - (cy - 3)) : 0;
}

const ShapeRow kShapeRows[] = {
    // ---- triangles
    {"triangle (10,10) (20,10) (10,20)", [](Shapes& s) { s.Count(); s.Flat({{10, 10}, {20, 10}, {10, 20}}); },
     UpperLeft},
    {"triangle (20,10) (10,20) (20,20)", [](Shapes& s) { s.Count(); s.Flat({{20, 10}, {10, 20}, {20, 20}}); },
     LowerRight},
    {"the two as a quad draw their shared diagonal twice",
     [](Shapes& s) {
       s.Count();
       s.Flat({{10, 10}, {20, 10}, {10, 20}});
       s.Flat({{20, 10}, {10, 20}, {20, 20}});
     },
     [](int x, int y) { return UpperLeft(x, y) + LowerRight(x, y); }},
    {"every order of the vertices, either winding, covers the same pixels",
     [](Shapes& s) {
       s.Count();
       const std::array<int, 2> v[3] = {{10, 10}, {20, 10}, {10, 20}};
       for (auto [a, b, c] : {std::array{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}})
         s.Flat({v[a], v[b], v[c]});
     },
     [](int x, int y) { return 6 * UpperLeft(x, y); }},
    {"collinear, coincident and one-row triangles draw nothing",
     [](Shapes& s) {
       s.Count();
       s.Flat({{0, 0}, {5, 5}, {10, 10}});
       s.Flat({{3, 3}, {3, 3}, {9, 1}});
       s.Flat({{2, 4}, {8, 4}, {5, 4}});
     },
     [](int, int) { return 0u; }},
    {"(0,0) (1,0) (0,1) draws (0,0) and (1,0); (5,0) (0,1) (10,1) draws (5,0)",
     [](Shapes& s) {
       s.Count();
       s.Flat({{0, 0}, {1, 0}, {0, 1}});
       s.Flat({{5, 0}, {0, 1}, {10, 1}});
     },
     [](int x, int y) { return uint32_t{y == 0 && (x == 0 || x == 1 || x == 5)}; }},
    {"texels at the vertices' own positions: each pixel takes its own texel",
     [](Shapes& s) { s.Copy(); s.Textured(s.Source(8, 8), {{0, 0, 0, 0}, {8, 0, 8, 0}, {0, 8, 0, 8}}); }, Identity},
    {"texel positions doubled: pixel (x, y) takes texel (2x, 2y)",
     [](Shapes& s) { s.Copy(); s.Textured(s.Source(16, 16), {{0, 0, 0, 0}, {8, 0, 16, 0}, {0, 8, 0, 16}}); },
     [](int x, int y) { return Identity(x, y) ? Texel(2 * x, 2 * y) : 0; }},
    {"vertex positions doubled: pixel (x, y) takes texel (x / 2, y / 2)",
     [](Shapes& s) { s.Copy(); s.Textured(s.Source(8, 8), {{0, 0, 0, 0}, {16, 0, 8, 0}, {0, 16, 0, 8}}); },
     [](int x, int y) { return In(y, 0, 15) && In(x, 0, 15) && x + y <= 16 ? Texel(x / 2, y / 2) : 0; }},
    {"mirrored texels: pixel (x, y) takes texel (8 - x, y), column 0 fails the texel test",
     [](Shapes& s) { s.Copy(); s.Textured(s.Source(8, 8), {{0, 0, 8, 0}, {8, 0, 0, 0}, {0, 8, 8, 8}}); },
     [](int x, int y) { return In(y, 0, 7) && In(x, 1, 8 - y) ? Texel(8 - x, y) : 0; }},
    {"a span cut by the draw area's left edge takes the texel of the pixel where it starts",
     [](Shapes& s) {
       s.Copy({3, 0, 128, 24});
       s.Textured(s.Source(8, 8), {{0, 0, 0, 0}, {8, 0, 8, 0}, {0, 8, 0, 8}});
     },
     [](int x, int y) { return x >= 3 ? Identity(x, y) : 0; }},
    // The vertex rows are floored, so the shape is the one at row 10 moved up by 12 rows;
    // truncated toward 0, the walk would start one row lower (row -1), row 0 would span
    // x 10 to 19 and row 8 would be drawn.
    {"a top vertex above row 0: (10,-2) (20,-2) (10,8)",
     [](Shapes& s) { s.Count(); s.Flat({{10, -2}, {20, -2}, {10, 8}}); },
     [](int x, int y) { return UpperLeft(x, y + 12); }, "the triangle's floor"},
    // ---- image quads
    {"quad on a 5 x 4 source's own size: each pixel its texel, column x + w fails",
     [](Shapes& s) {
       s.Copy();
       const int c[8] = {3, 2, 8, 2, 3, 6, 8, 6};
       SoftDrawImageQuad(&s.canvas.view, s.Source(5, 4), c, 0, nullptr);
     },
     [](int x, int y) { return In(x, 3, 7) && In(y, 2, 5) ? Texel(x - 3, y - 2) : 0; }},
    {"quad: the diagonal from corner 1 to corner 2 is drawn by both triangles",
     [](Shapes& s) {
       s.Count();
       const int c[8] = {0, 0, 8, 0, 0, 8, 8, 8};
       SoftDrawImageQuad(&s.canvas.view, s.Source(8, 8, true), c, 0, nullptr);
     },
     [](int x, int y) { return In(x, 0, 7) && In(y, 0, 7) ? 1u + (x + y == 8) : 0u; }},
    {"quad wholly left of the draw area draws nothing",
     [](Shapes& s) {
       s.Copy({30, 0, 128, 24});
       const int c[8] = {10, 2, 15, 2, 10, 6, 15, 6};
       SoftDrawImageQuad(&s.canvas.view, s.Source(5, 4), c, 0, nullptr);
     },
     [](int, int) { return 0u; }},
    // ---- rotated blits
    {"angle 0, scale 1, even size: the top-left texel at (cx - w / 2, cy - h / 2)",
     [](Shapes& s) { s.Copy(); s.Rotated(s.Source(4, 2), 10, 10, 0.0f, 1.0f); },
     [](int x, int y) { return In(x, 8, 11) && In(y, 9, 10) ? Texel(x - 8, y - 9) : 0; }},
    {"width 5: texel columns 0 to 4 on cx - 2 to cx + 2",
     [](Shapes& s) { s.Copy(); s.Rotated(s.Source(5, 1), 10, 10, 0.0f, 1.0f); },
     [](int x, int y) { return In(x, 8, 12) && y == 10 ? Texel(x - 8, 0) : 0; }},
    // u = y - 10 + 2, v = 1 - (x - 10) texels
    {"a quarter turn puts the top row on the right, running down",
     [](Shapes& s) { s.Copy(); s.Rotated(s.Source(4, 3), 10, 10, 1.5707964f, 1.0f); },
     [](int x, int y) { return In(x, 9, 11) && In(y, 8, 11) ? Texel(y - 8, 11 - x) : 0; }},
    {"scale 2: every texel a 2 x 2 block",
     [](Shapes& s) { s.Copy(); s.Rotated(s.Source(3, 2), 10, 10, 0.0f, 2.0f); },
     [](int x, int y) { return In(x, 8, 13) && In(y, 8, 11) ? Texel((x - 8) / 2, (y - 8) / 2) : 0; }},
    // u = 2 - (x - 10), v = 1 - (y - 10) texels
    {"a negative scale turns the image half round",
     [](Shapes& s) { s.Copy(); s.Rotated(s.Source(4, 2), 10, 10, 0.0f, -1.0f); },
     [](int x, int y) { return In(x, 9, 12) && In(y, 10, 11) ? Texel(12 - x, 11 - y) : 0; }},
    // Quad corners (12,9) (8,9) (12,11) (8,11) with texels (0,0) (4,0) (0,2) (4,2).
    {"turned at angle 0: mirrored left to right through the quad",
     [](Shapes& s) { s.Copy(); s.Rotated(s.Source(4, 2), 10, 10, 0.0f, 1.0f, 1); },
     [](int x, int y) { return In(x, 9, 12) && In(y, 9, 10) ? Texel(12 - x, y - 9) : 0; }},
    // At (2, 2) the corners -0.5 floor to -1, so the sprite is the one at (12, 12) moved
    // by whole pixels. Truncated, they would be 0: four columns and rows for five texels,
    // column 0 failing the texel test, columns 1 to 4 showing texels 3 to 0 and rows 0
    // to 3 texel rows 0 to 3.
    {"turned 5 x 5 sprite with corners left of column 0 and above row 0",
     [](Shapes& s) {
       s.Copy();
       const MEMIMG* src = s.Source(5, 5);
       s.Rotated(src, 2, 2, 0.0f, 1.0f, 1);
       s.Rotated(src, 12, 12, 0.0f, 1.0f, 1);
     },
     [](int x, int y) { return Mirrored5(x, y, 2, 2) | Mirrored5(x, y, 12, 12); },
     "the turned blit's corner floor"},
    {"a centre far outside the draw area draws nothing",
     [](Shapes& s) {
       s.Copy();
       const MEMIMG* src = s.Source(4, 2);
       s.Rotated(src, -100, 10, 0.5f, 1.0f);
       s.Rotated(src, 10, 300, 0.5f, 1.0f, 1);
     },
     [](int, int) { return 0u; }},
    // ---- lines
    {"(0,0)-(4,0) draws x 0 to 3; (0,0)-(0,0) nothing",
     [](Shapes& s) {
       s.Count();
       SoftDrawLine(&s.canvas.view, 0, 0, 4, 0, 1);
       SoftDrawLine(&s.canvas.view, 0, 0, 0, 0, 1);
     },
     [](int x, int y) { return uint32_t{y == 0 && In(x, 0, 3)}; }},
    {"(0,0)-(4,1) steps down only once the error reaches the major length",
     [](Shapes& s) { s.Count(); SoftDrawLine(&s.canvas.view, 0, 0, 4, 1, 1); },
     [](int x, int y) { return uint32_t{y == 0 && In(x, 0, 3)}; }},
    {"(0,0)-(3,3) draws the diagonal without its end",
     [](Shapes& s) { s.Count(); SoftDrawLine(&s.canvas.view, 0, 0, 3, 3, 1); },
     [](int x, int y) { return uint32_t{x == y && x < 3}; }},
    {"a box outline as four lines draws every outline pixel once",
     [](Shapes& s) {
       s.Count();
       const SoftLineRecord box[4] = {{2, 3, 8, 3, 1, 0}, {8, 3, 8, 6, 1, 0}, {8, 6, 2, 6, 1, 0}, {2, 6, 2, 3, 1, 0}};
       SoftDrawLines(&s.canvas.view, box, 4);
     },
     [](int x, int y) { return uint32_t{In(x, 2, 8) && In(y, 3, 6) && (x == 2 || x == 8 || y == 3 || y == 6)}; }},
    {"x -10 to 10 with the area's left at 0 draws x 0 to 9",
     [](Shapes& s) { s.Count(); SoftDrawLine(&s.canvas.view, -10, 5, 10, 5, 1); },
     [](int x, int y) { return uint32_t{y == 5 && In(x, 0, 9)}; }},
    {"(0,5)-(500,5) with the area's right at 100 draws x 0 to 99",
     [](Shapes& s) { s.Count({0, 0, 100, 24}); SoftDrawLine(&s.canvas.view, 0, 5, 500, 5, 1); },
     [](int x, int y) { return uint32_t{y == 5 && In(x, 0, 99)}; }},
    {"(500,5)-(0,5) with the area's right at 100 draws x 99 down to 1",
     [](Shapes& s) { s.Count({0, 0, 100, 24}); SoftDrawLine(&s.canvas.view, 500, 5, 0, 5, 1); },
     [](int x, int y) { return uint32_t{y == 5 && In(x, 1, 99)}; }},
    {"a line list of 0 or -1 records draws nothing; a record's sixth field is not read",
     [](Shapes& s) {
       s.Count();
       const SoftLineRecord line[1] = {{0, 7, 6, 7, 1, 0}};
       SoftDrawLines(&s.canvas.view, line, 0);
       SoftDrawLines(&s.canvas.view, line, -1);
       SoftDrawLines(&s.canvas.view, line, 1);
     },
     [](int x, int y) { return uint32_t{y == 7 && In(x, 0, 5)}; }},
};

TEST(PrimitiveExamples, CoverageAndTexelsOfEveryShape) {
  InitBlendTables();
  for (const ShapeRow& row : kShapeRows) {
    Shapes s;
    std::fill(s.canvas.bytes.begin(), s.canvas.bytes.end(), 0);
    row.draw(s);
    std::string wrong;
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 128; ++x) {
        uint32_t got = 0;
        std::memcpy(&got, s.canvas.At(x, y), 4);
        if (got != row.want(x, y) && wrong.size() < 200) {
          char text[64];
          std::snprintf(text, sizeof text, " (%d,%d) is 0x%X, want 0x%X;", x, y, got, row.want(x, y));
          wrong += text;
        }
        std::memset(s.canvas.At(x, y), 0, 4);
      }
    if (std::any_of(s.canvas.bytes.begin(), s.canvas.bytes.end(), [](uint8_t b) { return b != 0; }))
      wrong += " a byte outside the view is written;";
    EXPECT_TRUE(wrong.empty()) << row.what << (row.choice ? std::string(" (") + row.choice + ")" : "") << ":"
                               << wrong;
  }
}


// ---------------------------------------------------------------- stretched columns

// Destination column j of a stretched draw takes source column floor(j * 65536 / rx)
// from the side where drawing starts, rx = (width << 16) / source width, and rows
// likewise. Every loop steps alike, the whole-pixel ones (mode 0 untinted, modes 1 and 3
// at p = 255) too, so a mode never changes which texels a stretch shows; ending their
// repeat one source pixel early where the error lands on 0 would. Adding onto black
// (mode 2 has no whole-pixel loop) shows the texel unchanged, so each column names the
// source column it took.
constexpr const char* kOneStepping = "the whole-pixel loops step as every other loop";

struct StretchRow {
  const char* what;
  int srcW, dstW;  // dstW < 0: mirrored
  int mode, p;
  std::vector<int> columns;  // the source column of each destination column, from the left
  const char* choice = nullptr;
};

const StretchRow kStretchRows[] = {
    {"2 wide drawn 4 wide", 2, 4, BlendAddSat, 255, {0, 0, 1, 1}},
    {"2 wide drawn 4 wide, whole-pixel loop", 2, 4, BlendCopy, 255, {0, 0, 1, 1}},
    {"3 wide drawn 2 wide (rx = 43690)", 3, 2, BlendAddSat, 255, {0, 1}},
    {"8 wide drawn 4 wide", 8, 4, BlendAddSat, 255, {0, 2, 4, 6}},
    // Ending the repeat one source pixel early would give 0, 1, 3, 5.
    {"8 wide drawn 4 wide, mode 0", 8, 4, BlendCopy, 0, {0, 2, 4, 6}, kOneStepping},
    {"8 wide drawn 4 wide, mode 1 at p = 255", 8, 4, BlendAlpha, 255, {0, 2, 4, 6}, kOneStepping},
    {"8 wide drawn 4 wide, mirrored: from the right", 8, -4, BlendAddSat, 255, {7, 5, 3, 1}},
    {"3 wide drawn 7 wide", 3, 7, BlendAddSat, 255, {0, 0, 0, 1, 1, 2, 2}},
    // Counted from the source's far side, not the unmirrored draw turned round (2 2 1 1 0 0 0).
    {"3 wide drawn 7 wide, mirrored", 3, -7, BlendAddSat, 255, {2, 2, 2, 1, 1, 0, 0}},
};

TEST(PrimitiveExamples, StretchedDrawsTakeTheirColumnsAndRowsByTheRatio) {
  InitBlendTables();
  std::mt19937 rng(9);
  for (const StretchRow& row : kStretchRows)
    for (bool rows : {false, true}) {
      SCOPED_TRACE(std::string(row.what) + (rows ? ", as rows" : "") +
                   (row.choice ? std::string(" (") + row.choice + ")" : ""));
      const int n = std::abs(row.dstW);
      // One line of texels 0x10, 0x20, ... (grey), across or down.
      GuardedImage src(rows ? 1 : row.srcW, rows ? row.srcW : 1, 1, false, false, rng);
      for (int k = 0; k < row.srcW; ++k) Put(src.At(rows ? 0 : k, rows ? k : 0), 0x101010u * (k + 1), 4);
      GuardedImage dst(12, 12, 1, false, false, rng);
      for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) Put(dst.At(x, y), 0, 4);
      SetDrawState(row.mode, row.p, kWhite, {0, 0, 12, 12});
      const bool mirrored = row.dstW < 0;
      Rect r = rows ? Rect{3, 2, 4, 2 + n} : Rect{2, 3, 2 + n, 4};
      if (mirrored && rows) std::swap(r.top, r.bottom);
      if (mirrored && !rows) std::swap(r.left, r.right);
      SoftDrawImageStretched(&dst.view, &src.view, &r, 0, nullptr);
      std::vector<int> got;
      for (int j = 0; j < n; ++j) {
        uint32_t v;
        std::memcpy(&v, dst.At(rows ? 3 : 2 + j, rows ? 2 + j : 3), 4);
        got.push_back(static_cast<int>(v & 0xFF) / 0x10 - 1);
      }
      EXPECT_EQ(got, row.columns);
    }
}

}  // namespace
