// The show's seven pictures, painted in code: procedural art, gradients,
// shapes and text from a small built-in font.
#pragma once

#include <vector>

#include "assets/assets.h"
#include "picture.h"

// The seven pictures in TextureTable order, named as kPictureFiles names them.
// Deterministic, pixel for pixel.
std::vector<Picture> paint_pictures();
// One of them, by TextureTable entry (kFunkka to kMiehet).
Picture paint_picture(int index);

// The program's icon, size x size RGBA pixels: the doctor's emblem (a golden
// ring round a six-pointed star) on a rounded tile whose corners are
// transparent. Painted at the asked size, not scaled, so that the small
// icon keeps sharp edges.
Picture paint_icon(int size);
