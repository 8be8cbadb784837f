// A contact sheet: thumbnails of captured frames in the order they were
// added, on one PNG picture, each labelled underneath with its show time
// in seconds and the song position (order:row) it was drawn at.
#pragma once

#include <cstdint>

// The sheet's most thumbnails, and the widest a thumbnail gets: frames are
// shrunk by the smallest whole factor that brings them to this width or less.
constexpr int kSheetMaxThumbs = 400;
constexpr int kSheetThumbMaxWidth = 192;

// Starts an empty sheet for frames of width x height pixels.
void sheet_begin(int width, int height);
// Adds the frame (RGB rows, top first) as the next thumbnail, labelled with
// `seconds` and `position` (order × 100 + row). Returns 0 when the sheet
// is full, 1 otherwise.
int sheet_add(const uint8_t* rgb, double seconds, int32_t position);
// How many thumbnails the sheet holds.
int sheet_count();
// Lays the thumbnails out in rows and writes the sheet to `path`. Returns
// 0 when there is nothing to write or the file cannot be written.
int sheet_write(const char* path);
