#pragma once
// A small RGBA canvas and the few drawing helpers every generated image is made of:
// shapes given as signed distance functions (anti-aliased by their distance), soft
// glows, gradients, FreeType text and PNG output.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Rgba {
  float r, g, b, a;
};
constexpr Rgba kWhite{1, 1, 1, 1}, kBlack{0, 0, 0, 1};
Rgba Mix(Rgba a, Rgba b, float t);
Rgba WithAlpha(Rgba c, float a);
Rgba Scale(Rgba c, float k);  // darker (k < 1) or lighter (k > 1), alpha kept

// A shape: distance to its edge in pixels (negative inside) and a bounding box.
struct Shape {
  std::function<float(float, float)> dist;
  float x0, y0, x1, y1;
};
Shape Circle(float cx, float cy, float r);
Shape Ellipse(float cx, float cy, float rx, float ry, float turnDeg = 0);
Shape Box(float x0, float y0, float x1, float y1, float corner = 0);
Shape Capsule(float ax, float ay, float bx, float by, float r);
Shape Polygon(std::vector<float> xy);
// An n-pointed star around (cx, cy); the first point at turnDeg (0 = up).
Shape Star(float cx, float cy, int points, float outer, float inner, float turnDeg = 0);
Shape Ring(const Shape& s, float halfWidth);  // the band around a shape's edge
Shape Cut(const Shape& s, const Shape& hole);  // s without hole
Shape Moved(const Shape& s, float dx, float dy);

class Canvas {
 public:
  Canvas(int w, int h);
  int width() const { return w_; }
  int height() const { return h_; }
  Rgba& At(int x, int y) { return px_[size_t(y) * w_ + x]; }
  const Rgba& At(int x, int y) const { return px_[size_t(y) * w_ + x]; }

  // Draws inside the clip only; a cell of a sheet is drawn with its clip and origin.
  void SetCell(int x, int y, int w, int h);
  void ResetCell();
  // Vertical wrap: shapes leaving the bottom come back at the top (seamless tiles).
  void SetWrapY(bool wrap) { wrapY_ = wrap; }

  void Blend(int x, int y, Rgba c, float cover);  // source over, in cell coordinates
  void Add(int x, int y, Rgba c, float cover);    // additive light

  void Fill(const Shape& s, Rgba c);
  void FillAdd(const Shape& s, Rgba c);
  // Shading by position: colour(x, y) inside the shape.
  void Paint(const Shape& s, const std::function<Rgba(float, float)>& colour);
  // Light falling off from the centre: alpha = (1 - d/r)^falloff.
  void Glow(float cx, float cy, float r, Rgba c, float falloff = 2.0f, bool additive = true);
  void VerticalGradient(Rgba top, Rgba bottom);
  void Clear(Rgba c);

  bool WritePng(const std::string& path) const;
  // Art that is either opaque or a hole, written without alpha: holes black, the colour
  // key of keyed graphs, and every opaque pixel nudged off black so that the key does
  // not punch it out (RGB565 black is anything below 8, 4, 8). False, and nothing
  // written, when a pixel is translucent.
  bool WriteKeyedPng(const std::string& path) const;

 private:
  bool Write(const std::string& path, bool keyed) const;
  void Cover(const Shape& s, const std::function<void(int, int, float)>& put);
  int w_, h_;
  std::vector<Rgba> px_;
  int cx_ = 0, cy_ = 0, cw_, ch_;
  bool wrapY_ = false;
};

// Text through FreeType with the fonts the build installs.
enum class Face { Sans, SansBold, Serif, SerifBoldItalic, Mono };
enum class Align { Left, Centre, Right };
struct TextStyle {
  Face face = Face::SansBold;
  float size = 16;          // pixel height of the em
  Rgba colour = kWhite;
  Rgba outline{0, 0, 0, 0};  // drawn around the glyphs when its alpha is above 0
  float outlineWidth = 0;
  Align align = Align::Left;
};
bool InitFonts();
int TextWidth(const std::string& utf8, const TextStyle& style);
// Draws with the baseline at y; x is the left, centre or right edge by the alignment.
void DrawText(Canvas& c, float x, float y, const std::string& utf8, const TextStyle& style);
// Draws the text centred in the rectangle (cell coordinates), shrinking it to fit.
void DrawTextInBox(Canvas& c, float x, float y, float w, float h, const std::string& utf8,
                   TextStyle style);

// Deterministic pseudo-random numbers for the generator (never the game's).
class Dice {
 public:
  explicit Dice(uint32_t seed) : s_(seed * 2654435761u + 12345u) {}
  uint32_t Next() {
    s_ = s_ * 1664525u + 1013904223u;
    uint32_t z = s_;
    z = (z ^ (z >> 16)) * 0x85EBCA6Bu;
    z ^= z >> 13;
    return z;
  }
  float Unit() { return float(Next() >> 8) / 16777216.0f; }  // [0, 1)
  float Range(float lo, float hi) { return lo + (hi - lo) * Unit(); }
  int Int(int n) { return int(Next() % uint32_t(n)); }

 private:
  uint32_t s_;
};

// Smooth value noise in [0, 1] that repeats every `period` cells along both axes.
float TileNoise(float x, float y, int period, uint32_t seed);
