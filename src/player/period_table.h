// The Amiga period table: 16 finetune rows of 85 periods, seven octaves of
// twelve semitones from the lowest pitch (largest period) to the highest, and
// entry 84 repeating entry 83. Rows 0..7 are finetunes 0..+7, rows 8..15 are
// finetunes -8..-1. A lookup is PeriodTable[row * 85 + entry].
#pragma once

#include <array>
#include <cstdint>

namespace period_table_detail {

// Entries 24..59 (C-1 to B-3) of every row: the tracker's tuned table. No
// formula reproduces the rounding of its values, so they are listed.
constexpr uint16_t kTunedOctaves[16][36] = {
    {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453, 428, 404, 381, 360, 339, 320,
     302, 285, 269, 254, 240, 226, 214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113},
    {850, 802, 757, 715, 674, 637, 601, 567, 535, 505, 477, 450, 425, 401, 379, 357, 337, 318,
     300, 284, 268, 253, 239, 225, 213, 201, 189, 179, 169, 159, 150, 142, 134, 126, 119, 113},
    {844, 796, 752, 709, 670, 632, 597, 563, 532, 502, 474, 447, 422, 398, 376, 355, 335, 316,
     298, 282, 266, 251, 237, 224, 211, 199, 188, 177, 167, 158, 149, 141, 133, 125, 118, 112},
    {838, 791, 746, 704, 665, 628, 592, 559, 528, 498, 470, 444, 419, 395, 373, 352, 332, 314,
     296, 280, 264, 249, 235, 222, 209, 198, 187, 176, 166, 157, 148, 140, 132, 125, 118, 111},
    {832, 785, 741, 699, 660, 623, 588, 555, 524, 495, 467, 441, 416, 392, 370, 350, 330, 312,
     294, 278, 262, 247, 233, 220, 208, 196, 185, 175, 165, 156, 147, 139, 131, 124, 117, 110},
    {826, 779, 736, 694, 655, 619, 584, 551, 520, 491, 463, 437, 413, 390, 368, 347, 328, 309,
     292, 276, 260, 245, 232, 219, 206, 195, 184, 174, 164, 155, 146, 138, 130, 123, 116, 109},
    {820, 774, 730, 689, 651, 614, 580, 547, 516, 487, 460, 434, 410, 387, 365, 345, 325, 307,
     290, 274, 258, 244, 230, 217, 205, 193, 183, 172, 163, 154, 145, 137, 129, 122, 115, 109},
    {814, 768, 725, 684, 646, 610, 575, 543, 513, 484, 457, 431, 407, 384, 363, 342, 323, 305,
     288, 272, 256, 242, 228, 216, 204, 192, 181, 171, 161, 152, 144, 136, 128, 121, 114, 108},
    {907, 856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453, 428, 404, 381, 360, 339,
     320, 302, 285, 269, 254, 240, 226, 214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120},
    {900, 850, 802, 757, 715, 675, 636, 601, 567, 535, 505, 477, 450, 425, 401, 379, 357, 337,
     318, 300, 284, 268, 253, 238, 225, 212, 200, 189, 179, 169, 159, 150, 142, 134, 126, 119},
    {894, 844, 796, 752, 709, 670, 632, 597, 563, 532, 502, 474, 447, 422, 398, 376, 355, 335,
     316, 298, 282, 266, 251, 237, 223, 211, 199, 188, 177, 167, 158, 149, 141, 133, 125, 118},
    {887, 838, 791, 746, 704, 665, 628, 592, 559, 528, 498, 470, 444, 419, 395, 373, 352, 332,
     314, 296, 280, 264, 249, 235, 222, 209, 198, 187, 176, 166, 157, 148, 140, 132, 125, 118},
    {881, 832, 785, 741, 699, 660, 623, 588, 555, 524, 494, 467, 441, 416, 392, 370, 350, 330,
     312, 294, 278, 262, 247, 233, 220, 208, 196, 185, 175, 165, 156, 147, 139, 131, 123, 117},
    {875, 826, 779, 736, 694, 655, 619, 584, 551, 520, 491, 463, 437, 413, 390, 368, 347, 328,
     309, 292, 276, 260, 245, 232, 219, 206, 195, 184, 174, 164, 155, 146, 138, 130, 123, 116},
    {868, 820, 774, 730, 689, 651, 614, 580, 547, 516, 487, 460, 434, 410, 387, 365, 345, 325,
     307, 290, 274, 258, 244, 230, 217, 205, 193, 183, 172, 163, 154, 145, 137, 129, 122, 115},
    {862, 814, 768, 725, 684, 646, 610, 575, 543, 513, 484, 457, 431, 407, 384, 363, 342, 323,
     305, 288, 272, 256, 242, 228, 216, 203, 192, 181, 171, 161, 152, 144, 136, 128, 121, 114},
};

// Entry 83 of every row (entry 84 repeats it). These are fixed rather than
// derived: halving twice rounds differently from row to row (row 9 gives 30
// where plain truncation would give 29).
constexpr uint16_t kHighestPeriod[16] = {28, 28, 28, 27, 27, 27, 27, 27,
                                         30, 30, 29, 29, 29, 29, 28, 28};

// The two low octaves are exact doublings of the tuned ones (entry k is twice
// entry k + 12); the two high octaves are halvings rounded down (entry k is
// entry k - 12 halved), which is how the finetune 0 row reads too.
constexpr std::array<uint16_t, 16 * 85> build() {
  std::array<uint16_t, 16 * 85> t{};
  for (int r = 0; r < 16; ++r) {
    uint16_t* row = &t[r * 85];
    for (int k = 0; k < 36; ++k) row[24 + k] = kTunedOctaves[r][k];
    for (int k = 23; k >= 0; --k) row[k] = static_cast<uint16_t>(row[k + 12] * 2);
    for (int k = 60; k <= 82; ++k) row[k] = static_cast<uint16_t>(row[k - 12] / 2);
    row[83] = kHighestPeriod[r];
    row[84] = kHighestPeriod[r];
  }
  return t;
}

constexpr bool strictly_decreasing(const std::array<uint16_t, 16 * 85>& t) {
  for (int r = 0; r < 16; ++r)
    for (int k = 1; k <= 83; ++k)
      if (t[r * 85 + k] >= t[r * 85 + k - 1]) return false;
  return true;
}

}  // namespace period_table_detail

inline constexpr std::array<uint16_t, 16 * 85> PeriodTable = period_table_detail::build();

constexpr int kPeriodRowLength = 85;

// The glissando search walks a row from its high end and relies on this.
static_assert(period_table_detail::strictly_decreasing(PeriodTable));
static_assert(PeriodTable[0] == 3424 && PeriodTable[24] == 856 && PeriodTable[83] == 28);
static_assert(PeriodTable[8 * 85] == 3628 && PeriodTable[8 * 85 + 24] == 907);
static_assert(PeriodTable[3 * 85 + 83] == 27 && PeriodTable[9 * 85 + 84] == 30);

// PeriodTable[row][entry], with row and entry clamped into the table.
constexpr int pt_period(int row, int entry) {
  row = row < 0 ? 0 : (row > 15 ? 15 : row);
  entry = entry < 0 ? 0 : (entry > 84 ? 84 : entry);
  return PeriodTable[row * kPeriodRowLength + entry];
}
