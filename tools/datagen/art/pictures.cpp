// The show's pictures. Full-frame pictures are drawn stretched to 4:3 and at
// 80 % brightness while idle, so they use strong shapes and saturated colour;
// the flash and tile pictures are bright shapes on black, because they are
// added onto the frame; the text picture carries one line per dropping strip.

#include "art/pictures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "font5x7.h"

namespace {

struct Rgb {
  double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

class Canvas {
 public:
  Canvas(const char* name, int w, int h)
      : pic_{name, w, h, 3, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3)} {}

  int width() const { return pic_.width; }
  int height() const { return pic_.height; }

  Rgb get(int x, int y) const {
    const uint8_t* p = &pic_.pixels[(static_cast<size_t>(y) * pic_.width + x) * 3];
    return {p[0] / 255.0, p[1] / 255.0, p[2] / 255.0};
  }
  void set(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= pic_.width || y >= pic_.height) return;
    uint8_t* p = &pic_.pixels[(static_cast<size_t>(y) * pic_.width + x) * 3];
    p[0] = to8(c.r);
    p[1] = to8(c.g);
    p[2] = to8(c.b);
  }
  void blend(int x, int y, Rgb c, double alpha) {
    if (x < 0 || y < 0 || x >= pic_.width || y >= pic_.height || alpha <= 0) return;
    set(x, y, mix(get(x, y), c, std::min(alpha, 1.0)));
  }
  void add(int x, int y, Rgb c, double amount) {
    if (x < 0 || y < 0 || x >= pic_.width || y >= pic_.height || amount <= 0) return;
    Rgb o = get(x, y);
    set(x, y, {o.r + c.r * amount, o.g + c.g * amount, o.b + c.b * amount});
  }

  // Fills every pixel from a function of normalised coordinates (0..1).
  template <typename F>
  void paint(F f) {
    for (int y = 0; y < pic_.height; ++y)
      for (int x = 0; x < pic_.width; ++x)
        set(x, y, f((x + 0.5) / pic_.width, (y + 0.5) / pic_.height));
  }

  // A soft-edged disc (or ring when thickness > 0), in pixels.
  void disc(double cx, double cy, double radius, Rgb c, double thickness = 0, double alpha = 1) {
    const int x0 = static_cast<int>(cx - radius - 2), x1 = static_cast<int>(cx + radius + 2);
    const int y0 = static_cast<int>(cy - radius - 2), y1 = static_cast<int>(cy + radius + 2);
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) {
        const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
        double cover = std::clamp(radius - d + 0.5, 0.0, 1.0);
        if (thickness > 0)
          cover = std::min(cover, std::clamp(d - (radius - thickness) + 0.5, 0.0, 1.0));
        blend(x, y, c, cover * alpha);
      }
    }
  }

  // A glow added onto the picture: brightness falling off with distance.
  void glow(double cx, double cy, double radius, Rgb c, double strength) {
    const int r = static_cast<int>(radius * 3);
    for (int y = static_cast<int>(cy) - r; y <= static_cast<int>(cy) + r; ++y)
      for (int x = static_cast<int>(cx) - r; x <= static_cast<int>(cx) + r; ++x) {
        const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / radius;
        add(x, y, c, strength / (1.0 + d * d * d));
      }
  }

  // A filled polygon (even-odd rule), anti-aliased by 4x4 supersampling.
  void polygon(const std::vector<std::array<double, 2>>& pts, Rgb c, double alpha = 1) {
    double minx = 1e9, maxx = -1e9, miny = 1e9, maxy = -1e9;
    for (auto& p : pts) {
      minx = std::min(minx, p[0]);
      maxx = std::max(maxx, p[0]);
      miny = std::min(miny, p[1]);
      maxy = std::max(maxy, p[1]);
    }
    for (int y = static_cast<int>(miny) - 1; y <= static_cast<int>(maxy) + 1; ++y)
      for (int x = static_cast<int>(minx) - 1; x <= static_cast<int>(maxx) + 1; ++x) {
        int inside = 0;
        for (int sy = 0; sy < 4; ++sy)
          for (int sx = 0; sx < 4; ++sx)
            inside += contains(pts, x + (sx + 0.5) / 4, y + (sy + 0.5) / 4);
        blend(x, y, c, alpha * inside / 16.0);
      }
  }

  Picture take() { return std::move(pic_); }

 private:
  static uint8_t to8(double v) {
    return static_cast<uint8_t>(std::clamp(std::lround(v * 255.0), 0L, 255L));
  }
  static bool contains(const std::vector<std::array<double, 2>>& pts, double x, double y) {
    bool in = false;
    for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
      const auto& a = pts[i];
      const auto& b = pts[j];
      if ((a[1] > y) != (b[1] > y) && x < (b[0] - a[0]) * (y - a[1]) / (b[1] - a[1]) + a[0])
        in = !in;
    }
    return in;
  }
  Picture pic_;
};

