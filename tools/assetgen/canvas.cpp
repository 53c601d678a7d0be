#include "tools/assetgen/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

namespace {
constexpr float kDegToRad = 3.14159265f / 180.0f;
float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
}  // namespace

Rgba Mix(Rgba a, Rgba b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
          a.a + (b.a - a.a) * t};
}
Rgba WithAlpha(Rgba c, float a) { return {c.r, c.g, c.b, a}; }
Rgba Scale(Rgba c, float k) {
  if (k <= 1) return {c.r * k, c.g * k, c.b * k, c.a};
  float t = k - 1;
  return {c.r + (1 - c.r) * t, c.g + (1 - c.g) * t, c.b + (1 - c.b) * t, c.a};
}

// ---------------------------------------------------------------------------
// Shapes

Shape Circle(float cx, float cy, float r) {
  return {[=](float x, float y) { return std::hypot(x - cx, y - cy) - r; }, cx - r, cy - r,
          cx + r, cy + r};
}

Shape Ellipse(float cx, float cy, float rx, float ry, float turnDeg) {
  float c = std::cos(turnDeg * kDegToRad), s = std::sin(turnDeg * kDegToRad);
  float m = std::max(rx, ry);
  return {[=](float x, float y) {
            float dx = x - cx, dy = y - cy;
            float u = dx * c + dy * s, v = -dx * s + dy * c;
            float k = std::hypot(u / rx, v / ry);
            return (k - 1) * std::min(rx, ry);
          },
          cx - m, cy - m, cx + m, cy + m};
}

Shape Box(float x0, float y0, float x1, float y1, float corner) {
  float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, hx = (x1 - x0) / 2 - corner,
        hy = (y1 - y0) / 2 - corner;
  return {[=](float x, float y) {
            float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
            float out = std::hypot(std::max(qx, 0.f), std::max(qy, 0.f));
            return out + std::min(std::max(qx, qy), 0.f) - corner;
          },
          x0, y0, x1, y1};
}

Shape Capsule(float ax, float ay, float bx, float by, float r) {
  return {[=](float x, float y) {
            float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
            float len2 = dx * dx + dy * dy;
            float h = len2 > 0 ? Clamp01((px * dx + py * dy) / len2) : 0;
            return std::hypot(px - dx * h, py - dy * h) - r;
          },
          std::min(ax, bx) - r, std::min(ay, by) - r, std::max(ax, bx) + r, std::max(ay, by) + r};
}

Shape Polygon(std::vector<float> v) {
  float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
  for (size_t i = 0; i + 1 < v.size(); i += 2) {
    x0 = std::min(x0, v[i]), x1 = std::max(x1, v[i]);
    y0 = std::min(y0, v[i + 1]), y1 = std::max(y1, v[i + 1]);
  }
  size_t n = v.size() / 2;
  return {[v, n](float x, float y) {
            // Distance to the nearest edge, signed by the even-odd rule.
            float d = 1e9f;
            bool inside = false;
            for (size_t i = 0, j = n - 1; i < n; j = i++) {
              float xi = v[2 * i], yi = v[2 * i + 1], xj = v[2 * j], yj = v[2 * j + 1];
              float ex = xj - xi, ey = yj - yi, wx = x - xi, wy = y - yi;
              float h = Clamp01((wx * ex + wy * ey) / (ex * ex + ey * ey));
              d = std::min(d, std::hypot(wx - ex * h, wy - ey * h));
              if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
                inside = !inside;
            }
            return inside ? -d : d;
          },
          x0, y0, x1, y1};
}

Shape Star(float cx, float cy, int points, float outer, float inner, float turnDeg) {
  std::vector<float> v;
  for (int i = 0; i < points * 2; ++i) {
    float a = (turnDeg + 180.0f * i / points) * kDegToRad;
    float r = i % 2 ? inner : outer;
    v.push_back(cx + r * std::sin(a));
    v.push_back(cy - r * std::cos(a));
  }
  return Polygon(v);
}

