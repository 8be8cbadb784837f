// drmorvel-modrender run as a program: the WAV file it writes, its timeline,
// and its messages and exit statuses on bad input. The bytes it writes are
// compared with the audio callback driven directly in this process, which is
// what the show's SDL audio thread does.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "assets/module_file.h"
#include "engine/offline.h"
#include "run_dir.h"
#include "test_songs.h"

namespace {

struct Outcome {
  int status;
  std::string err;
};

// A file of the current test in this run's own directory.
std::string temp_path(const std::string& name) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return RunDirectory::path("modrender_test") + info->name() + "_" + name;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// Runs a tool with the given arguments (already quoted as needed).
Outcome run_tool(const char* tool, const std::string& args) {
  const std::string err = temp_path("stderr.txt");
  const std::string command = std::string("'") + tool + "' " + args + " 2>'" + err + "'";
  const int raw = std::system(command.c_str());
  Outcome run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(err)};
  return run;
}

Outcome modrender(const std::string& args) { return run_tool(MODRENDER_PATH, args); }

uint32_t le(const std::string& s, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[at + i]);
  return v;
}

// Four channels of notes, slides, vibrato and volume changes, long enough to
// cross pattern boundaries within a few seconds.
std::vector<uint8_t> test_song() {
  ModuleBuilder m = busy_song("M.K.", 4, 3);
  m.cell(0, 0, 3, 0, 0, 0xF, 0x02);  // speed 2
  m.cell(1, 5, 2, 0, 0, 0xD, 0x10);  // break to row 10 of the next order
  return m.build();
}

// The bytes the audio callback gives for this module (loaded as the tool
// loads it: the bytes of the file and the guard bytes) and sound mode, in
// 2048-frame buffers (the last one cut to what is left), and the song
// position after each tick.
std::vector<int32_t> positions;
void record_position() { positions.push_back(pt_position()); }

std::string render_in_process(const std::string& module, int mode, uint64_t frames) {
  const long size = read_module_file(module.c_str(), module_buffer, kModuleBufferSize);
  EXPECT_GT(size, 0);
  engine_open_offline(mode);
  EXPECT_EQ(pt_load(module_buffer, static_cast<size_t>(size) + kSampleGuardBytes), 1);
  positions.clear();
  snd_set_tick_observer(record_position);
  const size_t width = mode == kSound16Bit ? 2 : 1;
  std::string out(frames * width, '\0');
  engine_render(reinterpret_cast<uint8_t*>(out.data()), frames);
  snd_set_tick_observer(nullptr);
  return out;
}

class ModRender : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = temp_path("song.mod");
    wav_ = temp_path("out.wav");
    write_file(module_, test_song());
  }
  std::string module_, wav_;
};

TEST_F(ModRender, SixteenBitWavHeaderAndSize) {
  ASSERT_EQ(modrender("--seconds 2.5 '" + module_ + "' '" + wav_ + "'").status, 0);
  const std::string wav = read_file(wav_);
  const uint32_t data_bytes = 110250 * 2;  // 2.5 s at 44100 Hz, 2 bytes each
  ASSERT_EQ(wav.size(), 44 + data_bytes);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(le(wav, 4, 4), 36 + data_bytes);
  EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(le(wav, 16, 4), 16u);
  EXPECT_EQ(le(wav, 20, 2), 1u);  // PCM
  EXPECT_EQ(le(wav, 22, 2), 1u);  // mono
  EXPECT_EQ(le(wav, 24, 4), 44100u);
  EXPECT_EQ(le(wav, 28, 4), 88200u);
  EXPECT_EQ(le(wav, 32, 2), 2u);
  EXPECT_EQ(le(wav, 34, 2), 16u);
  EXPECT_EQ(wav.substr(36, 4), "data");
  EXPECT_EQ(le(wav, 40, 4), data_bytes);
}

TEST_F(ModRender, EightBitWavHeaderAndSize) {
  ASSERT_EQ(modrender("--mode 1 --seconds 3 '" + module_ + "' '" + wav_ + "'").status, 0);
  const std::string wav = read_file(wav_);
  ASSERT_EQ(wav.size(), 44u + 66150u);
  EXPECT_EQ(le(wav, 22, 2), 1u);
  EXPECT_EQ(le(wav, 24, 4), 22050u);
  EXPECT_EQ(le(wav, 28, 4), 22050u);
  EXPECT_EQ(le(wav, 32, 2), 1u);
  EXPECT_EQ(le(wav, 34, 2), 8u);
  EXPECT_EQ(le(wav, 40, 4), 66150u);
}

