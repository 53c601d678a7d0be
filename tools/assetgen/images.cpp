// Every image under "./image/", drawn from the shape helpers of canvas.h. Sizes and
// cells come from game/content/asset_layout.h.
#include <cmath>
#include <cstdio>
#include <string>

#include "game/content/asset_layout.h"
#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/canvas.h"

namespace {

constexpr float kRad = 3.14159265f / 180.0f;

const Rgba kBulletColour[kBulletColours] = {
    {1.0f, 0.22f, 0.22f, 1}, {0.25f, 0.45f, 1.0f, 1}, {0.25f, 0.9f, 0.3f, 1},
    {1.0f, 0.85f, 0.15f, 1}, {0.75f, 0.3f, 1.0f, 1}};
const Rgba kLaserColour[kLaserColours] = {
    {1.0f, 0.2f, 0.2f, 1}, {0.25f, 0.45f, 1.0f, 1}, {0.25f, 0.9f, 0.3f, 1},
    {1.0f, 0.85f, 0.15f, 1}, {0.75f, 0.3f, 1.0f, 1}, {1.0f, 0.55f, 0.1f, 1},
    {0.2f, 0.9f, 0.95f, 1}, {0.95f, 0.95f, 0.95f, 1}, {1.0f, 0.5f, 0.75f, 1},
    {0.7f, 0.72f, 0.78f, 1}};

Rgba Hex(uint32_t rgb, float a = 1) {
  return {((rgb >> 16) & 255) / 255.0f, ((rgb >> 8) & 255) / 255.0f, (rgb & 255) / 255.0f, a};
}

// The eight characters: 0 and 7 the players, 1..6 the bosses (by boss kind).
struct Character {
  const char* name;
  Rgba hair, eye, dress, accent;
  int hairStyle;  // 0 short, 1 long, 2 twin tails
  int accessory;  // 0 ribbon, 1 pointed hat, 2 horns, 3 halo, 4 crown, 5 hood, 6 flower, 7 antennae
};
const Character kCharacters[8] = {
    {"Akane", Hex(0x3a2418), Hex(0xb02020), Hex(0xd8283a), Hex(0xf4f0e8), 1, 0},
    {"Mizore", Hex(0x7ab8e8), Hex(0x2060c0), Hex(0x3c64c8), Hex(0xe8f4ff), 0, 6},
    {"Kurenai", Hex(0xe8d070), Hex(0xc03030), Hex(0x5a2a82), Hex(0xf0c040), 1, 2},
    {"Hotaru", Hex(0x2c7a3a), Hex(0x40c060), Hex(0x2e8b57), Hex(0xe8ffb0), 2, 7},
    {"Shion", Hex(0xc8a0e8), Hex(0x8040c0), Hex(0x6a3aa8), Hex(0xffe0ff), 1, 3},
    {"Tsukuyo", Hex(0xe8e8f0), Hex(0xd0a020), Hex(0x283c78), Hex(0xffd860), 1, 4},
    {"Rindou", Hex(0x1c1c30), Hex(0xe05080), Hex(0x902040), Hex(0xffa0c0), 0, 5},
    {"Sora", Hex(0xf0d080), Hex(0x3070d0), Hex(0x202838), Hex(0xf8f8ff), 0, 1},
};
const Rgba kSkin = Hex(0xffe2cc);

bool Save(const Canvas& c, const std::string& dir, const std::string& name) {
  if (c.WritePng(dir + "/" + name)) return true;
  std::fprintf(stderr, "assetgen: cannot write %s/%s\n", dir.c_str(), name.c_str());
  return false;
}

// ---------------------------------------------------------------------------
// Bullets, lasers, shots, items, effects

// A round bullet: coloured body, dark rim for contrast on any background, white core.
void RoundBullet(Canvas& c, float cx, float cy, float r, Rgba col, float core) {
  c.Fill(Circle(cx, cy, r), Scale(col, 0.45f));
  c.Fill(Circle(cx, cy, r - 1.0f), col);
  c.Fill(Circle(cx, cy, r * core), Mix(col, kWhite, 0.85f));
}

void GlowBullet(Canvas& c, float cx, float cy, float r, Rgba col) {
  c.Glow(cx, cy, r, col, 1.2f, false);
  c.Fill(Circle(cx, cy, r * 0.55f), Mix(col, kWhite, 0.5f));
  c.Fill(Circle(cx, cy, r * 0.38f), kWhite);
}

void DrawBullet(Canvas& c, int sheet, Rgba col) {
  float w = kBulletCellW[sheet], h = kBulletCellH[sheet], cx = w / 2, cy = h / 2;
  Rgba light = Mix(col, kWhite, 0.8f), dark = Scale(col, 0.45f);
  switch (sheet) {
    default:
    case 0: RoundBullet(c, cx, cy, 3.6f, col, 0.45f); break;
    case 1: RoundBullet(c, cx, cy, 5.5f, col, 0.5f); break;
    case 2: RoundBullet(c, cx, cy, 7.5f, col, 0.55f); break;
    case 3:  // rice
      c.Fill(Ellipse(cx, cy, 5.2f, 7.6f), dark);
      c.Fill(Ellipse(cx, cy, 4.2f, 6.6f), col);
      c.Fill(Ellipse(cx, cy, 2.0f, 4.0f), light);
      break;
    case 4:  // ringed
      c.Fill(Circle(cx, cy, 7.5f), dark);
      c.Fill(Ring(Circle(cx, cy, 5.8f), 1.4f), col);
      c.Fill(Circle(cx, cy, 3.6f), kWhite);
      break;
    case 5:  // arrowhead pointing up
      c.Fill(Polygon({cx, 0.5f, w - 0.5f, h - 1, cx, h - 5, 0.5f, h - 1}), dark);
      c.Fill(Polygon({cx, 2.5f, w - 2.2f, h - 2.2f, cx, h - 6, 2.2f, h - 2.2f}), col);
      c.Fill(Polygon({cx, 6, cx + 2, h - 7, cx - 2, h - 7}), light);
      break;
    case 6:  // emitter orb: harmless light, drawn additive by the game
      c.Glow(cx, cy, 12, col, 1.5f, false);
      c.Glow(cx, cy, 6, kWhite, 1.0f);
      break;
    case 7:  // star
      c.Fill(Star(cx, cy, 5, 7.8f, 3.6f), dark);
      c.Fill(Star(cx, cy, 5, 6.6f, 2.9f), col);
      c.Fill(Circle(cx, cy, 2.0f), kWhite);
      break;
    case 8:  // oval
      c.Fill(Ellipse(cx, cy, 5.6f, 9.6f), dark);
      c.Fill(Ellipse(cx, cy, 4.6f, 8.6f), col);
      c.Fill(Ellipse(cx, cy, 2.4f, 5.6f), light);
      break;
    case 9: RoundBullet(c, cx, cy, 15.0f, col, 0.62f); break;
    case 10:  // crystal
      c.Fill(Polygon({cx, 0.5f, w - 0.5f, cy, cx, h - 0.5f, 0.5f, cy}), dark);
      c.Fill(Polygon({cx, 2, w - 2, cy, cx, h - 2, 2, cy}), col);
      c.Fill(Polygon({cx, 5, cx + 1.5f, cy, cx, h - 5, cx - 1.5f, cy}), light);
      break;
    case 11:  // butterfly
      for (float s : {-1.0f, 1.0f}) {
        c.Fill(Ellipse(cx + s * 5.5f, cy - 3.5f, 5.5f, 7.5f, s * 35), dark);
        c.Fill(Ellipse(cx + s * 5.5f, cy - 3.5f, 4.5f, 6.5f, s * 35), col);
        c.Fill(Ellipse(cx + s * 4.5f, cy + 5.0f, 3.6f, 4.8f, -s * 30), col);
      }
      c.Fill(Ellipse(cx, cy, 1.8f, 7.0f), kWhite);
      break;
    case 12: GlowBullet(c, cx, cy, 10, col); break;
    case 13: GlowBullet(c, cx, cy, 7, col); break;
    case 14: {  // scale: round top, pointed bottom... pointing up
      Shape s = Polygon({cx, 0.5f, w - 1, cy + 1, w - 3, h - 2, cx, h - 0.5f, 3, h - 2, 1, cy + 1});
      c.Fill(s, dark);
      c.Fill(Polygon({cx, 2.5f, w - 2.5f, cy + 1, w - 4, h - 3, cx, h - 2, 4, h - 3, 2.5f, cy + 1}), col);
      c.Fill(Ellipse(cx, cy + 1, 2.0f, 4.0f), light);
      break;
    }
    case 15: GlowBullet(c, cx, cy, 14, col); break;
    case 16:  // huge orb
      c.Glow(cx, cy, 20, col, 1.0f, false);
      RoundBullet(c, cx, cy, 14, col, 0.7f);
      break;
  }
}

void MakeBullets(const std::string& dir, bool& ok) {
  for (int sheet = 0; sheet < kBulletSheetCount; ++sheet) {
    Canvas c(kBulletCellW[sheet] * kBulletColours, kBulletCellH[sheet]);
    for (int col = 0; col < kBulletColours; ++col) {
      SheetCell cell = BulletCell(sheet, col);
      c.SetCell(cell.x, cell.y, cell.w, cell.h);
      DrawBullet(c, sheet, kBulletColour[col]);
    }
    char name[32];
    std::snprintf(name, sizeof name, "bullet%02d.png", sheet);
    ok &= Save(c, dir, name);
  }
  Canvas laser(kLaserRowW, kLaserRowH * kLaserColours);
  for (int col = 0; col < kLaserColours; ++col) {
    SheetCell cell = LaserRow(col);
    laser.SetCell(cell.x, cell.y, cell.w, cell.h);
    for (int y = 0; y < cell.h; ++y) {
      float d = std::fabs(y + 0.5f - cell.h / 2.0f) / (cell.h / 2.0f);  // 0 centre .. 1 edge
      Rgba p = d < 0.3f ? Mix(kWhite, kLaserColour[col], d / 0.3f) : kLaserColour[col];
      p.a = d < 0.3f ? 1.0f : std::pow(1 - (d - 0.3f) / 0.7f, 1.5f);
      for (int x = 0; x < cell.w; ++x) laser.Blend(x, y, p, 1);
    }
  }
  ok &= Save(laser, dir, "laser.png");
}

void MakeItems(const std::string& dir, bool& ok) {
  Canvas c(kItemCell * kItemKinds, kItemCell);
  TextStyle letter;
  letter.face = Face::SansBold;
  letter.colour = kWhite;
  letter.align = Align::Centre;
  float m = kItemCell / 2.0f;
  for (int k = 0; k < kItemKinds; ++k) {
    SheetCell cell = ItemCell(k);
    c.SetCell(cell.x, cell.y, cell.w, cell.h);
    switch (k) {
      case 0:  // small power: small red box with P
        c.Fill(Box(m - 6, m - 6, m + 6, m + 6, 2), Hex(0x701010));
        c.Fill(Box(m - 5, m - 5, m + 5, m + 5, 2), Hex(0xe02828));
        letter.size = 10;
        DrawText(c, m, m + 4, "P", letter);
        break;
      case 1:  // large power
        c.Fill(Box(1, 1, kItemCell - 1, kItemCell - 1, 3), Hex(0x701010));
        c.Fill(Box(2, 2, kItemCell - 2, kItemCell - 2, 3), Hex(0xe02828));
        letter.size = 15;
        DrawText(c, m, m + 5.5f, "P", letter);
        break;
      case 2:  // point: blue box with a white diamond
        c.Fill(Box(m - 7, m - 7, m + 7, m + 7, 2), Hex(0x102070));
        c.Fill(Box(m - 6, m - 6, m + 6, m + 6, 2), Hex(0x3060f0));
        c.Fill(Polygon({m, m - 4.5f, m + 4.5f, m, m, m + 4.5f, m - 4.5f, m}), kWhite);
        break;
      case 3:  // star (point-rate item): green star
        c.Fill(Star(m, m + 0.5f, 5, 9.5f, 4.2f), Hex(0x105018));
        c.Fill(Star(m, m + 0.5f, 5, 8.0f, 3.5f), Hex(0x40e050));
        c.Fill(Circle(m, m + 0.5f, 2), kWhite);
        break;
      case 4:  // bullet star: small yellow star
        c.Fill(Star(m, m, 5, 6.5f, 2.8f), Hex(0x806000));
        c.Fill(Star(m, m, 5, 5.3f, 2.2f), Hex(0xfff040));
        break;
    }
  }
  ok &= Save(c, dir, "item.png");
}

void MakeEffects(const std::string& dir, bool& ok) {
  Canvas c(kEffectSheetW, kEffectSheetH);
  for (int k = 0; k < kEffectCells; ++k) {
    SheetCell cell = EffectCell(k);
    c.SetCell(cell.x, cell.y, cell.w, cell.h);
    // Shapes are laid out on a 64-pixel cell and scaled to this one.
    const float u = cell.w / 64.0f, m = cell.w / 2.0f;
    switch (k) {
      case kEffectVanish: c.Glow(m, m, 30 * u, kWhite, 2.0f); break;
      case kEffectBurst:
        c.Glow(m, m, 30 * u, Hex(0xffe0a0), 1.5f);
        for (int i = 0; i < 8; ++i) {
          float a = i * 45 * kRad;
          c.FillAdd(Capsule(m, m, m + 28 * u * std::cos(a), m + 28 * u * std::sin(a), 1.6f * u),
                    Hex(0xffffff, 0.8f));
        }
        break;
      case kEffectRing:
        c.FillAdd(Ring(Circle(m, m, 27 * u), 2.5f * u), kWhite);
        c.FillAdd(Ring(Circle(m, m, 23 * u), 1.0f * u), Hex(0xc0d0ff, 0.6f));
        break;
      case kEffectCharge:
        c.Glow(m, m, 31 * u, Hex(0xfff0c0), 1.2f);
        c.FillAdd(Star(m, m, 8, 31 * u, 6 * u), Hex(0xffffff, 0.7f));
        break;
      case kEffectShard:
        c.Fill(Polygon({m, m - 12 * u, m + 5 * u, m, m, m + 12 * u, m - 5 * u, m}), Hex(0xfff8e0));
        break;
      case kEffectSpark:
        c.Glow(m, m, 14 * u, Hex(0xffffff), 2.0f);
        c.FillAdd(Star(m, m, 4, 14 * u, 2.5f * u), Hex(0xffffff, 0.8f));
        break;
      case kEffectBlast:
        c.Glow(m, m, 31 * u, Hex(0xffffff), 0.8f);
        c.Glow(m, m, 31 * u, Hex(0xff8040), 2.0f);
        break;
      case kEffectBombWave:
        c.FillAdd(Ring(Circle(m, m, 26 * u), 4.5f * u), Hex(0xff6080, 0.7f));
        c.Glow(m, m, 31 * u, Hex(0xffa0c0, 0.5f), 3.0f);
        break;
    }
  }
  ok &= Save(c, dir, "effect.png");
}

// ---------------------------------------------------------------------------
// Figures: players, enemies, bosses, portraits

// A small full-body figure seen from above: used for the player (h 48) and the
// bosses (h 80). lean -1 left .. +1 right; casting raises the arms.
void SmallFigure(Canvas& c, float cx, float top, float h, const Character& ch, float lean,
                 float bob, bool casting, bool rear) {
  float s = h / 48.0f, y0 = top + bob;
  float headR = 7.0f * s, headY = y0 + 11 * s, bodyTop = headY + headR - 1 * s;
  float sway = lean * 3 * s;
  // Dress: a trapezoid flaring down, leaning with the motion.
  c.Fill(Polygon({cx - 5 * s, bodyTop, cx + 5 * s, bodyTop, cx + 12 * s + sway, y0 + 44 * s,
                  cx - 12 * s + sway, y0 + 44 * s}),
         Scale(ch.dress, 0.55f));
  c.Fill(Polygon({cx - 4 * s, bodyTop + 1 * s, cx + 4 * s, bodyTop + 1 * s, cx + 11 * s + sway,
                  y0 + 43 * s, cx - 11 * s + sway, y0 + 43 * s}),
         ch.dress);
  c.Fill(Box(cx - 10 * s + sway, y0 + 38 * s, cx + 10 * s + sway, y0 + 41 * s), ch.accent);
  // Arms.
  for (float side : {-1.0f, 1.0f}) {
    float hx = cx + side * (casting ? 13 : 9) * s, hy = casting ? y0 + 14 * s : y0 + 32 * s;
    c.Fill(Capsule(cx + side * 4 * s, bodyTop + 3 * s, hx, hy, 2.2f * s), Scale(ch.dress, 0.8f));
    c.Fill(Circle(hx, hy, 2.0f * s), kSkin);
    if (casting) c.Glow(hx, hy, 7 * s, ch.accent, 1.5f);
  }
  // Hair behind the head.
  if (ch.hairStyle == 1) c.Fill(Ellipse(cx, headY + 7 * s, 8 * s, 12 * s), Scale(ch.hair, 0.85f));
  if (ch.hairStyle == 2)
    for (float side : {-1.0f, 1.0f})
      c.Fill(Ellipse(cx + side * 9 * s, headY + 6 * s, 3 * s, 9 * s, side * 15), ch.hair);
  c.Fill(Circle(cx, headY, headR + 0.8f * s), Scale(ch.hair, 0.5f));
  c.Fill(Circle(cx, headY, headR), rear ? ch.hair : kSkin);
  if (!rear) {
    c.Fill(Ellipse(cx, headY - 3.5f * s, headR, 4 * s), ch.hair);  // fringe
    for (float side : {-1.0f, 1.0f})
      c.Fill(Ellipse(cx + side * 2.6f * s + lean * s, headY + 1.2f * s, 1.1f * s, 1.6f * s), ch.eye);
  }
  // Accessory.
  float hx = cx, hy = headY - headR;
  switch (ch.accessory) {
    case 0:
      for (float side : {-1.0f, 1.0f})
        c.Fill(Ellipse(hx + side * 4.5f * s, hy, 4.5f * s, 3 * s, side * 20), Hex(0xe02030));
      c.Fill(Circle(hx, hy, 2 * s), Hex(0xffffff));
      break;
    case 1:
      c.Fill(Ellipse(hx, hy + 2 * s, 12 * s, 3 * s), Scale(ch.dress, 0.7f));
      c.Fill(Polygon({hx - 7 * s, hy + 2 * s, hx + 7 * s, hy + 2 * s, hx + 3 * s, hy - 12 * s}),
             Scale(ch.dress, 0.7f));
      c.Fill(Box(hx - 7 * s, hy - 0.5f * s, hx + 7 * s, hy + 1.5f * s), ch.accent);
      break;
    case 2:
      for (float side : {-1.0f, 1.0f})
        c.Fill(Polygon({hx + side * 3 * s, hy + 2 * s, hx + side * 7 * s, hy + 1 * s, hx + side * 8 * s, hy - 8 * s}),
               Hex(0xd8c8a0));
      break;
    case 3: c.Fill(Ring(Ellipse(hx, hy - 4 * s, 7 * s, 2.2f * s), 0.9f * s), Hex(0xfff080)); break;
    case 4:
      c.Fill(Polygon({hx - 6 * s, hy + 1 * s, hx - 6 * s, hy - 5 * s, hx - 3 * s, hy - 2 * s, hx, hy - 6 * s,
                      hx + 3 * s, hy - 2 * s, hx + 6 * s, hy - 5 * s, hx + 6 * s, hy + 1 * s}),
             Hex(0xffd040));
      break;
    case 5: c.Fill(Cut(Circle(hx, headY, headR + 3 * s), Box(cx - 5 * s, headY - 3 * s, cx + 5 * s, headY + 9 * s)), Scale(ch.dress, 0.6f)); break;
    case 6:
      c.Fill(Star(hx + 5 * s, hy + 1 * s, 5, 3.5f * s, 2 * s), Hex(0xffffff));
      c.Fill(Circle(hx + 5 * s, hy + 1 * s, 1.2f * s), Hex(0xffd040));
      break;
    case 7:
      for (float side : {-1.0f, 1.0f}) {
        c.Fill(Capsule(hx + side * 2 * s, hy, hx + side * 6 * s, hy - 8 * s, 0.7f * s), Scale(ch.hair, 0.6f));
        c.Glow(hx + side * 6 * s, hy - 8 * s, 3 * s, Hex(0xe0ff80), 1.0f);
      }
      break;
  }
}

void MakePlayers(const std::string& dir, bool& ok) {
  for (int who : {0, 7}) {
    Canvas c(kPlayerCellW * kPlayerFrames, kPlayerCellH * kPlayerRows);
    for (int row = 0; row < kPlayerRows; ++row)
      for (int f = 0; f < kPlayerFrames; ++f) {
        SheetCell cell = PlayerCell(row, f);
        c.SetCell(cell.x, cell.y, cell.w, cell.h);
        float lean = row == 0 ? 0.0f : row == 1 ? -1.0f : 1.0f;
        float bob = std::sin(f * 90 * kRad) * 0.8f;
        SmallFigure(c, kPlayerCellW / 2.0f, 1, 46, kCharacters[who], lean, bob, false, true);
      }
    ok &= Save(c, dir, who == 0 ? "player0.png" : "player7.png");
  }
  Canvas shot(kShotCellW * kShotCells, kShotCellH);
  const Rgba shotColour[kShotCells] = {Hex(0xff6060), Hex(0xff80c0), Hex(0x80b0ff), Hex(0x80ffb0)};
  for (int k = 0; k < kShotCells; ++k) {
    SheetCell cell = ShotCell(k);
    shot.SetCell(cell.x, cell.y, cell.w, cell.h);
    float m = kShotCellW / 2.0f;
    if (k == kShotNeedle0 || k == kShotNeedle7) {
      shot.Fill(Capsule(m, 3, m, kShotCellH - 3, 3.0f), WithAlpha(shotColour[k], 0.55f));
      shot.Fill(Capsule(m, 5, m, kShotCellH - 5, 1.4f), kWhite);
    } else {
      shot.Fill(Polygon({m, 4, m + 5, 16, m, 28, m - 5, 16}), WithAlpha(shotColour[k], 0.6f));
      shot.Fill(Polygon({m, 8, m + 2.5f, 16, m, 24, m - 2.5f, 16}), kWhite);
    }
  }
  ok &= Save(shot, dir, "shot.png");
  Canvas focus(kFocusSize, kFocusSize);
  float m = kFocusSize / 2.0f;
  focus.Fill(Ring(Circle(m, m, 29), 1.3f), Hex(0xffffff, 0.8f));
  focus.Fill(Ring(Circle(m, m, 24), 0.8f), Hex(0xa0c0ff, 0.7f));
  for (int i = 0; i < 12; ++i) {  // rune marks make the turning visible
    float a = i * 30 * kRad;
    focus.Fill(Star(m + 26.5f * std::cos(a), m + 26.5f * std::sin(a), 4, 2.6f, 1.0f, i * 30.0f),
               Hex(0xe0e8ff, 0.9f));
  }
  ok &= Save(focus, dir, "focus.png");
  Canvas hit(kHitboxSize, kHitboxSize);
  hit.Fill(Circle(4, 4, 3.8f), Hex(0xff2020));
  hit.Fill(Circle(4, 4, 2.6f), kWhite);
  ok &= Save(hit, dir, "hitbox.png");
}

// Enemies: small fairies (kinds 0, 1, 2, 4, 5), a big fairy (3), a spirit orb (6)
// and an eye (7): the big ones are plainly larger, as their hit radius is.
void MakeEnemies(const std::string& dir, bool& ok) {
  Canvas c(kEnemyCell * kEnemyFrames, kEnemyCell * kEnemyKinds);
  const Rgba dress[8] = {Hex(0x3060e0), Hex(0xe03040), Hex(0x30b040), Hex(0xf09020),
                         Hex(0xe0c020), Hex(0xa040e0), Hex(0x40c0e0), Hex(0xc02080)};
  float m = kEnemyCell / 2.0f;
  for (int kind = 0; kind < kEnemyKinds; ++kind)
    for (int f = 0; f < kEnemyFrames; ++f) {
      SheetCell cell = EnemyCell(kind, f);
      c.SetCell(cell.x, cell.y, cell.w, cell.h);
      float flap = std::sin(f * 90 * kRad);
      if (kind == 6) {  // spirit orb turning
        c.Glow(m, m, 23, dress[kind], 1.2f, false);
        c.Fill(Circle(m, m, 14), Scale(dress[kind], 0.5f));
        c.Fill(Circle(m, m, 12.5f), dress[kind]);
        for (int i = 0; i < 3; ++i) {
          float a = (f * 30 + i * 120) * kRad;
          c.Fill(Circle(m + 7 * std::cos(a), m + 7 * std::sin(a), 3.5f), kWhite);
        }
        c.Fill(Circle(m, m, 4), Hex(0x102030));
        continue;
      }
      if (kind == 7) {  // a floating eye with tendrils
        for (int i = 0; i < 6; ++i) {
          float a = (i * 60 + f * 15) * kRad;
          c.Fill(Capsule(m, m, m + 21 * std::cos(a), m + 21 * std::sin(a), 2.5f), Scale(dress[kind], 0.7f));
        }
        c.Fill(Circle(m, m, 15), Scale(dress[kind], 0.4f));
        c.Fill(Ellipse(m, m, 13, 9.5f - 2 * std::fabs(flap)), kWhite);
        c.Fill(Circle(m, m, 5.5f), Hex(0xd02020));
        c.Fill(Circle(m, m, 2.5f), kBlack);
        continue;
      }
      bool big = kind == 3;
      float s = big ? 1.45f : 0.95f;
      // Wings behind, flapping.
      for (float side : {-1.0f, 1.0f}) {
        float wx = m + side * 9 * s, wy = m - 2 * s;
        c.Fill(Ellipse(wx, wy, (6 + 2 * flap) * s, 10 * s, side * (35 - 10 * flap)), Hex(0xd0f0ff, 0.65f));
        c.Fill(Ring(Ellipse(wx, wy, (6 + 2 * flap) * s, 10 * s, side * (35 - 10 * flap)), 0.6f), Hex(0xffffff, 0.8f));
      }
      Character fairy{"", Scale(dress[kind], 0.6f), dress[kind], dress[kind], kWhite, kind % 3, 0};
      fairy.accessory = big ? 4 : 6;
      SmallFigure(c, m, m - 15 * s - 3, 30 * s, fairy, 0, 0, false, false);
    }
  ok &= Save(c, dir, "enemy.png");
  Canvas mark(kEnemyMarkCell * kEnemyMarkCells, kEnemyMarkCell);
  for (int k = 0; k < kEnemyMarkCells; ++k) {
    SheetCell cell = EnemyMarkCell(k);
    mark.SetCell(cell.x, cell.y, cell.w, cell.h);
    Rgba col = k == 0 ? Hex(0xffd040) : Hex(0xff4040);
    mark.Fill(Polygon({16, 2, 30, 28, 2, 28}), Scale(col, 0.5f));
    mark.Fill(Polygon({16, 5, 27.5f, 26.5f, 4.5f, 26.5f}), col);
    TextStyle st;
    st.size = 17;
    st.colour = kBlack;
    st.align = Align::Centre;
    DrawText(mark, 16, 25, "!", st);
  }
  ok &= Save(mark, dir, "enemymark.png");
}

void MakeBosses(const std::string& dir, bool& ok) {
  for (int kind = 1; kind <= kBossKinds; ++kind) {
    Canvas c(kBossCellW * kBossFrames, kBossCellH * 2);
    for (int casting = 0; casting < 2; ++casting)
      for (int f = 0; f < kBossFrames; ++f) {
        SheetCell cell = BossCell(casting, f);
        c.SetCell(cell.x, cell.y, cell.w, cell.h);
        const Character& ch = kCharacters[kind];
        float m = kBossCellW / 2.0f;
        if (casting) {  // a turning magic circle behind the caster
          c.Fill(Ring(Circle(m, 44, 27), 1.2f), WithAlpha(ch.accent, 0.8f));
          c.Fill(Ring(Star(m, 44, 6, 25, 14, f * 15.0f), 0.8f), WithAlpha(ch.accent, 0.7f));
        }
        c.Glow(m, 44, 30, WithAlpha(ch.dress, 0.35f), 1.5f);
        SmallFigure(c, m, 4, 72, ch, 0, std::sin(f * 90 * kRad) * 1.5f, casting, false);
      }
    char name[32];
    std::snprintf(name, sizeof name, "boss%d.png", kind);
    ok &= Save(c, dir, name);
  }
}

// A portrait bust; poses: 0 calm, 1 smile, 2 angry, 3 surprised, 4 sad, 5 confident,
// 6 troubled, 7 casting.
void Portrait(Canvas& c, const Character& ch, int pose) {
  float W = kPortraitW, H = kPortraitH, cx = W / 2 + (pose == 5 ? 6 : 0);
  float headY = 112, headR = 56;
  Rgba hairDark = Scale(ch.hair, 0.6f);
  if (pose == 7) {
    c.Glow(cx, 200, 125, WithAlpha(ch.accent, 0.6f), 1.2f);
    c.Fill(Ring(Circle(cx, 200, 110), 2.0f), WithAlpha(ch.accent, 0.8f));
    c.Fill(Ring(Star(cx, 200, 5, 106, 42), 1.5f), WithAlpha(ch.accent, 0.7f));
  }
  // Hair behind.
  if (ch.hairStyle == 1) c.Fill(Ellipse(cx, headY + 80, 74, 130), hairDark);
  if (ch.hairStyle == 2)
    for (float s : {-1.0f, 1.0f}) c.Fill(Ellipse(cx + s * 78, headY + 70, 24, 90, s * 12), hairDark);
  // Shoulders and dress.
  c.Fill(Polygon({cx - 30, headY + 50, cx + 30, headY + 50, cx + 110, H, cx - 110, H}), Scale(ch.dress, 0.5f));
  c.Fill(Polygon({cx - 27, headY + 54, cx + 27, headY + 54, cx + 105, H, cx - 105, H}), ch.dress);
  c.Fill(Polygon({cx - 26, headY + 58, cx, headY + 96, cx + 26, headY + 58}), ch.accent);  // collar
  c.Fill(Box(cx - 9, headY + 42, cx + 9, headY + 62), Scale(kSkin, 0.9f));                  // neck
  // Arms: raised with a light when casting, else down.
  for (float s : {-1.0f, 1.0f}) {
    if (pose == 7) {
      c.Fill(Capsule(cx + s * 70, headY + 110, cx + s * 100, headY + 20, 14), Scale(ch.dress, 0.85f));
      c.Fill(Circle(cx + s * 100, headY + 14, 11), kSkin);
      c.Glow(cx + s * 100, headY + 8, 30, ch.accent, 1.2f);
    } else {
      c.Fill(Capsule(cx + s * 72, headY + 110, cx + s * 86, H + 20, 15), Scale(ch.dress, 0.85f));
    }
  }
  // Head.
  c.Fill(Circle(cx, headY, headR + 3), hairDark);
  c.Fill(Ellipse(cx, headY + 6, headR - 4, headR), kSkin);
  // Fringe: a row of locks.
  for (int i = -3; i <= 3; ++i)
    c.Fill(Ellipse(cx + i * 15, headY - 34 + std::abs(i) * 3, 14, 22, i * 8), ch.hair);
  c.Fill(Ellipse(cx, headY - 46, 58, 22), ch.hair);
  // Eyes.
  float eyeY = headY + 8, eyeOpen = pose == 3 ? 15 : pose == 1 ? 5 : pose == 4 ? 9 : 12;
  for (float s : {-1.0f, 1.0f}) {
    float ex = cx + s * 22;
    if (pose == 1) {  // closed, happy arcs
      c.Fill(Ring(Ellipse(ex, eyeY + 4, 10, 7), 1.6f), Scale(ch.eye, 0.4f));
      c.Fill(Box(ex - 12, eyeY + 3, ex + 12, eyeY + 14), kSkin);
    } else {
      c.Fill(Ellipse(ex, eyeY, 10, eyeOpen), kWhite);
      c.Fill(Ellipse(ex + (pose == 6 ? -s * 3 : 0), eyeY + 1, 6.5f, std::min(eyeOpen, 10.0f)), ch.eye);
      c.Fill(Circle(ex + (pose == 6 ? -s * 3 : 0), eyeY + 1, 3), Scale(ch.eye, 0.3f));
      c.Fill(Circle(ex - 3, eyeY - 3, 2.2f), kWhite);
      c.Fill(Ring(Ellipse(ex, eyeY, 10, eyeOpen), 1.2f), Scale(ch.hair, 0.4f));
    }
    // Brows tell the mood.
    float inner = eyeY - 20 + (pose == 2 ? 6 : pose == 4 || pose == 6 ? -5 : 0);
    float outer = eyeY - 20 + (pose == 2 ? -3 : pose == 4 || pose == 6 ? 4 : 0);
    c.Fill(Capsule(cx + s * 12, inner, cx + s * 32, outer, 2.0f), Scale(ch.hair, 0.5f));
  }
  // Mouth.
  float my = headY + 38;
  switch (pose) {
    case 1: case 5:
      c.Fill(Cut(Ellipse(cx, my - 2, 11, 8), Box(cx - 12, my - 12, cx + 12, my - 2)), Hex(0xa03040));
      break;
    case 2: c.Fill(Capsule(cx - 9, my + 2, cx + 9, my - 1, 1.8f), Hex(0x803030)); break;
    case 3: c.Fill(Ellipse(cx, my + 1, 6, 8), Hex(0x803040)); break;
    case 4: case 6:
      c.Fill(Ring(Cut(Ellipse(cx, my + 6, 9, 6), Box(cx - 10, my + 6, cx + 10, my + 14)), 1.4f), Hex(0x803030));
      break;
    case 7: c.Fill(Ellipse(cx, my, 8, 5), Hex(0x903040)); break;
    default: c.Fill(Capsule(cx - 7, my, cx + 7, my, 1.6f), Hex(0xa04050)); break;
  }
  if (pose == 1 || pose == 3) {  // blush
    for (float s : {-1.0f, 1.0f}) c.Fill(Ellipse(cx + s * 32, eyeY + 18, 9, 4), Hex(0xff8090, 0.5f));
  }
  if (pose == 6) c.Fill(Ellipse(cx + 48, headY - 12, 5, 9), Hex(0x80c0ff, 0.8f));  // sweat drop
  // Accessory.
  float top = headY - headR - 4;
  switch (ch.accessory) {
    case 0:
      for (float s : {-1.0f, 1.0f}) c.Fill(Ellipse(cx + s * 30, top + 4, 30, 16, s * 20), Hex(0xe02030));
      c.Fill(Circle(cx, top + 4, 10), Hex(0xffffff));
      break;
    case 1:
      c.Fill(Ellipse(cx, top + 18, 100, 18), Scale(ch.dress, 0.6f));
      c.Fill(Polygon({cx - 50, top + 16, cx + 50, top + 16, cx + 30, top - 80}), Scale(ch.dress, 0.6f));
      c.Fill(Box(cx - 50, top + 4, cx + 50, top + 14), ch.accent);
      break;
    case 2:
      for (float s : {-1.0f, 1.0f})
        c.Fill(Polygon({cx + s * 24, top + 18, cx + s * 46, top + 10, cx + s * 58, top - 46}), Hex(0xe0d0a8));
      break;
    case 3: c.Fill(Ring(Ellipse(cx, top - 18, 50, 12), 4), Hex(0xfff080)); break;
    case 4:
      c.Fill(Polygon({cx - 40, top + 14, cx - 40, top - 18, cx - 20, top - 2, cx, top - 28, cx + 20, top - 2,
                      cx + 40, top - 18, cx + 40, top + 14}),
             Hex(0xffd040));
      c.Fill(Circle(cx, top + 2, 6), Hex(0xe02060));
      break;
    case 5:
      c.Fill(Cut(Circle(cx, headY, headR + 16), Ellipse(cx, headY + 14, headR - 2, headR + 6)), Scale(ch.dress, 0.55f));
      break;
    case 6:
      c.Fill(Star(cx + 40, top + 18, 5, 22, 11), kWhite);
      c.Fill(Circle(cx + 40, top + 18, 7), Hex(0xffd040));
      break;
    case 7:
      for (float s : {-1.0f, 1.0f}) {
        c.Fill(Capsule(cx + s * 12, top + 6, cx + s * 40, top - 50, 3), Scale(ch.hair, 0.5f));
        c.Glow(cx + s * 40, top - 50, 16, Hex(0xe0ff80), 1.0f);
      }
      break;
  }
}

void MakePortraits(const std::string& dir, bool& ok) {
  for (int kind = 0; kind < kPortraitKinds; ++kind) {
    Canvas c(kPortraitW * 4, kPortraitH * 2);
    for (int pose = 0; pose < kPortraitPoses; ++pose) {
      SheetCell cell = PortraitCell(pose);
      c.SetCell(cell.x, cell.y, cell.w, cell.h);
      Portrait(c, kCharacters[kind], pose);
    }
    char name[32];
    std::snprintf(name, sizeof name, "tatie%d.png", kind);
    ok &= Save(c, dir, name);
  }
}

// ---------------------------------------------------------------------------
// Backgrounds: dark and calm, so that bullets stay the brightest things in F.

void NoiseLayer(Canvas& c, Rgba a, Rgba b, int period, float scale, uint32_t seed) {
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) {
      float n = 0.65f * TileNoise(x * period / scale / c.height() * 1.0f, y * period / float(c.height()), period, seed) +
                0.35f * TileNoise(x * period * 2 / scale / c.height() * 1.0f, y * period * 2 / float(c.height()), period * 2, seed + 7);
      c.Blend(x, y, Mix(a, b, n), 1);
    }
}

