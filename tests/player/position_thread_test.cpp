// The song position crosses threads: the player ticks on the audio thread
// while the show reads pt_position on the main thread, without a lock. Every
// value read must be one the player published after a tick, in the order it
// published them: never a torn value, never a row of one order paired with
// another order (such as row 64 of the old order during a pattern change).
// Under ThreadSanitizer any unsynchronised access fails the test too.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "assets/module_file.h"
#include "engine/offline.h"
#include "load_module.h"
#include "test_songs.h"

namespace {

constexpr int kTicks = 20000;
constexpr int kFrames = 2048;

// Speed 1, so every tick reads a row, and a pattern change, a break, a jump
// or a loop every few rows: the position changes its order part often.
std::vector<uint8_t> restless_song() {
  ModuleBuilder m("M.K.", 4);
  m.samples[1] = looped_tone();
  m.cell(0, 0, 0, 1, 428, 0xF, 0x01);
  m.cell(0, 9, 1, 0, 0, 0xD, 0x05);   // break to row 5 of order 1
  m.cell(1, 7, 0, 0, 0, 0xE, 0x60);   // loop start
  m.cell(1, 9, 2, 0, 0, 0xE, 0xE2);   // a pattern delay inside the loop
  m.cell(1, 11, 0, 0, 0, 0xE, 0x63);  // rows 7..11 four times
  m.cell(1, 20, 3, 0, 0, 0xB, 0x03);  // jump to order 3
  m.cell(2, 1, 1, 0, 0, 0xD, 0x1F);   // break to row 25 (D1F)
  m.cell(3, 0, 0, 0, 0, 0xE, 0x60);   // loop from row 0: shows row -1
  m.cell(3, 2, 0, 0, 0, 0xE, 0x61);
  m.cell(3, 30, 2, 0, 0, 0xD, 0x39);  // row 39 of order 4
  m.cell(4, 40, 0, 0, 0, 0xB, 0x05);
  m.cell(4, 40, 1, 0, 0, 0xD, 0x12);  // B and D together: order 5, row 12
  m.cell(2, 40, 3, 0, 0, 0xB, 0x7F);  // a jump past the song: restart
  m.song_length = 6;
  m.restart = 1;
  m.order({0, 1, 2, 3, 4, 2});
  return m.build();
}

void load(const std::vector<uint8_t>& file) {
  engine_open_offline(kSound16Bit);
  ASSERT_EQ(load_module_image(file), 1);
}

std::vector<int32_t> published;
void record_tick() { published.push_back(pt_position()); }

int ticks_run = 0;
void count_tick() { ++ticks_run; }

uint8_t stream[kFrames * 2];

void play(int ticks) {
  while (ticks_run < ticks) engine_render(stream, kFrames);
}

TEST(SongPosition, ReadsOnAnotherThreadSeeOnlyPublishedValuesInOrder) {
  const std::vector<uint8_t> file = restless_song();

  // What the player publishes, tick by tick, on one thread.
  published.reserve(kTicks + 64);
  load(file);
  published.push_back(pt_position());  // -37 before the first tick
  snd_set_tick_observer(record_tick);
  while (static_cast<int>(published.size()) <= kTicks) engine_render(stream, kFrames);
  snd_set_tick_observer(nullptr);

  // The song really changes order often, and shows the jump rows.
  int order_changes = 0;
  bool saw_loop_row = false;
  for (size_t i = 1; i < published.size(); ++i) {
    const int32_t p = published[i];
    // Rows 0..63, or row -1 (shown as 99) while a loop from row 0 jumps.
    const int32_t row = (p % 100 + 100) % 100;
    ASSERT_TRUE(row <= 63 || row == 99) << "row past the pattern in " << p;
    if (p / 100 != published[i - 1] / 100) ++order_changes;
    if (p == 299) saw_loop_row = true;
  }
  EXPECT_GT(order_changes, 1000);
  EXPECT_TRUE(saw_loop_row);

  // The same song again, ticked by another thread while this one reads.
  load(file);
  ticks_run = 0;
  snd_set_tick_observer(count_tick);
  std::atomic<bool> done{false};
  std::thread audio([&] {
    play(kTicks);
    done.store(true, std::memory_order_release);
  });
  std::vector<int32_t> reads;
  reads.reserve(kTicks + 64);
  int32_t last = pt_position();
  reads.push_back(last);
  while (!done.load(std::memory_order_acquire)) {
    const int32_t p = pt_position();
    if (p != last) reads.push_back(last = p);
  }
  audio.join();
  snd_set_tick_observer(nullptr);
  reads.push_back(pt_position());

  // Each value read matches a published one, later than the one before.
  size_t at = 0;
  for (size_t r = 0; r < reads.size(); ++r) {
    while (at < published.size() && published[at] != reads[r]) ++at;
    ASSERT_LT(at, published.size())
        << "read " << r << " gave " << reads[r] << ", never published at that point";
  }
}

}  // namespace
