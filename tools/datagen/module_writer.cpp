// A Module description written with the module writer.

#include <algorithm>

#include "assets/module_writer.h"
#include "datagen.h"

namespace datagen {

std::vector<uint8_t> write_module(const Module& m) {
  ModuleBuilder b("M.K.", kChannels);
  b.title = m.title;
  const size_t sample_count = std::min<size_t>(m.samples.size(), 31);
  for (size_t i = 0; i < sample_count; ++i) {
    const Sample& s = m.samples[i];
    b.samples[i + 1] = ModuleBuilder::Sample{s.data,
                                             -1,
                                             static_cast<uint8_t>(s.finetune & 15),
                                             std::min<uint8_t>(s.volume, 64),
                                             static_cast<uint16_t>(s.repeat_start / 2),
                                             static_cast<uint16_t>(s.repeat_length / 2),
                                             s.name};
  }
  b.unused_samples_from(static_cast<int>(sample_count) + 1);
  b.song_length = static_cast<uint8_t>(std::min<size_t>(m.orders.size(), 128));
  b.restart = m.restart;
  std::copy_n(m.orders.begin(), b.song_length, b.orders.begin());
  const uint8_t highest =
      m.orders.empty() ? 0 : *std::max_element(m.orders.begin(), m.orders.end());
  b.pattern_count = static_cast<int>(std::max<size_t>(m.patterns.size(), highest + 1u));
  for (size_t p = 0; p < m.patterns.size(); ++p)
    for (int r = 0; r < kRows; ++r)
      for (int c = 0; c < kChannels; ++c) {
        const Cell& cell = m.patterns[p][r][c];
        b.note(static_cast<int>(p), r, c, cell.sample, cell.note, cell.effect, cell.param);
      }
  return b.build();
}

}  // namespace datagen
