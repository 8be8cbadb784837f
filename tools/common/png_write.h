// The tools' one PNG writer: the capture's frames and contact sheet, and the
// generator's icon.
#pragma once

#include <cstdint>
#include <vector>

// The zlib level the capture writes its frames at: fast, for many frames of
// mostly large flat areas.
constexpr int kPngFastCompression = 3;
// zlib's own default level (-1).
constexpr int kPngDefaultCompression = -1;

// Writes w x h pixels (rows top first, `components` bytes a pixel: 3 for RGB,
// 4 for RGBA) to `path` at the given zlib compression level. Returns false
// when the file cannot be written; a partly written file may be left.
bool write_png(const char* path, const uint8_t* pixels, int w, int h, int components = 3,
               int compression = kPngFastCompression);
// The same picture as a PNG file's bytes; empty when libpng fails.
std::vector<uint8_t> encode_png(const uint8_t* pixels, int w, int h, int components,
                                int compression = kPngDefaultCompression);
