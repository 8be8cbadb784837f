// The picture overlay's tables and its state between frames (main thread
// only). draw_picture_overlay itself is declared in shell.h.
#pragma once

#include <cstdint>

#include "assets/assets.h"

// TextureTable entry shown for each hundred of song positions, -1 for none.
constexpr int8_t kPictureByHundred[20] = {
    -1, -1,      -1,      -1, kMorvelite, kMorvelite, kMorvelite, kFunkka, kFunkka, -1,
    -1, kFunker, kFunker, -1, -1,         -1,         -1,         -1,      -1,      -1};

// Song positions that start a pulse (a short zoom and tilt), ended by -1.
// The music puts a drum hit on each of them and on each flash.
constexpr int16_t kPulsePositions[] = {
    400,  407,  409,  416,  427,  432,  439,  441,  448,  500,  507,  509,  516,  527,  700,  716,
    732,  748,  800,  816,  832,  848,  900,  916,  932,  948,  1000, 1016, 1032, 1048, 1100, 1116,
    1132, 1148, 1200, 1216, 1232, 1248, 1300, 1316, 1332, 1348, 1400, 1416, 1432, 1448, 1500, 1516,
    1532, 1548, 1600, 1616, 1632, 1648, 1700, 1716, 1732, 1748, 1800, 1816, 1832, 1848, -1};

// Song positions that start a flash (a second picture added on top), ended by -1.
constexpr int16_t kFlashPositions[] = {
    100,  200,  232,  300,  332,  400,  416,  432,  448,  500,  512,  524,  600,  800,  816,  832,
    848,  900,  916,  932,  948,  1000, 1016, 1032, 1048, 1300, 1316, 1332, 1348, 1400, 1416, 1432,
    1448, 1600, 1616, 1632, 1648, 1700, 1716, 1732, 1748, 1800, 1816, 1832, 1848, -1};

static_assert(sizeof kPulsePositions / sizeof kPulsePositions[0] == 63);
static_assert(sizeof kFlashPositions / sizeof kFlashPositions[0] == 46);

// Start times are show-clock seconds; 0.0 means idle.
struct OverlayState {
  double pulse_start = 0.0;
  double pulse_direction = 1.0;
  double flash_start = 0.0;
  int flash_alternate = 0;
};
extern OverlayState overlay;