TEST_F(ModRender, WritesExactlyTheAudioCallbacksBytesInBothModes) {
  for (int mode : {kSound16Bit, kSound8Bit}) {
    SCOPED_TRACE(mode);
    // 4.3 s is not a whole number of 2048-frame buffers in either mode.
    ASSERT_EQ(modrender("--mode " + std::to_string(mode) + " --seconds 4.3 '" + module_ + "' '" +
                        wav_ + "'")
                  .status,
              0);
    const std::string wav = read_file(wav_);
    const uint64_t frames = mode == kSound16Bit ? 189630 : 94815;
    const std::string expected = render_in_process(module_, mode, frames);
    ASSERT_EQ(wav.size(), 44 + expected.size());
    EXPECT_TRUE(wav.compare(44, std::string::npos, expected) == 0) << "the sample data differ";
    // Not silence: the song plays.
    EXPECT_NE(expected.find_first_not_of(expected[0]), std::string::npos);
  }
}

TEST_F(ModRender, TimelineHasOneLinePerTickWithThePositionAfterIt) {
  const std::string timeline = temp_path("timeline.txt");
  ASSERT_EQ(modrender("--seconds 3 --timeline '" + timeline + "' '" + module_ + "' '" + wav_ + "'")
                .status,
            0);
  render_in_process(module_, kSound16Bit, 132300);
  std::istringstream in(read_file(timeline));
  std::string line;
  size_t n = 0;
  while (std::getline(in, line)) {
    ASSERT_LT(n, positions.size());
    EXPECT_EQ(line, std::to_string(n + 1) + "\t" + std::to_string(positions[n]))
        << "line " << n + 1;
    ++n;
  }
  EXPECT_EQ(n, positions.size());
  // Speed 2 from the first row: rows start on ticks 1, 3, 5, ...; the break
  // on row 5 of order 1 shows row 63 from that row's own first tick on.
  const std::string text = read_file(timeline);
  EXPECT_EQ(text.substr(0, 16), "1\t0\n2\t0\n3\t1\n4\t1\n");
  EXPECT_NE(text.find("\t104\n"), std::string::npos);
  EXPECT_EQ(text.find("\t105\n"), std::string::npos);
  EXPECT_NE(text.find("\t163\n"), std::string::npos);
  EXPECT_NE(text.find("\t210\n"), std::string::npos);
  EXPECT_EQ(text.find("\t200\n"), std::string::npos);
}

TEST_F(ModRender, MissingModuleFileIsStatusTwoWithAMessage) {
  const std::string missing = temp_path("no-such.mod");
  const Outcome run = modrender("'" + missing + "' '" + wav_ + "'");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find(missing), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("No such file"), std::string::npos) << run.err;
}

