// drmorvel-imgdiff: compares a rendered frame with its reference picture.
//
// Software rasterisers of other versions may round a colour or an edge
// pixel differently, so two measures with their own limits decide:
//   mean   the mean absolute difference over all channels of all pixels
//          (0 to 255; default limit 1.5): a drift of the whole picture;
//   outliers  the fraction of pixels with any channel off by more than
//          --level (default 48; default limit 0.01): shapes that moved.
// Exit status 0 when both are within their limits, 1 when not, 2 when the
// files cannot be read or differ in size.

#include <png.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

struct Image {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  std::vector<uint8_t> rgb;
};

bool read_png(const char* path, Image& image) {
  png_image p{};
  p.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&p, path)) {
    std::fprintf(stderr, "drmorvel-imgdiff: %s: %s\n", path, p.message);
    return false;
  }
  p.format = PNG_FORMAT_RGB;
  image.width = p.width;
  image.height = p.height;
  image.rgb.resize(PNG_IMAGE_SIZE(p));
  if (!png_image_finish_read(&p, nullptr, image.rgb.data(), 0, nullptr)) {
    std::fprintf(stderr, "drmorvel-imgdiff: %s: %s\n", path, p.message);
    return false;
  }
  return true;
}

int usage() {
  std::fputs(
      "usage: drmorvel-imgdiff REFERENCE.png FRAME.png [--mean M] [--outliers F] [--level L]\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* files[2] = {nullptr, nullptr};
  int nfiles = 0;
  double mean_limit = 1.5, outlier_limit = 0.01;
  int level = 48;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--mean" || arg == "--outliers" || arg == "--level") {
      if (i + 1 >= argc) return usage();
      const double v = std::strtod(argv[++i], nullptr);
      if (arg == "--mean")
        mean_limit = v;
      else if (arg == "--outliers")
        outlier_limit = v;
      else
        level = static_cast<int>(v);
    } else if (nfiles < 2) {
      files[nfiles++] = argv[i];
    } else {
      return usage();
    }
  }
  if (nfiles != 2) return usage();

  Image ref, out;
  if (!read_png(files[0], ref) || !read_png(files[1], out)) return 2;
  if (ref.width != out.width || ref.height != out.height) {
    std::fprintf(stderr, "drmorvel-imgdiff: %ux%u against %ux%u\n", ref.width, ref.height,
                 out.width, out.height);
    return 2;
  }
  uint64_t total = 0, outliers = 0;
  const size_t pixels = static_cast<size_t>(ref.width) * ref.height;
  for (size_t i = 0; i < pixels; ++i) {
    int worst = 0;
    for (int c = 0; c < 3; ++c) {
      const int d = std::abs(ref.rgb[3 * i + c] - out.rgb[3 * i + c]);
      total += d;
      if (d > worst) worst = d;
    }
    outliers += worst > level;
  }
  const double mean = static_cast<double>(total) / (3.0 * pixels);
  const double fraction = static_cast<double>(outliers) / pixels;
  const bool ok = mean <= mean_limit && fraction <= outlier_limit;
  std::printf("%s: mean %.3f (limit %.3f), outliers %.4f (limit %.4f) %s\n", files[1], mean,
              mean_limit, fraction, outlier_limit, ok ? "ok" : "DIFFERENT");
  return ok ? 0 : 1;
}
