// The song position crosses threads: the player thread writes it on every
// tick while another thread polls it. Built for ThreadSanitizer too.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "module_builder.h"
#include "player/player.h"
#include "sound/sound.h"

namespace {

TEST(PositionThreadTest, ReadersSeeOnlyWholePositions) {
  snd_open_silent();
  ModuleBuilder m("4CHN", 4);
  m.song_length = 3;
  m.order({0, 1, 0});
  m.sample(1, std::vector<int8_t>(32, 1));
  m.cell(0, 0, 0, 1, note_period(36), 0xF, 1);
  m.cell(1, 40, 1, 0, 0, 0xD, 0x10);  // order 1 ends early, order 2 starts at row 10
  std::vector<uint8_t> image = m.build();
  image.resize(image.size() + 16);
  ASSERT_EQ(pt_load(image.data(), image.size()), 1);

  std::atomic<bool> done{false};
  std::thread player([&] {
    for (int i = 0; i < 30000; ++i) pt_play();
    done = true;
  });
  long reads = 0, bad = 0;
  while (!done) {
    const int32_t p = pt_position();
    const int32_t order = p / 100, row = p % 100;
    const bool whole = p == -37 || (p >= 0 && order <= 2 && row <= 63);
    if (!whole) ++bad;
    ++reads;
  }
  player.join();
  EXPECT_EQ(bad, 0) << "of " << reads << " reads";
}

}  // namespace
