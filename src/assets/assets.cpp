// The TextureTable: seven JPEG pictures from the data directory and the
// generated disc sprite, all uploaded and drawn once before the first frame;
// then the module file, the sound device, the player and the effects' state.

#include "assets/assets.h"
#include "assets/picture.h"

#include <GL/gl.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "effects/effects.h"

unsigned int TextureTable[kTextureCount];
uint8_t sprite_pixels[kSpriteSize * kSpriteSize * 4];

namespace {

constexpr int kPathLength = 4096;
constexpr int kDiscRadius = 120;
// What a picture that cannot be decoded is drawn with: one black pixel, so
// that its texture is complete and defined and the show goes on.
constexpr uint8_t kNoPicture[3] = {0, 0, 0};

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
