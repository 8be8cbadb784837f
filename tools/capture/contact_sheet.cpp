#include "contact_sheet.h"

#include <cstdio>
#include <cstring>

#include "font5x7.h"
#include "png_write.h"

namespace {

constexpr int kGlyphWidth = 6;  // 5 pixels and a space
constexpr int kGlyphHeight = 7;

constexpr int kLabelHeight = kGlyphHeight + 4;
constexpr int kGap = 4;  // between thumbnails and around the sheet
constexpr int kMaxSheetWidth = 1200;
constexpr uint8_t kBackground = 24;
constexpr uint8_t kInk = 230;

constexpr int kThumbMaxHeight = kSheetThumbMaxWidth;  // taller frames shrink further
constexpr size_t kThumbBytes = static_cast<size_t>(kSheetThumbMaxWidth) * kThumbMaxHeight * 3;
// The largest sheet: the fewest columns (of the widest thumbnails) and so
// the most rows of the tallest ones.
constexpr int kMinColumns = (kMaxSheetWidth - kGap) / (kSheetThumbMaxWidth + kGap);
constexpr int kMaxRows = (kSheetMaxThumbs + kMinColumns - 1) / kMinColumns;
constexpr size_t kSheetBytes = static_cast<size_t>(kMaxSheetWidth) *
                               (kGap + kMaxRows * (kThumbMaxHeight + kLabelHeight + kGap)) * 3;

struct Sheet {
  int width = 0, height = 0;  // the frames'
  int factor = 1;
  int thumb_width = 0, thumb_height = 0;
  int count = 0;
};
Sheet sheet;
uint8_t thumbs[kSheetMaxThumbs][kThumbBytes];
char labels[kSheetMaxThumbs][32];

// Draws `text` with its top left corner at x, y, clipped to the picture.
void draw_text(uint8_t* rgb, int w, int h, int x, int y, const char* text) {
  for (; *text; ++text, x += kGlyphWidth) {
    const Glyph* g = font_glyph(*text);
    if (!g) continue;
    for (int row = 0; row < kGlyphHeight; ++row)
      for (int col = 0; col < 5; ++col) {
        const int px = x + col, py = y + row;
        if (!(g->rows[row] & (0x10 >> col)) || px < 0 || py < 0 || px >= w || py >= h) continue;
        std::memset(rgb + (static_cast<size_t>(py) * w + px) * 3, kInk, 3);
      }
  }
}

}  // namespace

void sheet_begin(int width, int height) {
  sheet = Sheet{};
  sheet.width = width;
  sheet.height = height;
  sheet.factor = (width + kSheetThumbMaxWidth - 1) / kSheetThumbMaxWidth;
  // Frames taller than wide shrink further, to fit a thumbnail's storage.
  while (height / sheet.factor > kThumbMaxHeight) ++sheet.factor;
  sheet.thumb_width = width / sheet.factor;
  sheet.thumb_height = height / sheet.factor;
  if (sheet.thumb_width < 1) sheet.thumb_width = 1;
  if (sheet.thumb_height < 1) sheet.thumb_height = 1;
}

int sheet_add(const uint8_t* rgb, double seconds, int32_t position) {
  if (sheet.count >= kSheetMaxThumbs) return 0;
  const int f = sheet.factor;
  uint8_t* thumb = thumbs[sheet.count];
  // Each thumbnail pixel is the mean of its f x f block of the frame.
  for (int ty = 0; ty < sheet.thumb_height; ++ty)
    for (int tx = 0; tx < sheet.thumb_width; ++tx)
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int y = ty * f; y < ty * f + f; ++y)
          for (int x = tx * f; x < tx * f + f; ++x)
            sum += rgb[(static_cast<size_t>(y) * sheet.width + x) * 3 + c];
        thumb[(static_cast<size_t>(ty) * sheet.thumb_width + tx) * 3 + c] =
            static_cast<uint8_t>(sum / (f * f));
      }
  // Before the song's first tick the position is negative: no order or row.
  if (position < 0)
    std::snprintf(labels[sheet.count], sizeof labels[0], "%.1fs -", seconds);
  else
    std::snprintf(labels[sheet.count], sizeof labels[0], "%.1fs %d:%02d", seconds, position / 100,
                  position % 100);
  ++sheet.count;
  return 1;
}

int sheet_count() { return sheet.count; }

int sheet_write(const char* path) {
  if (sheet.count == 0) return 0;
  const int cell_width = sheet.thumb_width + kGap;
  const int cell_height = sheet.thumb_height + kLabelHeight + kGap;
  // As few rows as the widest sheet allows, filled evenly.
  int columns = (kMaxSheetWidth - kGap) / cell_width;
  if (columns < 1) columns = 1;
  const int rows = (sheet.count + columns - 1) / columns;
  columns = (sheet.count + rows - 1) / rows;
  const int w = kGap + columns * cell_width;
  const int h = kGap + rows * cell_height;
  static uint8_t picture[kSheetBytes];
  if (static_cast<size_t>(w) * h * 3 > sizeof picture) return 0;
  std::memset(picture, kBackground, static_cast<size_t>(w) * h * 3);
  for (int i = 0; i < sheet.count; ++i) {
    const int x0 = kGap + (i % columns) * cell_width;
    const int y0 = kGap + (i / columns) * cell_height;
    for (int y = 0; y < sheet.thumb_height; ++y)
      std::memcpy(picture + (static_cast<size_t>(y0 + y) * w + x0) * 3,
                  thumbs[i] + static_cast<size_t>(y) * sheet.thumb_width * 3,
                  static_cast<size_t>(sheet.thumb_width) * 3);
    draw_text(picture, w, h, x0 + 1, y0 + sheet.thumb_height + 2, labels[i]);
  }
  // Small on disk: the sheet is written once and may be kept.
  return write_png(path, picture, w, h, 3, 9) ? 1 : 0;
}