Shape Ring(const Shape& s, float halfWidth) {
  auto d = s.dist;
  return {[d, halfWidth](float x, float y) { return std::fabs(d(x, y)) - halfWidth; },
          s.x0 - halfWidth, s.y0 - halfWidth, s.x1 + halfWidth, s.y1 + halfWidth};
}

Shape Cut(const Shape& s, const Shape& hole) {
  auto a = s.dist, b = hole.dist;
  return {[a, b](float x, float y) { return std::max(a(x, y), -b(x, y)); }, s.x0, s.y0, s.x1,
          s.y1};
}

Shape Moved(const Shape& s, float dx, float dy) {
  auto d = s.dist;
  return {[d, dx, dy](float x, float y) { return d(x - dx, y - dy); }, s.x0 + dx, s.y0 + dy,
          s.x1 + dx, s.y1 + dy};
}

// ---------------------------------------------------------------------------
// Canvas

Canvas::Canvas(int w, int h) : w_(w), h_(h), px_(size_t(w) * h, Rgba{0, 0, 0, 0}), cw_(w), ch_(h) {}

void Canvas::SetCell(int x, int y, int w, int h) { cx_ = x, cy_ = y, cw_ = w, ch_ = h; }
void Canvas::ResetCell() { SetCell(0, 0, w_, h_); }

void Canvas::Blend(int x, int y, Rgba c, float cover) {
  if (x < 0 || y < 0 || x >= cw_ || y >= ch_) return;
  float a = Clamp01(c.a * cover);
  if (a <= 0) return;
  Rgba& d = At(cx_ + x, cy_ + y);
  float out = a + d.a * (1 - a);
  if (out <= 0) return;
  float k = d.a * (1 - a);
  d = {(c.r * a + d.r * k) / out, (c.g * a + d.g * k) / out, (c.b * a + d.b * k) / out, out};
}

void Canvas::Add(int x, int y, Rgba c, float cover) {
  if (x < 0 || y < 0 || x >= cw_ || y >= ch_) return;
  float a = Clamp01(c.a * cover);
  if (a <= 0) return;
  Rgba& d = At(cx_ + x, cy_ + y);
  // Light adds to the colour; on a transparent pixel it becomes the light itself.
  float out = std::min(1.0f, d.a + a);
  d.r = Clamp01((d.r * d.a + c.r * a) / out);
  d.g = Clamp01((d.g * d.a + c.g * a) / out);
  d.b = Clamp01((d.b * d.a + c.b * a) / out);
  d.a = out;
}

void Canvas::Cover(const Shape& s, const std::function<void(int, int, float)>& put) {
  int x0 = std::max(0, int(std::floor(s.x0)) - 1), x1 = std::min(cw_ - 1, int(std::ceil(s.x1)) + 1);
  int y0 = int(std::floor(s.y0)) - 1, y1 = int(std::ceil(s.y1)) + 1;
  if (!wrapY_) y0 = std::max(0, y0), y1 = std::min(ch_ - 1, y1);
  for (int y = y0; y <= y1; ++y) {
    int ty = wrapY_ ? ((y % ch_) + ch_) % ch_ : y;
    for (int x = x0; x <= x1; ++x) {
      float cover = Clamp01(0.5f - s.dist(x + 0.5f, y + 0.5f));
      if (cover > 0) put(x, ty, cover);
    }
  }
}

void Canvas::Fill(const Shape& s, Rgba c) {
  Cover(s, [&](int x, int y, float k) { Blend(x, y, c, k); });
}
void Canvas::FillAdd(const Shape& s, Rgba c) {
  Cover(s, [&](int x, int y, float k) { Add(x, y, c, k); });
}
void Canvas::Paint(const Shape& s, const std::function<Rgba(float, float)>& colour) {
  Cover(s, [&](int x, int y, float k) { Blend(x, y, colour(x + 0.5f, y + 0.5f), k); });
}