void Background(Canvas& c, int theme) {
  Dice dice(100 + theme);
  int W = c.width(), H = c.height();
  c.SetWrapY(true);
  switch (theme) {
    case 1:  // forest path at night
      NoiseLayer(c, Hex(0x0c2210), Hex(0x1c3a1c), 8, 1, 11);
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
          if (std::fabs(x - W / 2.0f - 40 * std::sin(y * 2 * 3.14159f / H)) < 45)
            c.Blend(x, y, Hex(0x3a3020, 0.7f), 1);
      for (int i = 0; i < 28; ++i) {
        float x = dice.Unit() < 0.5f ? dice.Range(0, 110) : dice.Range(W - 110, W), y = dice.Range(0, H), r = dice.Range(22, 40);
        c.Fill(Circle(x, y, r), Hex(0x0a1a0c, 0.9f));
        c.Fill(Circle(x - r * 0.2f, y - r * 0.2f, r * 0.7f), Hex(0x18341a, 0.8f));
      }
      break;
    case 2:  // misty lake
      NoiseLayer(c, Hex(0x0c1c38), Hex(0x1a3058), 8, 1, 21);
      for (int i = 0; i < 18; ++i) {
        float x = dice.Range(20, W - 20), y = dice.Range(0, H);
        c.Fill(Ring(Ellipse(x, y, dice.Range(14, 30), dice.Range(5, 9)), 0.8f), Hex(0x6080b0, 0.35f));
      }
      for (int i = 0; i < 10; ++i) {
        float x = dice.Range(10, W - 10), y = dice.Range(0, H);
        c.Fill(Cut(Ellipse(x, y, 16, 10), Polygon({x, y, x + 20, y - 6, x + 20, y + 2})), Hex(0x1e4a2a, 0.85f));
      }
      break;
    case 3:  // bamboo grove
      NoiseLayer(c, Hex(0x102414), Hex(0x203a20), 8, 1, 31);
      for (int i = 0; i < 14; ++i) {
        float x = dice.Range(0, W), w = dice.Range(6, 12);
        Rgba col = Mix(Hex(0x2a5a2a), Hex(0x406a30), dice.Unit());
        c.Fill(Box(x - w / 2, 0, x + w / 2, H), WithAlpha(col, 0.8f));
        for (int k = 0; k < 4; ++k) c.Fill(Box(x - w / 2 - 1, k * H / 4.0f, x + w / 2 + 1, k * H / 4.0f + 3), Hex(0x1a3a18, 0.9f));
      }
      break;
    case 4:  // mansion corridor: tiles and a carpet
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          bool dark = ((x / 32) + (y / 32)) % 2;
          c.Blend(x, y, dark ? Hex(0x2a1e1a) : Hex(0x3a2c24), 1);
        }
      c.Fill(Box(W / 2.0f - 70, 0, W / 2.0f + 70, H), Hex(0x5a1418, 0.85f));
      c.Fill(Box(W / 2.0f - 62, 0, W / 2.0f - 58, H), Hex(0xa08030, 0.6f));
      c.Fill(Box(W / 2.0f + 58, 0, W / 2.0f + 62, H), Hex(0xa08030, 0.6f));
      break;
    case 5:  // above the clouds at dusk
      NoiseLayer(c, Hex(0x202850), Hex(0x403060), 4, 1, 51);
      for (int i = 0; i < 22; ++i)
        c.Glow(dice.Range(0, W), dice.Range(0, H), dice.Range(30, 60), Hex(0x9080a8, 0.35f), 1.5f, false);
      break;
    case 6:  // moonlit stone palace
      NoiseLayer(c, Hex(0x141428), Hex(0x242040), 8, 1, 61);
      for (int y = 0; y < H; y += 64)
        c.Fill(Box(-1, y, W + 1, y + 2), Hex(0x3a3660, 0.8f));
      for (int i = 0; i < 8; ++i) {
        float x = i % 2 ? 30 : W - 30, y = i * H / 8.0f;
        c.Fill(Box(x - 8, y, x + 8, y + 22, 3), Hex(0x804020));
        c.Glow(x, y + 11, 26, Hex(0xffa040, 0.5f), 2.0f);
      }
      break;
    case 7:  // Extra: starfield and nebula
      NoiseLayer(c, Hex(0x050510), Hex(0x2a1040), 4, 1, 71);
      for (int i = 0; i < 140; ++i) {
        float x = dice.Range(0, W), y = dice.Range(0, H), b = dice.Range(0.3f, 0.9f);
        c.Fill(Circle(x, y, dice.Range(0.5f, 1.3f)), Hex(0xffffff, b));
      }
      break;
    default:  // spell background: a deep field of turning circles
      NoiseLayer(c, Hex(0x180828), Hex(0x301048), 4, 1, 81);
      for (int k = 0; k < 2; ++k) {
        float y = k * H / 2.0f + H / 4.0f;
        c.Fill(Ring(Circle(W / 2.0f, y, 110), 2), Hex(0x8060c0, 0.45f));
        c.Fill(Ring(Circle(W / 2.0f, y, 90), 1), Hex(0x8060c0, 0.35f));
        c.Fill(Ring(Star(W / 2.0f, y, 6, 108, 55), 1.2f), Hex(0xa070e0, 0.35f));
      }
      break;
  }
  c.SetWrapY(false);
}

