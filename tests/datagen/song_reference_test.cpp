// The show's music, tick by tick, against its committed reference: for one
// whole pass of the song, the position after every player tick and, per
// channel, what the player sent to the sound device on it (a period, a
// volume or a sample that differs from the last one sent, and every sample
// offset, which starts or restarts the voice). A change in the composition,
// the generator or the replayer that alters what is played fails here and
// names the first order, row, tick and channel that differ.
//
// The reference changes only on purpose: with REGENERATE=1 in the
// environment the test writes it anew and fails, so that the new file is
// looked at and committed.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "music/zurivovariv.h"
#include "player/player.h"
#include "recording_device.h"

namespace {

constexpr char kReference[] = SONG_REFERENCE;
constexpr int kChannels = 4;
// More ticks than a pass takes (about 7600): a song that never comes back
// to its start still ends the recording.
constexpr int kMaxTicks = 20000;

// The last value of each kind sent to one voice; -1 before any.
struct Sent {
  long long period = -1, volume = -1, sample = -1;
};

// One line per tick on which anything changed:
//   <tick> <order>:<row>.<tick in row> <position> | c<channel> <what changed> | ...
// with "p" period, "v" volume, "s" sample and "o" offset.
std::vector<std::string> record_song(const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> image = bytes;
  image.resize(image.size() + 16);
  engine_open_offline(kSound16Bit);
  sound_device = recording_device();
  EXPECT_EQ(pt_load(image.data(), image.size()), 1);

  std::vector<std::string> lines;
  Sent sent[kChannels];
  int32_t last_position = pt_position();
  bool reached_last_order = false;
  for (int tick = 1; tick <= kMaxTicks; ++tick) {
    device_log.clear();
    pt_play();
    const int32_t position = pt_position();
    std::string changes[kChannels];
    int voice = -1;
    for (const std::string& call : device_log) {
      const size_t space = call.find(' ');
      const std::string what = call.substr(0, space);
      const long long value = space == std::string::npos ? 0 : std::stoll(call.substr(space + 1));
      if (what == "voice") {
        voice = static_cast<int>(value);
        continue;
      }
      if (voice < 0 || voice >= kChannels) continue;
      Sent& s = sent[voice];
      std::string& out = changes[voice];
      auto note = [&](const char* tag, long long& last) {
        if (value == last) return;
        last = value;
        out += std::string(" ") + tag + std::to_string(value);
      };
      if (what == "period") note("p", s.period);
      if (what == "volume") note("v", s.volume);
      if (what == "sample") note("s", s.sample);
      if (what == "offset") out += " o" + std::to_string(value);
    }
    std::string line;
    for (int c = 0; c < kChannels; ++c)
      if (!changes[c].empty()) line += " | c" + std::to_string(c) + changes[c];
    if (!line.empty() || position != last_position) {
      std::ostringstream head;
      head << tick << ' ' << player.order << ':' << player.row << '.' << player.tick << ' '
           << position;
      lines.push_back(head.str() + line);
    }
    last_position = position;
    if (player.order == song.song_length - 1) reached_last_order = true;
    if (reached_last_order && position == 0) break;  // back at the start: one pass
  }
  EXPECT_TRUE(reached_last_order) << "the song never reached its last order";
  return lines;
}

// The tick number a line starts with.
long tick_of(const std::string& line) { return std::strtol(line.c_str(), nullptr, 10); }

// The part of a line about channel c ("" when it has none).
std::string channel_part(const std::string& line, int c) {
  const std::string mark = " | c" + std::to_string(c) + " ";
  const size_t at = line.find(mark);
  if (at == std::string::npos) return "";
  const size_t end = line.find(" | ", at + 3);
  return line.substr(at + 3, end == std::string::npos ? std::string::npos : end - at - 3);
}

// Where the two records first part: the order, row, tick and channel, with
// both lines.
std::string first_difference(const std::vector<std::string>& want,
                             const std::vector<std::string>& got) {
  std::map<long, std::string> a, b;
  for (const std::string& l : want) a[tick_of(l)] = l;
  for (const std::string& l : got) b[tick_of(l)] = l;
  std::set<long> ticks;
  for (const auto& entry : a) ticks.insert(entry.first);
  for (const auto& entry : b) ticks.insert(entry.first);
  long first = -1;
  for (const long tick : ticks)
    if (a[tick] != b[tick]) {
      first = tick;
      break;
    }
  if (first < 0) return "";
  const std::string& w = a[first];
  const std::string& g = b[first];
  // Position fields of the line that exists (the played one first).
  std::istringstream fields(g.empty() ? w : g);
  long tick = 0;
  std::string where;
  fields >> tick >> where;
  const size_t colon = where.find(':'), dot = where.find('.');
  std::string channel = "the song position";
  for (int c = 0; c < kChannels; ++c)
    if (channel_part(w, c) != channel_part(g, c)) {
      channel = "channel " + std::to_string(c);
      break;
    }
  return "player tick " + std::to_string(first) + ", order " + where.substr(0, colon) + ", row " +
         where.substr(colon + 1, dot - colon - 1) + ", tick " + where.substr(dot + 1) + ", " +
         channel + ":\n  reference: " + (w.empty() ? "(nothing changes)" : w) +
         "\n  played:    " + (g.empty() ? "(nothing changes)" : g);
}

TEST(SongReference, EveryTickOfTheShowsMusicIsAsCommitted) {
  const std::vector<std::string> played = record_song(compose_zurivovariv());
  ASSERT_GT(played.size(), 1000u);

  const char* regenerate = std::getenv("REGENERATE");
  if (regenerate != nullptr && std::string(regenerate) == "1") {
    std::ofstream out(kReference);
    out << "# The show's music, one line per player tick on which anything changed:\n"
           "# tick order:row.tick position | c<channel> p<period> v<volume> s<sample> "
           "o<offset>\n";
    for (const std::string& l : played) out << l << '\n';
    ASSERT_TRUE(out.good()) << "cannot write " << kReference;
    FAIL() << "wrote " << played.size() << " lines to " << kReference
           << ": look at the change and commit it, then run the test without REGENERATE";
  }

  std::ifstream in(kReference);
  ASSERT_TRUE(in.good()) << "no reference " << kReference
                         << " (run the test with REGENERATE=1 to write it)";
  std::vector<std::string> reference;
  for (std::string l; std::getline(in, l);)
    if (!l.empty() && l[0] != '#') reference.push_back(l);
  const std::string difference = first_difference(reference, played);
  EXPECT_TRUE(difference.empty())
      << "the music differs from " << kReference << " first at " << difference
      << "\n(if the change is meant, run the test with REGENERATE=1 and "
         "commit the new reference)";
}

}  // namespace