// Capitals for lower case: the pictures' texts are written in capitals.
const Glyph* glyph(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return font_glyph(c);  // null for a space, or a character the font lacks
}

// Text centred on (cx, cy) with square cells of `cell` pixels; each lit cell
// is a rounded dot with a soft glow, in the colour of a vertical gradient.
void text(Canvas& cv, const char* s, double cx, double cy, double cell, Rgb top, Rgb bottom) {
  int len = 0;
  for (const char* p = s; *p; ++p) ++len;
  const double advance = 6 * cell;
  double x = cx - (len * advance - cell) / 2;
  const double y0 = cy - 3.5 * cell;
  for (const char* p = s; *p; ++p, x += advance) {
    const Glyph* g = glyph(*p);
    if (!g) continue;
    for (int row = 0; row < 7; ++row)
      for (int col = 0; col < 5; ++col)
        if (g->rows[row] & (0x10 >> col)) {
          const Rgb c = mix(top, bottom, row / 6.0);
          const double px = x + (col + 0.5) * cell, py = y0 + (row + 0.5) * cell;
          cv.glow(px, py, cell * 0.9, mix(c, Rgb{0, 0, 0}, 0.3), 0.12);
          cv.disc(px, py, cell * 0.56, c);
        }
  }
}

std::vector<std::array<double, 2>> star(double cx, double cy, double outer, double inner,
                                        int points, double turn) {
  std::vector<std::array<double, 2>> pts;
  for (int i = 0; i < 2 * points; ++i) {
    const double a = turn + i * std::numbers::pi / points;
    const double r = i % 2 ? inner : outer;
    pts.push_back({cx + r * std::sin(a), cy - r * std::cos(a)});
  }
  return pts;
}

// ---- The pictures ----------------------------------------------------------

// A sunburst in orange and purple, a setting sun striped like a record sleeve.
Picture funkka() {
  Canvas cv(kPictureFiles[kFunkka], 512, 384);
  cv.paint([](double x, double y) {
    const double a = std::atan2(y - 0.78, x - 0.5);
    const bool ray = std::fmod(a * 12 / std::numbers::pi + 24, 2.0) < 1.0;
    const Rgb sky = mix(Rgb{0.35, 0.05, 0.45}, Rgb{0.95, 0.45, 0.1}, y);
    return ray ? sky : mix(sky, Rgb{1.0, 0.8, 0.3}, 0.35);
  });
  cv.disc(256, 300, 150, Rgb{1.0, 0.85, 0.2});
  for (int i = 0; i < 6; ++i)  // stripes cut through the lower half of the sun
    for (int y = 300 + i * 14 - 70; y < 300 + i * 14 - 70 + 3 + i; ++y)
      for (int x = 0; x < cv.width(); ++x)
        if (std::hypot(x - 256.0, y - 300.0) < 151)
          cv.set(x, y, mix(Rgb{0.35, 0.05, 0.45}, Rgb{0.95, 0.45, 0.1}, y / 384.0));
  for (int i = 0; i < 5; ++i) {  // wavy bands across the ground
    const Rgb c = i % 2 ? Rgb{0.2, 0.05, 0.3} : Rgb{0.9, 0.3, 0.1};
    for (int x = 0; x < cv.width(); ++x) {
      const double base = 330 + i * 12 + 6 * std::sin(x / 40.0 + i);
      for (int y = static_cast<int>(base); y < base + 10; ++y) cv.set(x, y, c);
    }
  }
  text(cv, "FUNK", 256, 64, 9, Rgb{1, 1, 0.8}, Rgb{1, 0.6, 0.2});
  return cv.take();
}

// A neon grid running to the horizon under a banded sky.
Picture funker() {
  Canvas cv(kPictureFiles[kFunker], 480, 360);
  cv.paint([](double x, double y) {
    if (y < 0.55) return mix(Rgb{0.02, 0.0, 0.12}, Rgb{0.75, 0.1, 0.55}, std::pow(y / 0.55, 1.6));
    const double depth = (y - 0.55) / 0.45;  // 0 at the horizon
    const double z = 1.0 / (depth + 0.02);   // distance
    const double gx = std::fabs(std::fmod((x - 0.5) * z * 4 + 100.5, 1.0) - 0.5);
    const double gz = std::fabs(std::fmod(z * 0.8 + 100.5, 1.0) - 0.5);
    const double line =
        std::max(std::clamp(1 - gx * z * 0.9, 0.0, 1.0), std::clamp(1 - gz * 6, 0.0, 1.0));
    return mix(Rgb{0.03, 0.0, 0.08}, Rgb{0.1, 0.95, 1.0}, line * std::min(1.0, depth * 3));
  });
  cv.disc(240, 160, 80, Rgb{1.0, 0.35, 0.6});
  for (int i = 0; i < 5; ++i)
    for (int y = 168 + i * 12; y < 172 + i * 12 + i; ++y)
      for (int x = 150; x < 330; ++x)
        if (std::hypot(x - 240.0, y - 160.0) < 81)
          cv.set(x, y, mix(Rgb{0.02, 0.0, 0.12}, Rgb{0.75, 0.1, 0.55}, std::pow(y / 198.0, 1.6)));
  cv.glow(240, 198, 60, Rgb{0.6, 0.2, 0.8}, 0.25);
  return cv.take();
}

