// The test pictures of the generated data sets, painted from formulas, and
// the JPEG encoder that writes every picture of the data sets.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

#include <jpeglib.h>

#include "datagen.h"

namespace datagen {

namespace {

uint8_t byte(double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0))); }

struct Rgb {
  double r, g, b;
};

// One painter per TextureTable entry; u, v run from 0 to 1 across the
// picture, left to right and top to bottom.
Rgb paint(int index, double u, double v) {
  const double cx = u - 0.5, cy = v - 0.5;
  const double d = std::sqrt(cx * cx + cy * cy);
  const double a = std::atan2(cy, cx);
  switch (index) {
    case 0: {  // warm diagonal gradient with rings
      const double ring = 0.5 + 0.5 * std::cos(d * 60);
      return {255 * u, 120 + 100 * ring * (1 - d), 255 * v * ring};
    }
    case 1: {  // tilted checkerboard in two colour pairs
      const double x = (u + v) * 8, y = (u - v) * 8;
      const bool odd = (static_cast<int>(std::floor(x)) + static_cast<int>(std::floor(y))) & 1;
      return odd ? Rgb{230, 90, 40} : Rgb{30, 110 + 100 * v, 200};
    }
    case 2: {  // dark rings fading out: a soft shadow
      const double s = std::exp(-d * 5) * (0.6 + 0.4 * std::cos(d * 40));
      return {200 * s, 180 * s, 255 * s};
    }
    case 3: {  // sunburst over horizontal bands
      const double ray = 0.5 + 0.5 * std::cos(a * 12);
      const double band = static_cast<int>(v * 10) & 1 ? 0.7 : 1.0;
      return {255 * band * ray, 200 * band * (1 - d), 80 + 120 * band * (1 - ray)};
    }
    case 4: {  // a five-pointed star on deep blue
      const double r = 0.22 + 0.16 * std::cos(5 * (a + std::numbers::pi / 2));
      if (d < r) return {255, 230, 60};
      return {10, 20, 60 + 120 * (1 - d)};
    }
    case 5: {  // rows of block letters
      const int line = static_cast<int>(v * 8), col = static_cast<int>(u * 24);
      const double fy = v * 8 - line, fx = u * 24 - col;
      const bool ink = fy > 0.2 && fy < 0.8 && fx > 0.15 && fx < 0.85 &&
                       ((col * 7 + line * 3) % 5 != 0) &&
                       (fy < 0.35 || fx < 0.3 || (line + col) % 3 == 0);
      return ink ? Rgb{250, 250, 240} : Rgb{40.0 + 20 * line, 20, 70};
    }
    default: {  // figures: standing silhouettes against a sunset
      const double head_x = std::fmod(u * 5, 1.0) - 0.5;
      const double head = std::sqrt(head_x * head_x * 4 + (v - 0.35) * (v - 0.35) * 40);
      const bool figure = head < 0.5 || (std::fabs(head_x) < 0.2 && v > 0.45);
      if (figure) return {15, 10, 20};
      return {255, 120 + 120 * v, 60 + 60 * (1 - v)};
    }
  }
}

// Each show picture has its own size; two widths are not multiples of four
// so that the upload's byte alignment is exercised by the show itself.

}  // namespace

Picture test_picture(int seed, int width, int height, int components) {
  Picture p;
  p.width = width;
  p.height = height;
  p.components = components;
  p.pixels.resize(static_cast<size_t>(width) * height * components);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb c = paint(seed % 7, (x + 0.5) / width, (y + 0.5) / height);
      uint8_t* px = &p.pixels[(static_cast<size_t>(y) * width + x) * components];
      if (components == 1) {
        px[0] = byte(0.3 * c.r + 0.59 * c.g + 0.11 * c.b);
      } else {
        px[0] = byte(c.r);
        px[1] = byte(c.g);
        px[2] = byte(c.b);
      }
    }
  }
  return p;
}

std::vector<uint8_t> encode_jpeg(const Picture& p, int quality, bool progressive) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);  // encoding our own pixels cannot fail
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(p.width);
  cinfo.image_height = static_cast<JDIMENSION>(p.height);
  cinfo.input_components = p.components;
  cinfo.in_color_space = p.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  const int stride = p.width * p.components;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row =
        const_cast<JSAMPROW>(&p.pixels[static_cast<size_t>(cinfo.next_scanline) * stride]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

}  // namespace datagen
