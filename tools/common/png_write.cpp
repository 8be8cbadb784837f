#include "png_write.h"

#include <png.h>

#include <cstddef>
#include <cstdio>

namespace {

void append_bytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

// Writes the picture through the stream the caller set up with `connect`
// (a file or a byte vector). Returns false when libpng fails.
template <typename Connect>
bool write_stream(Connect connect, const uint8_t* pixels, int w, int h, int components,
                  int compression) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  connect(png);
  png_set_compression_level(png, compression);
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
               components == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const size_t stride = static_cast<size_t>(w) * static_cast<size_t>(components);
  for (int y = 0; y < h; ++y) png_write_row(png, pixels + static_cast<size_t>(y) * stride);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool write_png(const char* path, const uint8_t* pixels, int w, int h, int components,
               int compression) {
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  const bool ok = write_stream([f](png_structp png) { png_init_io(png, f); }, pixels, w, h,
                               components, compression);
  return (std::fclose(f) == 0) && ok;
}

std::vector<uint8_t> encode_png(const uint8_t* pixels, int w, int h, int components,
                                int compression) {
  std::vector<uint8_t> out;
  if (!write_stream([&out](png_structp png) { png_set_write_fn(png, &out, append_bytes, nullptr); },
                    pixels, w, h, components, compression))
    return {};
  return out;
}
