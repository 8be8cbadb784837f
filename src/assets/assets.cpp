// The TextureTable: seven JPEG pictures from the data directory and the
// generated disc sprite, all uploaded and drawn once before the first frame;
// then the module file, the sound device, the player and the effects' state.

#include "assets/assets.h"

#include <GL/gl.h>

#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "effects/effects.h"

unsigned int TextureTable[kTextureCount];
uint8_t sprite_pixels[kSpriteSize * kSpriteSize * 4];

namespace {

constexpr int kPathLength = 4096;
constexpr int kDiscRadius = 120;
// Larger pictures than this could not become textures anyway, and a damaged
// header must not make the decoder fill gigabytes.
constexpr JDIMENSION kMaxPictureSide = 16384;

// What a picture that cannot be decoded is drawn with: one black pixel, so
// that its texture is complete and defined and the show goes on.
constexpr uint8_t kNoPicture[3] = {0, 0, 0};

char last_message[JMSG_LENGTH_MAX];

// The library's standard error manager ends the process on an error; this
// one jumps back into load_jpeg_rgb instead, and keeps the library's
// messages for the caller rather than printing them.
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf escape;
};

void keep_message(j_common_ptr cinfo) { (*cinfo->err->format_message)(cinfo, last_message); }

[[noreturn]] void escape_on_error(j_common_ptr cinfo) {
  keep_message(cinfo);
  std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->escape, 1);
}

void set_texture_parameters() {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
}

void load_picture(int entry) {
  char path[kPathLength];
  std::snprintf(path, sizeof path, "%s%s", show_data_dir, kPictureFiles[entry]);
  int width = 1, height = 1;
  uint8_t* block = load_jpeg_rgb(path, &width, &height);
  const int open_error = errno;
  if (block == nullptr) {
    std::fprintf(stderr, "drmorvel: %s: %s; drawn as one black pixel\n", path,
                 jpeg_message()[0] ? jpeg_message() : std::strerror(open_error));
    width = height = 1;
  } else if (jpeg_message()[0]) {
    std::fprintf(stderr, "drmorvel: %s: %s\n", path, jpeg_message());
  }
  glBindTexture(GL_TEXTURE_2D, TextureTable[entry]);
  set_texture_parameters();
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE,
               block ? block : kNoPicture);
  std::free(block);  // GL holds its own copy now
}

}  // namespace

const char* jpeg_message() { return last_message; }

uint8_t* load_jpeg_rgb(const char* path, int* width, int* height) {
  last_message[0] = '\0';
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return nullptr;

  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  cinfo.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = escape_on_error;
  errors.manager.output_message = keep_message;
  // volatile: written after setjmp and needed after the jump back.
  uint8_t* volatile block = nullptr;
  if (setjmp(errors.escape)) {
    jpeg_destroy_decompress(&cinfo);
    std::free(block);
    std::fclose(file);
    return nullptr;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.image_width > kMaxPictureSide || cinfo.image_height > kMaxPictureSide) {
    std::snprintf(last_message, sizeof last_message, "picture of %u x %u pixels is too large",
                  cinfo.image_width, cinfo.image_height);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    return nullptr;
  }
  // Ask for RGB whatever the file holds: a grayscale picture is expanded
  // to three equal components rather than filling a third of each row.
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);

  const size_t stride = static_cast<size_t>(cinfo.output_width) * 3;
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                              static_cast<JDIMENSION>(stride), 1);
  // One spare row at the end; zero-filled so that rows a damaged file never
  // delivers are black rather than undefined.
  block = static_cast<uint8_t*>(std::calloc(cinfo.output_height + 1u, stride));
  if (block == nullptr) {
    std::snprintf(last_message, sizeof last_message, "no memory for %u x %u pixels",
                  cinfo.output_width, cinfo.output_height);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    return nullptr;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    if (jpeg_read_scanlines(&cinfo, row, 1) != 1) break;
    std::memcpy(block + (cinfo.output_scanline - 1) * stride, row[0], stride);
  }
  jpeg_finish_decompress(&cinfo);
  *width = static_cast<int>(cinfo.output_width);
  *height = static_cast<int>(cinfo.output_height);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(file);
  return block;
}

void make_disc_sprite() {
  for (int i = 0; i < kSpriteSize; ++i) {
    for (int j = 0; j < kSpriteSize; ++j) {
      const int dx = j - kSpriteSize / 2, dy = i - kSpriteSize / 2;
      const int d = static_cast<int>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
      uint8_t* p = &sprite_pixels[(i * kSpriteSize + j) * 4];
      p[0] = p[1] = p[2] = 255;
      p[3] = d < kDiscRadius ? 255 : 0;
    }
  }
}

int load_assets() {
  glGenTextures(kTextureCount, TextureTable);
  // RGB rows of width × 3 bytes need not be a multiple of four long.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int entry = 0; entry < kPictureCount; ++entry) load_picture(entry);

  make_disc_sprite();
  glBindTexture(GL_TEXTURE_2D, TextureTable[kSpriteTexture]);
  set_texture_parameters();
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kSpriteSize, kSpriteSize, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               sprite_pixels);

  // Draw every texture once, unseen (nothing is swapped), so that the driver
  // has prepared each of them before the first frame.
  for (int entry = 0; entry < kTextureCount; ++entry) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, TextureTable[entry]);
    draw_unit_tile();
  }
  return load_show_module();
}