// A module the loader refuses: status 1, the file and the loader's reason.
// The bytes read bound the patterns, so a file cut short is refused; one
// that ends right after its patterns is played (its samples are empty).
TEST_F(ModRender, RefusedModulesAreStatusOneWithTheLoadersText) {
  const std::vector<uint8_t> whole = test_song();
  const size_t patterns_end = 1084 + 3 * 1024;
  std::vector<uint8_t> unknown = whole;
  std::memcpy(&unknown[1080], "m.k.", 4);  // case matters
  const std::vector<uint8_t> cut(whole.begin(), whole.begin() + 2000);
  const std::vector<uint8_t> short_by_patterns(whole.begin(), whole.begin() + 1084 + 2 * 1024);
  const std::vector<uint8_t> just_patterns(whole.begin(), whole.begin() + patterns_end);
  const struct {
    const char* name;
    const std::vector<uint8_t>& bytes;
    int status;
    const char* says;
  } cases[] = {
      {"unknown tag", unknown, 1, "pt_takemod error: unknown module type!"},
      {"cut to 2000 bytes", cut, 1, "pt_takemod error: module too short for its patterns!"},
      {"one pattern short", short_by_patterns, 1,
       "pt_takemod error: module too short for its patterns!"},
      {"no sample data", just_patterns, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    write_file(module_, c.bytes);
    const Outcome run = modrender("--seconds 0.5 '" + module_ + "' '" + wav_ + "'");
    EXPECT_EQ(run.status, c.status);
    if (c.status == 0) {
      EXPECT_EQ(run.err, "");
      continue;
    }
    EXPECT_EQ(run.err, "drmorvel-modrender: " + module_ + ": " + c.says + "\n");
  }
}

// A module longer than the show's 300000-byte buffer is read whole: its
// third sample, 131070 bytes of one level from byte 264248 on, played at
// period 113 (31388 bytes a second) sounds for 4.18 s, not the 1.14 s that
// fit below 300000 bytes. (Its first byte is 0: the voice then rests on it.)
TEST_F(ModRender, AModuleLongerThanTheShowsBufferSoundsToItsEnd) {
  std::vector<int8_t> level(131070, 100);
  level[0] = 0;
  ModuleBuilder m("M.K.", 4);
  m.sample(1, std::vector<int8_t>(131070, 0))
      .sample(2, std::vector<int8_t>(131070, 0))
      .sample(3, level);
  m.cell(0, 0, 0, 3, 113);
  const std::vector<uint8_t> bytes = m.build();
  ASSERT_EQ(bytes.size(), 1084u + 1024 + 3 * 131070);
  write_file(module_, bytes);
  const Outcome run = modrender("--mode 1 --seconds 5 '" + module_ + "' '" + wav_ + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string wav = read_file(wav_);
  ASSERT_EQ(wav.size(), 44u + 5 * 22050);
  const size_t last_sound = wav.find_last_not_of('\x80') - 44;
  EXPECT_NE(wav[44 + 22050], '\x80') << "silent after one second";
  EXPECT_NEAR(static_cast<double>(last_sound) / 22050, 131070.0 * 113 / 3546836, 0.01);
}

// The largest module the format can describe is read; one byte more is
// refused before anything is written.
TEST_F(ModRender, AFileLargerThanAnyModuleIsStatusTwo) {
  std::vector<uint8_t> bytes = test_song();
  bytes.resize(kMaxModuleSize);
  write_file(module_, bytes);
  EXPECT_EQ(modrender("--seconds 0.1 '" + module_ + "' '" + wav_ + "'").status, 0);
  bytes.push_back(0);
  write_file(module_, bytes);
  std::remove(wav_.c_str());
  const Outcome run = modrender("--seconds 0.1 '" + module_ + "' '" + wav_ + "'");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "drmorvel-modrender: " + module_ +
                         " is larger than any module can be (5112830 bytes at most)\n");
  EXPECT_NE(access(wav_.c_str(), F_OK), 0) << "something was written";
}

// Both tools: every option that takes a number refuses garbage, negative
// numbers, zero where it means nothing and values out of range (for the
// sound, what a WAV file cannot hold) with the usage text and status 2,
// before writing anything; so do unknown options and missing arguments.
TEST_F(ModRender, BadOptionsOfEitherToolPrintUsageAndGiveStatusTwo) {
  const std::string files = " '" + module_ + "' '" + wav_ + "'";
  const std::string out_dir = temp_path("capture");
  const std::string out = " --out '" + out_dir + "'";
  const char* const modrender_path = MODRENDER_PATH;
  const char* const capture_path = CAPTURE_PATH;
  struct Case {
    const char* tool;
    std::string args;
  };
  std::vector<Case> cases;
  for (const char* bad : {"3", "0", "-1", "1.0", "2x", "''", "' 2'"})
    cases.push_back({modrender_path, std::string("--mode ") + bad + files});
  // 48696 s of 16-bit sound is more than the 4 GiB a WAV file holds.
  for (const char* bad : {"abc", "-1", "0", "0.0", "86401", "1e3", "0x10", "' 5'", "5s", "inf",
                          "nan", "''", "1.", ".5.", "48696", "60000", "99999999999"})
    cases.push_back({modrender_path, std::string("--seconds ") + bad + files});
  for (const std::string& args : {"--mode" + files, std::string("--seconds"), "--bogus" + files,
                                  std::string(""), "'" + module_ + "'", files + " extra"})
    cases.push_back({modrender_path, args});

  for (const char* bad : {"0x48", "64x0", "4097x48", "64x4097", "-64x48", "+64x48", "64x", "x48",
                          "64*48", "' 64x48'", "64x48x2", "64x-48", "abc", "''", "99999999999x48"})
    cases.push_back({capture_path, std::string("--size ") + bad + out + " --to 1"});
  for (const char* bad : {"0", "-1", "1001", "30.5", "1e2", "0x3c", "''", "abc", "' 30'", "30fps"})
    cases.push_back({capture_path, std::string("--fps ") + bad + out + " --to 1"});
  for (const char* bad : {"-1", "abc", "86401", "1e1", "''", "' 1'", "1.5.0"}) {
    cases.push_back({capture_path, std::string("--from ") + bad + out + " --to 1"});
    cases.push_back({capture_path, std::string("--to ") + bad + out});
  }
  for (const char* bad : {"0", "-1", "1.5", "1000001", "abc", "''"})
    cases.push_back({capture_path, std::string("--every ") + bad + out + " --to 1"});
  for (const char* bad : {"0", "-1", "1.5", "86401", "abc", "''", "30s"})
    cases.push_back({capture_path, std::string("--stall-seconds ") + bad + out + " --to 1"});
  // audio.wav would pass 4 GiB before the last frame.
  cases.push_back({capture_path, "--to 50000" + out});
  cases.push_back({capture_path, "--fps 1000 --to 86400" + out});
  // The video's encoder takes even sizes only, and every frame.
  const std::string video = " --video '" + temp_path("v.mp4") + "'";
  for (const std::string& args :
       {"--bogus 1" + out, "--to" + out, std::string("--to 1"), "--from 2 --to 1" + out,
        "--from 1.5 --to 1.49" + out, "--size 63x48 --to 1" + video, "--size 64x47 --to 1" + video,
        "--every 2 --to 1" + video})
    cases.push_back({capture_path, args});
  // A video's kind comes from its extension; an MP4's colour planes need even sides.
  for (const char* video : {"show.avi", "show", "show.mp4.part", "show.", ".mkv/show"})
    cases.push_back({capture_path, "--to 1 --video '" + out_dir + "/" + video + "'"});
  cases.push_back({capture_path, "--to 1 --size 65x48 --video '" + out_dir + "/show.mp4'"});

  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + " " + c.args);
    std::remove(wav_.c_str());
    const Outcome run = run_tool(c.tool, c.args);
    EXPECT_EQ(run.status, 2);
    const bool is_modrender = c.tool == modrender_path;
    EXPECT_NE(run.err.find(is_modrender ? "usage: drmorvel-modrender" : "usage: drmorvel-capture"),
              std::string::npos)
        << run.err;
    EXPECT_NE(access((is_modrender ? wav_ : out_dir).c_str(), F_OK), 0) << "something was written";
  }
}