void Canvas::Glow(float cx, float cy, float r, Rgba c, float falloff, bool additive) {
  Shape s = Circle(cx, cy, r);
  s.dist = [=](float x, float y) {
    float d = std::hypot(x - cx, y - cy);
    return d < r ? -1.0f : 1.0f;
  };
  Cover(s, [&](int x, int y, float) {
    float yy = y;
    if (wrapY_) {  // nearest copy of the centre
      float dy = yy + 0.5f - cy;
      dy -= std::round(dy / ch_) * ch_;
      yy = cy + dy - 0.5f;
    }
    float d = std::hypot(x + 0.5f - cx, yy + 0.5f - cy) / r;
    if (d >= 1) return;
    float k = std::pow(1 - d, falloff);
    if (additive)
      Add(x, y, c, k);
    else
      Blend(x, y, c, k);
  });
}

void Canvas::VerticalGradient(Rgba top, Rgba bottom) {
  for (int y = 0; y < ch_; ++y)
    for (int x = 0; x < cw_; ++x) Blend(x, y, Mix(top, bottom, (y + 0.5f) / ch_), 1);
}

void Canvas::Clear(Rgba c) {
  for (int y = 0; y < ch_; ++y)
    for (int x = 0; x < cw_; ++x) At(cx_ + x, cy_ + y) = c;
}

bool Canvas::WritePng(const std::string& path) const { return Write(path, false); }

bool Canvas::WriteKeyedPng(const std::string& path) const {
  for (const Rgba& p : px_) {
    const float a = Clamp01(p.a);
    if (a > 0 && a < 1) return false;
  }
  return Write(path, true);
}

