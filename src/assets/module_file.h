// The module file as the show reads it: its first 300000 bytes, into a
// zero-filled buffer that lives as long as the process, since the player
// keeps pointers into it.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kModuleBufferSize = 300000;

extern uint8_t module_buffer[kModuleBufferSize];

// Reads up to kModuleBufferSize bytes of the file at path into
// module_buffer with one read; the rest of the buffer stays zero. Returns the
// number of bytes read, or -1 when the file cannot be opened (errno says why).
long read_module_file(const char* path);