void MakeBackgrounds(const std::string& dir, bool& ok) {
  const char* names[8] = {"back1.png", "back2.png", "back3.png", "back4.png",
                          "back5.png", "back6.png", "backex.png", "spellback.png"};
  for (int t = 0; t < 8; ++t) {
    Canvas c(kBackgroundW, kBackgroundH);
    Background(c, t + 1);
    ok &= Save(c, dir, names[t]);
  }
}

// ---------------------------------------------------------------------------
// Screens, frame, HUD, notices, banner

TextStyle Style(float size, Rgba colour, Face face = Face::SansBold, Align align = Align::Centre) {
  TextStyle s;
  s.size = size, s.colour = colour, s.face = face, s.align = align;
  s.outline = Hex(0x000000, 0.9f);
  s.outlineWidth = size >= 20 ? 2 : 1;
  return s;
}

void Moon(Canvas& c, float x, float y, float r) {
  c.Glow(x, y, r * 2.2f, Hex(0xfff0c0, 0.35f), 2.0f);
  c.Fill(Circle(x, y, r), Hex(0xfff4d8));
  c.Fill(Circle(x + r * 0.3f, y - r * 0.2f, r * 0.18f), Hex(0xe8dcc0));
  c.Fill(Circle(x - r * 0.35f, y + r * 0.3f, r * 0.12f), Hex(0xe8dcc0));
}

