// A sound device that writes down every operation the loader and the player
// call, as text ("voice 0", "period 428", "offset 0"), and passes the voice
// operations on to the shared ones so the player voices can be inspected too.
// PlayerTest installs it on a fresh engine and plays a module tick by tick.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/offline.h"
#include "test_songs.h"

struct DefineCall {
  int slot;
  const int8_t* data;
  uint32_t length, loop_start, loop_end;
  int looped;
};

inline std::vector<std::string> device_log;
inline std::vector<DefineCall> define_log;

namespace recording {
inline void note(const char* what, long long value) {
  device_log.push_back(std::string(what) + " " + std::to_string(value));
}
inline void voice_count(int n) { note("voices", n), snd_set_voice_count(n); }
inline void master_volume(int v) { note("master", v), snd_set_master_volume(v); }
inline void offset(uint32_t o) { note("offset", o), snd_set_offset(o); }
inline void panning(int p) { note("panning", p), snd_set_panning(p); }
inline void volume(int v) { note("volume", v), snd_set_volume(v); }
inline void period(int p) { note("period", p), snd_set_period(p); }
inline void sample(int s) { note("sample", s), snd_set_sample(s); }
inline void select(int n) { note("voice", n), snd_select_voice(n); }
inline int define(int slot, const int8_t* data, uint32_t length, uint32_t loop_start,
                  uint32_t loop_end, int looped) {
  define_log.push_back(DefineCall{slot, data, length, loop_start, loop_end, looped});
  return snd_define_sample(slot, data, length, loop_start, loop_end, looped);
}
inline void close() { device_log.push_back("close"); }
inline void start() { device_log.push_back("start"); }
inline void reset() { device_log.push_back("reset"); }
}  // namespace recording

inline SoundDevice recording_device() {
  return SoundDevice{recording::voice_count, recording::master_volume, recording::offset,
                     recording::panning,     recording::volume,        recording::period,
                     recording::sample,      recording::select,        recording::define,
                     recording::close,       recording::start,         recording::reset};
}

inline std::string join(const std::vector<std::string>& parts, size_t from = 0,
                        size_t to = std::string::npos) {
  std::string out;
  for (size_t i = from; i < parts.size() && i < to; ++i)
    out += (out.empty() ? "" : ", ") + parts[i];
  return out;
}

// What channel c received on one tick: the calls after "voice c" up to the
// next voice selection, or "idle" when the voice was not selected at all.
inline std::string channel_events(const std::vector<std::string>& log, int c) {
  const std::string selected = "voice " + std::to_string(c);
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i] != selected) continue;
    size_t end = i + 1;
    while (end < log.size() && log[end].rfind("voice ", 0) != 0) ++end;
    return join(log, i + 1, end);
  }
  return "idle";
}

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fresh engine, with every device call written down.
    engine_open_offline(kSound16Bit);
    sound_device = recording_device();
    device_log.clear();
    define_log.clear();
  }

  // Builds the module and loads it; the image lives as long as the test.
  int load(const ModuleBuilder& m, size_t slack = 16) {
    image = m.build();
    image.resize(image.size() + slack);
    const int ok = pt_load(image.data(), image.size());
    device_log.clear();
    return ok;
  }

  // One player tick; everything the device received during it.
  std::string tick() {
    device_log.clear();
    pt_play();
    last = device_log;
    return join(last);
  }
  // One player tick; what channel c received during it.
  std::string tick(int c) {
    tick();
    return channel_events(last, c);
  }
  // n ticks; what channel c received on each, separated by " | ".
  std::string ticks(int n, int c) {
    std::string out;
    for (int i = 0; i < n; ++i) out += (i ? " | " : "") + tick(c);
    return out;
  }
  // The song position after each of n ticks; device_log keeps the last tick's calls.
  std::vector<int32_t> positions(int n) {
    std::vector<int32_t> out;
    for (int i = 0; i < n; ++i) {
      device_log.clear();
      pt_play();
      out.push_back(pt_position());
    }
    return out;
  }

  std::vector<uint8_t> image;
  std::vector<std::string> last;
};
