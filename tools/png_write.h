// Writing an RGB picture to a PNG file, for the capture tool's frames and
// its contact sheet.
#pragma once

#include <cstdint>

// Writes w x h RGB pixels (rows top first, 3 bytes a pixel) to `path` at the
// given zlib compression level (0-9; fast by default, for the capture's
// many frames of mostly large flat areas). Returns false when the file
// cannot be written; a partly written file may be left.
bool write_png(const char* path, const uint8_t* rgb, int w, int h, int compression = 3);
