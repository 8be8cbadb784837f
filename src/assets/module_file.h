// Module files as the show and drmorvel-modrender read them. The show reads
// the first 300000 bytes into a zero-filled buffer that lives as long as the
// process, since the player keeps pointers into it; the renderer reads the
// whole file, up to the largest module the format can describe.
#pragma once

#include <cstddef>
#include <cstdint>

#include "player/player.h"

constexpr size_t kModuleBufferSize = 300000;

extern uint8_t module_buffer[kModuleBufferSize];

// The largest module the 31-sample format can describe: the 1084-byte
// header, 128 patterns of 64 rows of 32 four-byte cells (the largest
// channel count), and 31 samples of at most 65535 two-byte words each:
// 1084 + 1048576 + 4063170 = 5112830 bytes.
constexpr size_t kMaxModuleSize = size_t{kPatternDataOffset} +
                                  size_t{kMaxPatterns} * kRowsPerPattern * kMaxChannels * 4 +
                                  31 * size_t{65535} * 2;
static_assert(kMaxModuleSize == 5112830);

// Reads up to `capacity` bytes of the file at path into buffer with one
// read; the rest of those capacity bytes become zero. Returns the number of
// bytes read, or -1 when the file cannot be opened (errno says why).
long read_module_file(const char* path, uint8_t* buffer, size_t capacity);