bool Canvas::Write(const std::string& path, bool keyed) const {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  const int channels = keyed ? 3 : 4;
  png_set_IHDR(png, info, w_, h_, 8, keyed ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 6);
  png_write_info(png, info);
  std::vector<uint8_t> row(size_t(w_) * channels);
  for (int y = 0; y < h_; ++y) {
    for (int x = 0; x < w_; ++x) {
      const Rgba& p = At(x, y);
      float a = Clamp01(p.a);
      uint8_t* out = &row[size_t(x) * channels];
      out[0] = uint8_t(std::lround(Clamp01(p.r) * 255 * (a > 0)));
      out[1] = uint8_t(std::lround(Clamp01(p.g) * 255 * (a > 0)));
      out[2] = uint8_t(std::lround(Clamp01(p.b) * 255 * (a > 0)));
      if (!keyed) out[3] = uint8_t(std::lround(a * 255));
      else if (a > 0 && out[0] < 8 && out[1] < 4 && out[2] < 8) out[0] = 8;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

// ---------------------------------------------------------------------------
// Text

namespace {
FT_Library g_ft = nullptr;
FT_Face g_faces[5] = {};
const char* const kFontFiles[5] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif-BoldItalic.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf",
};

std::vector<uint32_t> DecodeUtf8(const std::string& s) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < s.size();) {
    uint8_t c = uint8_t(s[i]);
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (int k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (uint8_t(s[i + k]) & 0x3F);
    out.push_back(cp);
    i += n;
  }
  return out;
}

FT_Face FaceFor(const TextStyle& st) {
  FT_Face f = g_faces[int(st.face)];
  FT_Set_Pixel_Sizes(f, 0, FT_UInt(std::max(1.0f, st.size)));
  return f;
}

// Calls put(glyph bitmap, left, top) for every glyph with the pen starting at x.
template <class Put>
int RunText(const std::string& utf8, const TextStyle& st, Put put) {
  FT_Face f = FaceFor(st);
  int pen = 0;
  FT_UInt prev = 0;
  for (uint32_t cp : DecodeUtf8(utf8)) {
    FT_UInt gi = FT_Get_Char_Index(f, cp);
    if (prev && gi && FT_HAS_KERNING(f)) {
      FT_Vector k;
      FT_Get_Kerning(f, prev, gi, FT_KERNING_DEFAULT, &k);
      pen += int(k.x >> 6);
    }
    if (FT_Load_Glyph(f, gi, FT_LOAD_RENDER) != 0) continue;
    put(f->glyph->bitmap, pen + f->glyph->bitmap_left, f->glyph->bitmap_top);
    pen += int(f->glyph->advance.x >> 6);
    prev = gi;
  }
  return pen;
}
}  // namespace

bool InitFonts() {
  if (g_ft) return true;
  if (FT_Init_FreeType(&g_ft) != 0) return false;
  for (int i = 0; i < 5; ++i)
    if (FT_New_Face(g_ft, kFontFiles[i], 0, &g_faces[i]) != 0) {
      std::fprintf(stderr, "assetgen: cannot open font %s\n", kFontFiles[i]);
      return false;
    }
  return true;
}

int TextWidth(const std::string& utf8, const TextStyle& style) {
  return RunText(utf8, style, [](const FT_Bitmap&, int, int) {});
}

void DrawText(Canvas& c, float x, float y, const std::string& utf8, const TextStyle& st) {
  int w = TextWidth(utf8, st);
  int left = int(std::lround(st.align == Align::Left ? x : st.align == Align::Centre ? x - w / 2.0f : x - w));
  int base = int(std::lround(y));
  auto stamp = [&](Rgba colour, float spread) {
    RunText(utf8, st, [&](const FT_Bitmap& bm, int gx, int gy) {
      for (unsigned r = 0; r < bm.rows; ++r)
        for (unsigned col = 0; col < bm.width; ++col) {
          float k = bm.buffer[r * bm.pitch + col] / 255.0f;
          if (k <= 0) continue;
          int px = left + gx + int(col), py = base - gy + int(r);
          if (spread <= 0) {
            c.Blend(px, py, colour, k);
            continue;
          }
          int s = int(std::ceil(spread));
          for (int dy = -s; dy <= s; ++dy)
            for (int dx = -s; dx <= s; ++dx)
              if (dx * dx + dy * dy <= spread * spread + 0.5f) c.Blend(px + dx, py + dy, colour, k * 0.6f);
        }
    });
  };
  if (st.outline.a > 0 && st.outlineWidth > 0) stamp(st.outline, st.outlineWidth);
  stamp(st.colour, 0);
}

void DrawTextInBox(Canvas& c, float x, float y, float w, float h, const std::string& utf8,
                   TextStyle st) {
  while (st.size > 6 && (TextWidth(utf8, st) + 2 * st.outlineWidth > w || st.size > h * 0.8f))
    st.size -= 1;
  FT_Face f = FaceFor(st);
  float ascent = f->size->metrics.ascender / 64.0f, descent = -f->size->metrics.descender / 64.0f;
  float base = y + (h - (ascent + descent)) / 2 + ascent;
  float ax = st.align == Align::Left ? x + st.outlineWidth
             : st.align == Align::Centre ? x + w / 2
                                         : x + w - st.outlineWidth;
  DrawText(c, ax, base, utf8, st);
}

// ---------------------------------------------------------------------------
// Noise

float TileNoise(float x, float y, int period, uint32_t seed) {
  auto hash = [&](int ix, int iy) {
    ix = ((ix % period) + period) % period;
    iy = ((iy % period) + period) % period;
    uint32_t h = uint32_t(ix) * 374761393u + uint32_t(iy) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return float((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
  };
  int ix = int(std::floor(x)), iy = int(std::floor(y));
  float fx = x - ix, fy = y - iy;
  fx = fx * fx * (3 - 2 * fx), fy = fy * fy * (3 - 2 * fy);
  float a = hash(ix, iy), b = hash(ix + 1, iy), c = hash(ix, iy + 1), d = hash(ix + 1, iy + 1);
  return a + (b - a) * fx + (c - a) * fy + (a - b - c + d) * fx * fy;
}
