// The 44-byte header of a mono PCM WAV file, as the tools write it.
#pragma once

#include <cstdint>
#include <cstring>

constexpr int kWavHeaderSize = 44;

// Fills h with the header for data_bytes of mono samples of the given width
// (8 or 16 bits) at rate Hz.
inline void wav_header(uint8_t* h, uint32_t rate, uint32_t bits, uint32_t data_bytes) {
  auto put_le = [](uint8_t* p, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  };
  std::memcpy(h, "RIFF", 4);
  put_le(h + 4, 36 + data_bytes, 4);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  put_le(h + 16, 16, 4);
  put_le(h + 20, 1, 2);  // PCM
  put_le(h + 22, 1, 2);  // mono
  put_le(h + 24, rate, 4);
  put_le(h + 28, rate * bits / 8, 4);
  put_le(h + 32, bits / 8, 2);
  put_le(h + 34, bits, 2);
  std::memcpy(h + 36, "data", 4);
  put_le(h + 40, data_bytes, 4);
}

// The most sample bytes one file can hold: its RIFF chunk's 32-bit size
// counts the data and 36 bytes of header.
constexpr uint64_t kWavMaxDataBytes = 0xFFFFFFFFu - 36u;
inline bool wav_holds(uint64_t data_bytes) { return data_bytes <= kWavMaxDataBytes; }
