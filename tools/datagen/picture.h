// The generator's one picture record: the show's art, the test pictures and
// the icon are all painted into it and encoded from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An 8-bit picture, rows top first, `components` bytes per pixel: 1 (gray),
// 3 (RGB) or 4 (RGBA).
struct Picture {
  std::string name;  // what it was painted as: its data file's name for the show's art
  int width = 0;
  int height = 0;
  int components = 3;
  std::vector<uint8_t> pixels;
};
