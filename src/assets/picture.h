// The picture decoder: a JPEG file to RGB rows, within a memory budget,
// with the library's errors turned into a message and a null result. It
// needs no GL; the texture table (assets.h) is built from what it returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// What decoding one picture may take: 128 MiB for its block and the
// library's whole-picture buffers together (the library's row buffers, a
// few MiB at most at the 16384-pixel side limit, come on top). A damaged or
// hostile header could otherwise claim 16384 x 16384 pixels and make the
// decoder take about 800 MB for the block and, for a progressive file, as
// much again for its coefficients. The budget still holds a full-screen
// picture for a 5120 x 2880 screen, also as a progressive file with the
// encoders' usual 4:2:0 sampling.
constexpr size_t kPictureBudget = size_t{128} << 20;

// Decodes a JPEG file to RGB rows, top row first (grayscale files too). The
// heap block the caller owns has (height + 1) rows of width × 3 bytes, the
// last one spare. Returns null when the file cannot be opened (errno says
// why) or decoded, or needs more than kPictureBudget (jpeg_message says
// why); on success stores the size through width and height, and leaves
// them unchanged otherwise.
uint8_t* load_jpeg_rgb(const char* path, int* width, int* height);
// The decoding of load_jpeg_rgb from a file already open (read from where
// it stands, left open), within the given budget in bytes.
uint8_t* decode_jpeg_rgb(std::FILE* file, size_t budget, int* width, int* height);
// The library's last error or warning, or why a picture was refused, for the
// latest load_jpeg_rgb or decode_jpeg_rgb call; empty when it had nothing
// to say.
const char* jpeg_message();