// Bright rings of squares on black: a flash and a tile texture.
Picture seventies_shadow() {
  Canvas cv(kPictureFiles[kSkugga], 256, 256);
  const Rgb colours[] = {{1.0, 0.55, 0.1}, {1.0, 0.2, 0.5}, {0.3, 0.8, 1.0}, {1.0, 0.95, 0.3}};
  for (int i = 0; i < 4; ++i) {
    const double r = 118 - i * 28;
    std::vector<std::array<double, 2>> outer, inner;
    for (int k = 0; k < 4; ++k) {
      const double a = std::numbers::pi / 4 + k * std::numbers::pi / 2 + i * 0.2;
      outer.push_back({128 + r * std::cos(a), 128 + r * std::sin(a)});
    }
    cv.polygon(outer, colours[i]);
    const double r2 = r - 12;
    for (int k = 0; k < 4; ++k) {
      const double a = std::numbers::pi / 4 + k * std::numbers::pi / 2 + i * 0.2;
      inner.push_back({128 + r2 * std::cos(a), 128 + r2 * std::sin(a)});
    }
    cv.polygon(inner, Rgb{0, 0, 0});
  }
  cv.glow(128, 128, 18, Rgb{1, 0.9, 0.7}, 0.9);
  return cv.take();
}

// The doctor's emblem: a glowing ring and his name over a plasma.
Picture morvelite() {
  Canvas cv(kPictureFiles[kMorvelite], 640, 480);
  cv.paint([](double x, double y) {
    const double v = std::sin(x * 9 + std::sin(y * 7)) + std::sin(y * 11 - x * 3) +
                     std::sin(std::hypot(x - 0.6, y - 0.4) * 18);
    const double t = 0.5 + v / 6;
    return mix(Rgb{0.05, 0.1, 0.35}, Rgb{0.1, 0.55, 0.55}, t);
  });
  cv.disc(320, 200, 150, Rgb{0, 0, 0}, 0, 0.55);
  cv.disc(320, 200, 150, Rgb{0.95, 0.8, 0.3}, 14);
  cv.glow(320, 200, 40, Rgb{1, 0.7, 0.3}, 0.5);
  cv.polygon(star(320, 200, 110, 45, 6, 0), Rgb{1, 0.95, 0.7});
  text(cv, "DR MORVEL", 320, 420, 9, Rgb{1, 1, 1}, Rgb{0.95, 0.75, 0.3});
  return cv.take();
}

// A bright eight-pointed star on black.
Picture tahti() {
  Canvas cv(kPictureFiles[kTahti], 250,
            250);  // 250: a row of 750 bytes, not a multiple of four
  cv.glow(125, 125, 30, Rgb{0.5, 0.4, 1.0}, 0.7);
  cv.polygon(star(125, 125, 118, 30, 8, 0), Rgb{1.0, 0.9, 0.5});
  cv.polygon(star(125, 125, 80, 22, 8, std::numbers::pi / 8), Rgb{1.0, 1.0, 0.95});
  cv.glow(125, 125, 12, Rgb{1, 1, 1}, 0.8);
  return cv.take();
}

// The opening text, one line per quarter of the picture: each quarter is one
// dropping strip, shown at 4:1.
Picture tekstit() {
  Canvas cv(kPictureFiles[kTekstit], 512, 512);
  text(cv, "DR MORVEL", 256, 64, 9, Rgb{1, 1, 1}, Rgb{0.6, 0.8, 1.0});
  text(cv, "BY QUENLO", 256, 192, 9, Rgb{1.0, 0.8, 0.3}, Rgb{1.0, 0.4, 0.2});
  text(cv, "CODE & PIXELS", 256, 320, 6, Rgb{0.5, 1.0, 0.6}, Rgb{0.2, 0.7, 0.9});
  text(cv, "MUSIC - QUENLO", 256, 448, 6, Rgb{1.0, 0.5, 0.9}, Rgb{0.6, 0.4, 1.0});
  return cv.take();
}