void MakeScreens(const std::string& dir, bool& ok) {
  {  // title
    Canvas c(kScreenW, kScreenH);
    c.VerticalGradient(Hex(0x080820), Hex(0x402050));
    Dice dice(7);
    for (int i = 0; i < 120; ++i)
      c.Fill(Circle(dice.Range(0, 640), dice.Range(0, 300), dice.Range(0.5f, 1.4f)), Hex(0xffffff, dice.Range(0.3f, 1)));
    Moon(c, 500, 110, 60);
    c.Fill(Polygon({0, 480, 0, 380, 120, 330, 260, 390, 400, 340, 640, 400, 640, 480}), Hex(0x140c20));
    DrawText(c, 320, 170, "Veiled Lunar Mirage", Style(48, Hex(0xffe8f0), Face::SerifBoldItalic));
    DrawText(c, 320, 205, "a danmaku shooting game", Style(18, Hex(0xc0b0e0), Face::Serif));
    ok &= Save(c, dir, "title.png");
  }
  {  // frame: F transparent, a thin light line around it
    Canvas c(kScreenW, kScreenH);
    for (int y = 0; y < kScreenH; ++y)
      for (int x = 0; x < kScreenW; ++x) {
        float n = TileNoise(x / 24.0f, y / 24.0f, 64, 3);
        c.Blend(x, y, Mix(Hex(0x181030), Hex(0x2c1c48), n), 1);
      }
    for (int y = kFieldY; y < kFieldY + kFieldH; ++y)
      for (int x = kFieldX; x < kFieldX + kFieldW; ++x) c.At(x, y) = Rgba{0, 0, 0, 0};
    c.Fill(Ring(Box(kFieldX - 1.5f, kFieldY - 1.5f, kFieldX + kFieldW + 1.5f, kFieldY + kFieldH + 1.5f), 0.6f), Hex(0xc0a0e0));
    DrawText(c, 528, 430, "Veiled Lunar Mirage", Style(15, Hex(0xd0c0f0), Face::SerifBoldItalic));
    Moon(c, 528, 390, 14);
    // Opaque around a hole: drawn keyed, two bytes a pixel copied run by run.
    if (!c.WriteKeyedPng(dir + "/frame.png")) {
      std::fprintf(stderr, "assetgen: cannot write %s/frame.png as keyed art\n", dir.c_str());
      ok = false;
    }
  }
  {  // staff roll background
    Canvas c(kScreenW, kScreenH);
    c.VerticalGradient(Hex(0x060614), Hex(0x201838));
    Dice dice(9);
    for (int i = 0; i < 200; ++i)
      c.Fill(Circle(dice.Range(0, 640), dice.Range(0, 480), dice.Range(0.4f, 1.2f)), Hex(0xffffff, dice.Range(0.2f, 0.8f)));
    Moon(c, 540, 90, 40);
    ok &= Save(c, dir, "staffroll.png");
  }
  {  // ending pictures: three kinds, four pages each
    Canvas c(kEndingW * kEndingPages, kEndingH * kEndingKinds);
    for (int kind = 1; kind <= kEndingKinds; ++kind)
      for (int page = 0; page < kEndingPages; ++page) {
        SheetCell cell = EndingCell(kind, page);
        c.SetCell(cell.x, cell.y, cell.w, cell.h);
        Rgba sky[3][2] = {{Hex(0x203870), Hex(0xf0a070)}, {Hex(0x101028), Hex(0x403060)}, {Hex(0x080010), Hex(0x502060)}};
        c.VerticalGradient(Mix(sky[kind - 1][0], kBlack, page * 0.12f), Mix(sky[kind - 1][1], kBlack, page * 0.12f));
        Moon(c, 60 + page * 60, 60, 24);
        Dice dice(kind * 10 + page);
        float ground = 170;
        std::vector<float> hill = {0, float(kEndingH)};
        for (int x = 0; x <= 320; x += 40) hill.insert(hill.end(), {float(x), ground + dice.Range(-20, 10)});
        hill.insert(hill.end(), {320, float(kEndingH)});
        c.Fill(Polygon(hill), Hex(0x101018));
        // The two heroines under the moon with one of those they met.
        SmallFigure(c, 110, ground - 50, 48, kCharacters[0], 0, 0, false, false);
        SmallFigure(c, 150, ground - 50, 48, kCharacters[7], 0, 0, false, false);
        SmallFigure(c, 215, ground - 52, 50, kCharacters[1 + (page + kind) % 6], 0, 0, page == 3, false);
      }
    ok &= Save(c, dir, "ending.png");
  }
  {  // conversation box
    Canvas c(kDialogW, kDialogH);
    c.Fill(Box(0, 0, kDialogW, kDialogH, 8), Hex(0x0a0820, 0.75f));
    c.Fill(Ring(Box(1.5f, 1.5f, kDialogW - 1.5f, kDialogH - 1.5f, 7), 0.8f), Hex(0xc0b0f0, 0.9f));
    ok &= Save(c, dir, "dialog.png");
  }
}

