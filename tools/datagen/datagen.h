// The generated data set: the songs and pictures the show and its tests
// play, and the encoders that write them. Everything is computed, nothing is
// read or downloaded, so the same build always writes the same files. The
// show's own music and pictures are composed and painted in music/ and art/;
// the test songs and pictures are made here.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "module.h"
#include "picture.h"

namespace datagen {

// The show's module file: the song composed in music/.
std::vector<uint8_t> show_module();
// A fast module for the tests: speed 1 and 32 rows per order (a pattern
// break ends every pattern), so it passes 1920 after 630 ticks (12.6 s).
ModuleBuilder fast_test_song();

// A small picture of the given size and component count, distinct per seed.
Picture test_picture(int seed, int width, int height, int components);

// Encodes a picture as a baseline JPEG at the given quality, or as a
// progressive one (every coefficient kept until the last scan).
std::vector<uint8_t> encode_jpeg(const Picture& p, int quality, bool progressive = false);

// The sizes of the program's icon, each written as
// <size>x<size>/apps/drmorvel.png under an icon theme directory.
constexpr std::array<int, 2> kIconSizes = {256, 48};

}  // namespace datagen