// A straight limb of the given width from (x0, y0) to (x1, y1).
void limb(Canvas& cv, double x0, double y0, double x1, double y1, double width, Rgb c) {
  const double len = std::hypot(x1 - x0, y1 - y0);
  const double nx = -(y1 - y0) / len * width / 2, ny = (x1 - x0) / len * width / 2;
  cv.polygon({{x0 + nx, y0 + ny}, {x1 + nx, y1 + ny}, {x1 - nx, y1 - ny}, {x0 - nx, y0 - ny}}, c);
}

// Three dancing figures in bright colours against a dark gradient.
Picture miehet() {
  Canvas cv(kPictureFiles[kMiehet], 510, 382);
  cv.paint([](double, double y) { return mix(Rgb{0.0, 0.0, 0.0}, Rgb{0.12, 0.02, 0.2}, y); });
  const Rgb colours[] = {{1.0, 0.4, 0.2}, {0.3, 1.0, 0.5}, {0.3, 0.6, 1.0}};
  for (int i = 0; i < 3; ++i) {
    const double cx = 110 + i * 145, lean = (i - 1) * 0.35;
    const Rgb c = colours[i];
    cv.glow(cx, 200, 60, c, 0.15);
    cv.disc(cx + lean * 60, 90, 30, c);  // head
    const double sx = cx + lean * 40;
    cv.polygon({{sx - 34, 130}, {sx + 34, 130}, {cx + 24, 250}, {cx - 24, 250}}, c);  // body
    limb(cv, sx - 28, 140, sx - 85, 70.0 + i * 30, 13, c);                            // arms
    limb(cv, sx + 28, 140, sx + 88, 200.0 - i * 45, 13, c);
    limb(cv, cx - 14, 245, cx - 45 - lean * 40, 350, 16, c);  // legs
    limb(cv, cx + 14, 245, cx + 42 - lean * 20, 350, 16, c);
    cv.disc(sx - 85, 70.0 + i * 30, 9, c);  // hands
    cv.disc(sx + 88, 200.0 - i * 45, 9, c);
  }
  return cv.take();
}

// The icon's picture, before its corners are cut: the emblem of
// morvelite.jpg drawn bold enough for 48 pixels.
Picture icon_picture(int size) {
  Canvas cv("icon", size, size);
  const double k = size / 256.0;  // the design is drawn on a 256-pixel grid
  cv.paint([](double x, double y) {
    const double v = std::sin(x * 7 + std::sin(y * 5)) + std::sin(y * 9 - x * 3);
    return mix(mix(Rgb{0.10, 0.04, 0.30}, Rgb{0.02, 0.30, 0.40}, y), Rgb{0.15, 0.45, 0.55},
               0.15 + v / 10);
  });
  cv.glow(128 * k, 128 * k, 40 * k, Rgb{1, 0.6, 0.25}, 0.45);
  cv.disc(128 * k, 128 * k, 104 * k, Rgb{0, 0, 0}, 0, 0.45);
  cv.disc(128 * k, 128 * k, 104 * k, Rgb{0.98, 0.80, 0.28}, std::max(18 * k, 2.5));
  cv.polygon(star(128 * k, 128 * k, 78 * k, 34 * k, 6, 0), Rgb{1, 0.95, 0.72});
  cv.glow(128 * k, 128 * k, 10 * k, Rgb{1, 1, 1}, 0.6);
  return cv.take();
}

}  // namespace

Picture paint_icon(int size) {
  const Picture pic = icon_picture(size);
  Picture icon{"icon", size, size, 4, std::vector<uint8_t>(static_cast<size_t>(size) * size * 4)};
  // A rounded square a little inside the edges, as desktop icons are drawn;
  // 4 x 4 samples per pixel give its border a soft edge.
  const double inset = size / 32.0, radius = size * 0.2;
  const double lo = inset + radius, hi = size - inset - radius;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      int inside = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) {
          const double px = x + (sx + 0.5) / 4, py = y + (sy + 0.5) / 4;
          const double dx = std::max({lo - px, 0.0, px - hi}),
                       dy = std::max({lo - py, 0.0, py - hi});
          inside += dx * dx + dy * dy <= radius * radius;
        }
      const size_t i = static_cast<size_t>(y) * size + x;
      std::copy_n(&pic.pixels[i * 3], 3, &icon.pixels[i * 4]);
      icon.pixels[i * 4 + 3] = static_cast<uint8_t>((inside * 255 + 8) / 16);
    }
  return icon;
}

Picture paint_picture(int index) {
  switch (index) {
    case kFunkka: return funkka();
    case kFunker: return funker();
    case kSkugga: return seventies_shadow();
    case kMorvelite: return morvelite();
    case kTahti: return tahti();
    case kTekstit: return tekstit();
    default: return miehet();
  }
}

std::vector<Picture> paint_pictures() {
  std::vector<Picture> all;
  for (int i = 0; i < kPictureCount; ++i) all.push_back(paint_picture(i));
  return all;
}