// Both tools: every limit the usage texts give is itself accepted, alone and
// with the options it combines with. The runs stop right after the options,
// at the module: modrender's is missing, the capture's data directory too.
TEST_F(ModRender, EveryLimitOfEitherToolIsAccepted) {
  const std::string files = " '" + temp_path("missing.mod") + "' '" + wav_ + "'";
  for (const char* args :
       {"--mode 1 --seconds 86400", "--mode 2 --seconds 48695", "--seconds 0.001"}) {
    SCOPED_TRACE(std::string("drmorvel-modrender ") + args);
    const Outcome run = modrender(args + files);
    EXPECT_EQ(run.err.find("usage:"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("cannot open"), std::string::npos) << run.err;
  }
  const std::string data = " --data '" + temp_path("no-data") + "'";
  const std::string out = " --out '" + temp_path("capture") + "'";
  const std::string sheet = " --sheet '" + temp_path("sheet.png") + "'";
  const std::string video = " --video '" + temp_path("v.mp4") + "'";
  // Each range's lower ends in one run and its upper ends in another; --to
  // with --out up to what audio.wav holds; --video with even sizes.
  for (const std::string& args :
       {"--size 1x1 --fps 1 --from 0 --to 0 --every 1" + out,
        "--size 4096x4096 --fps 1000 --from 86400 --to 86400 --every 1000000" + sheet,
        "--size 1x4096 --to 48695" + out, "--size 4096x1 --from 0.5 --to 0.5" + out,
        "--size 2x2 --to 86400 --stall-seconds 1" + video,
        "--size 4096x4096 --from 1 --to 2 --every 1 --stall-seconds 86400" + video}) {
    SCOPED_TRACE("drmorvel-capture " + args);
    const Outcome run = run_tool(CAPTURE_PATH, args + data);
    EXPECT_EQ(run.err.find("usage:"), std::string::npos) << run.err;
    EXPECT_NE(run.status, 2) << run.err;
  }
}

}  // namespace