void MakeLabels(const std::string& dir, bool& ok) {
  {  // HUD labels and stars
    Canvas c(kHudW, kHudH);
    const char* labels[kHudLabelCount] = {"Easy", "Normal", "Hard", "Lunatic", "Extra", "HiScore",
                                          "Score", "Player", "Bomb", "Power", "Graze", "Point"};
    const Rgba colours[kHudLabelCount] = {Hex(0x80ff80), Hex(0x80c0ff), Hex(0xffc060), Hex(0xff80c0),
                                          Hex(0xd080ff), Hex(0xe0e0ff), Hex(0xffffff), Hex(0xff9090),
                                          Hex(0x90ff90), Hex(0xffb060), Hex(0xc0c0c0), Hex(0x80b0ff)};
    for (int i = 0; i < kHudLabelCount; ++i) {
      SheetCell cell = HudLabelCell(i);
      c.SetCell(cell.x, cell.y, cell.w, cell.h);
      TextStyle st = Style(15, colours[i], i < 5 ? Face::SerifBoldItalic : Face::SansBold, i < 5 ? Align::Centre : Align::Left);
      DrawTextInBox(c, 0, 0, cell.w, cell.h, labels[i], st);
    }
    for (SheetCell cell : {kHudLifeStar, kHudBombStar}) {
      c.SetCell(cell.x, cell.y, cell.w, cell.h);
      Rgba col = cell.x == 0 ? Hex(0xff6080) : Hex(0x60e080);
      c.Fill(Star(8, 8.5f, 5, 7.5f, 3.2f), Scale(col, 0.4f));
      c.Fill(Star(8, 8.5f, 5, 6.2f, 2.6f), col);
    }
    ok &= Save(c, dir, "hud.png");
  }
  {  // digits: big (notices), status timer, mini (banner)
    Canvas big(kBigDigitW * 10, kBigDigitH);
    Canvas status(kStatusW, kStatusH);
    for (int d = 0; d < 10; ++d) {
      std::string s(1, char('0' + d));
      SheetCell cell = BigDigitCell(d);
      big.SetCell(cell.x, cell.y, cell.w, cell.h);
      DrawTextInBox(big, 0, 0, cell.w, cell.h, s, Style(22, Hex(0xfff0a0), Face::SansBold));
      cell = StatusDigitCell(d);
      status.SetCell(cell.x, cell.y, cell.w, cell.h);
      DrawTextInBox(status, 0, 0, cell.w, cell.h, s, Style(22, Hex(0xffffff), Face::SansBold));
    }
    ok &= Save(big, dir, "bignum.png");
    status.SetCell(kStatusLifeBar.x, kStatusLifeBar.y, kStatusLifeBar.w, kStatusLifeBar.h);
    status.Clear(Hex(0xf0f0ff));
    status.SetCell(kStatusLifeSplit.x, kStatusLifeSplit.y, kStatusLifeSplit.w, kStatusLifeSplit.h);
    status.Clear(Hex(0xff6060));
    status.SetCell(kStatusStar.x, kStatusStar.y, kStatusStar.w, kStatusStar.h);
    status.Fill(Star(4, 4.3f, 5, 4, 1.7f), Hex(0xffe060));
    ok &= Save(status, dir, "bossstatus.png");
    Canvas mini(kMiniDigitW * kMiniDigits, kMiniDigitH);
    for (int d = 0; d < kMiniDigits; ++d) {
      SheetCell cell = MiniDigitCell(d);
      mini.SetCell(cell.x, cell.y, cell.w, cell.h);
      TextStyle st = Style(15, Hex(0xffffff), Face::SansBold);
      DrawTextInBox(mini, 0, 0, cell.w, cell.h, d < 10 ? std::string(1, char('0' + d)) : "/", st);
    }
    ok &= Save(mini, dir, "mini_num.png");
  }
  // One-line labels and notices.
  struct Label {
    const char* file;
    int w, h;
    const char* text;
    Rgba colour;
    Face face;
  };
  const Label labels[] = {
      {"ef_bonus.png", kBonusLabelW, kBannerLabelH, "Bonus", Hex(0xffe080), Face::SansBold},
      {"ef_failed.png", kFailedLabelW, kBannerLabelH, "Failed", Hex(0xff8080), Face::SansBold},
      {"ef_history.png", kHistoryLabelW, kBannerLabelH, "History", Hex(0xc0e0ff), Face::SansBold},
      {"stageclear.png", kStageClearW, kStageClearH, "Stage Clear!", Hex(0xfff0a0), Face::SerifBoldItalic},
      {"capture.png", kCaptureW, kCaptureH, "Spell Card Bonus!", Hex(0xa0ffc0), Face::SerifBoldItalic},
      {"bonusfailed.png", kBonusFailedW, kBonusFailedH, "Bonus Failed...", Hex(0xff9090), Face::SerifBoldItalic},
  };
  for (const Label& l : labels) {
    Canvas c(l.w, l.h);
    TextStyle st = Style(float(l.h), l.colour, l.face);
    DrawTextInBox(c, 0, 0, l.w, l.h, l.text, st);
    ok &= Save(c, dir, l.file);
  }
  {
    Canvas c(kItemLineW, kItemLineH);
    c.Fill(Box(0, kItemLineH - 3, kItemLineW, kItemLineH - 1), Hex(0x80ffff, 0.7f));
    DrawTextInBox(c, 0, 0, kItemLineW, kItemLineH - 3, "Item Get Border Line", Style(14, Hex(0xc0ffff), Face::SansBold));
    ok &= Save(c, dir, "itemline.png");
  }
  {  // the card banner's name bar: bright at the right, fading to the left
    Canvas c(kNameBarW, kNameBarH);
    for (int y = 0; y < kNameBarH; ++y)
      for (int x = 0; x < kNameBarW; ++x) {
        float t = float(x) / kNameBarW, edge = 1 - std::fabs(y + 0.5f - kNameBarH / 2.0f) / (kNameBarH / 2.0f);
        c.Blend(x, y, Mix(Hex(0x6020a0), Hex(0xffa0e0), t), std::min(1.0f, edge * 1.6f) * (0.3f + 0.7f * t));
      }
    ok &= Save(c, dir, "ef_spell2.png");
  }
  {  // stage title, number and place sheets
    const char* titles[kStageRows] = {"Lanterns on the Night Road", "Mist over Still Water",
                                      "The Whispering Grove",       "Halls of the Red Mansion",
                                      "Above the Dusk Clouds",      "The Moonlit Palace",
                                      "Beyond the Mirage"};
    const char* places[kStageRows] = {"Forest Path at Dusk", "Lake of Mist",    "Bamboo Grove",
                                      "Scarlet Mansion",     "Sea of Clouds",   "Palace of the Moon",
                                      "Starlit Void"};
    Canvas t(kStageTitleW, kStageTitleH * kStageRows), n(kStageNumW, kStageNumH * kStageRows),
        p(kStagePlaceW, kStagePlaceH * kStageRows);
    for (int r = 0; r < kStageRows; ++r) {
      SheetCell cell = StageTitleCell(r);
      t.SetCell(cell.x, cell.y, cell.w, cell.h);
      DrawTextInBox(t, 0, 0, cell.w, cell.h, titles[r], Style(26, Hex(0xfff0f8), Face::SerifBoldItalic));
      cell = StageNumCell(r);
      n.SetCell(cell.x, cell.y, cell.w, cell.h);
      std::string num = r < 6 ? "STAGE " + std::to_string(r + 1) : "EXTRA STAGE";
      DrawTextInBox(n, 0, 0, cell.w, cell.h, num, Style(24, Hex(0xffe080), Face::SansBold));
      cell = StagePlaceCell(r);
      p.SetCell(cell.x, cell.y, cell.w, cell.h);
      DrawTextInBox(p, 0, 0, cell.w, cell.h, places[r], Style(17, Hex(0xc0d8ff), Face::Serif));
    }
    ok &= Save(t, dir, "stagetitle.png");
    ok &= Save(n, dir, "stagenum.png");
    ok &= Save(p, dir, "stageplace.png");
  }
  {  // boss names by kind
    Canvas c(kBossNameW, kBossNameH * kBossNameRows);
    for (int k = 0; k < kBossNameRows; ++k) {
      SheetCell cell = BossNameCell(k);
      c.SetCell(cell.x, cell.y, cell.w, cell.h);
      TextStyle st = Style(18, Mix(kCharacters[k].accent, kWhite, 0.4f), Face::SerifBoldItalic, Align::Left);
      DrawTextInBox(c, 0, 0, cell.w, cell.h, kCharacters[k].name, st);
    }
    ok &= Save(c, dir, "bossname.png");
  }
}

}  // namespace

bool GenerateImages(const std::string& dir) {
  if (!InitFonts()) return false;
  bool ok = true;
  MakeBullets(dir, ok);
  MakeItems(dir, ok);
  MakeEffects(dir, ok);
  MakePlayers(dir, ok);
  MakeEnemies(dir, ok);
  MakeBosses(dir, ok);
  MakePortraits(dir, ok);
  MakeBackgrounds(dir, ok);
  MakeScreens(dir, ok);
  MakeLabels(dir, ok);
  return ok;
}
