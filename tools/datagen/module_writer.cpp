// The 31-sample module layout, written from a Module description.

#include <algorithm>
#include <cstring>

#include "datagen.h"
#include "player/period_table.h"

namespace datagen {

namespace {

void put_be16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v >> 8);
  out[at + 1] = static_cast<uint8_t>(v);
}

void put_text(std::vector<uint8_t>& out, size_t at, const std::string& s, size_t field) {
  std::memcpy(&out[at], s.data(), std::min(s.size(), field));
}

}  // namespace

int note_period(int note) { return pt_period(0, note); }

std::vector<uint8_t> write_module(const Module& m) {
  constexpr size_t kHeader = 1084;
  constexpr size_t kPatternBytes = kRows * kChannels * 4;
  uint8_t highest = 0;
  for (uint8_t o : m.orders) highest = std::max(highest, o);
  const size_t pattern_count = std::max<size_t>(m.patterns.size(), highest + 1u);

  std::vector<uint8_t> out(kHeader + pattern_count * kPatternBytes, 0);
  put_text(out, 0, m.title, 20);
  for (size_t i = 0; i < m.samples.size() && i < 31; ++i) {
    const Sample& s = m.samples[i];
    const size_t at = 20 + 30 * i;
    put_text(out, at, s.name, 22);
    put_be16(out, at + 22, static_cast<uint32_t>(s.data.size() / 2));
    out[at + 24] = s.finetune & 15;
    out[at + 25] = std::min<uint8_t>(s.volume, 64);
    put_be16(out, at + 26, s.repeat_start / 2);
    put_be16(out, at + 28, s.repeat_length / 2);
  }
  out[950] = static_cast<uint8_t>(std::min<size_t>(m.orders.size(), 128));
  out[951] = m.restart;
  for (size_t i = 0; i < m.orders.size() && i < 128; ++i) out[952 + i] = m.orders[i];
  std::memcpy(&out[1080], "M.K.", 4);

  for (size_t p = 0; p < m.patterns.size(); ++p) {
    for (int r = 0; r < kRows; ++r) {
      for (int c = 0; c < kChannels; ++c) {
        const Cell& cell = m.patterns[p][r][c];
        const uint32_t period = cell.note >= 0 ? static_cast<uint32_t>(note_period(cell.note)) : 0;
        uint8_t* b = &out[kHeader + p * kPatternBytes + (r * kChannels + c) * 4];
        b[0] = static_cast<uint8_t>((cell.sample & 0xF0) | ((period >> 8) & 0x0F));
        b[1] = static_cast<uint8_t>(period);
        b[2] = static_cast<uint8_t>(((cell.sample & 0x0F) << 4) | (cell.effect & 0x0F));
        b[3] = cell.param;
      }
    }
  }
  for (size_t i = 0; i < m.samples.size() && i < 31; ++i) {
    const std::vector<int8_t>& d = m.samples[i].data;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(d.data());
    out.insert(out.end(), bytes, bytes + d.size());
  }
  return out;
}

}  // namespace datagen
