// The show's seven pictures, painted in code: procedural art, gradients,
// shapes and text from a small built-in font.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/assets.h"

struct Picture {
  std::string name;  // file name in the data directory
  int width;
  int height;
  std::vector<uint8_t> rgb;  // rows top first, 3 bytes per pixel
};

// The seven pictures in TextureTable order, named as kPictureFiles names them.
// Deterministic, pixel for pixel.
std::vector<Picture> paint_pictures();
// One of them, by TextureTable entry (kFunkka to kMiehet).
Picture paint_picture(int index);

// The program's icon, size x size pixels with alpha: the doctor's emblem (a
// golden ring round a six-pointed star) on a rounded tile whose corners are
// transparent. Painted at the asked size, not scaled, so that the small
// icon keeps sharp edges. Rows top first, 4 bytes per pixel (RGBA).
struct Icon {
  int size;
  std::vector<uint8_t> rgba;
};
Icon paint_icon(int size);
