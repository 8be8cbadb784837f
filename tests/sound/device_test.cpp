// The voice operations, and the device choice answered on standard input.

#include <SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "run_dir.h"
#include "sound/sound.h"

// What SDL is asked for. This test links with --wrap for SDL_OpenAudio and
// SDL_AddTimer, so the show's calls come here first: the audio request is
// kept and passed on to SDL, with the show's callback behind one that logs
// each call (its length, the player ticks run by its end); the timer is
// only kept (the tests tick the player themselves).
namespace {
SDL_AudioSpec asked_audio;
SDL_AudioSpec opened_audio;  // as the callback gets it
int audio_opens = 0;
Uint32 asked_interval = 0;
SDL_TimerCallback asked_timer = nullptr;

struct CallbackEntry {
  int bytes;
  int ticks;  // player ticks run so far, when the call returned
};
std::array<CallbackEntry, 8192> callback_log;
std::atomic<int> callback_calls{0};
std::atomic<int> ticks_run{0};

void logging_callback(void* userdata, Uint8* stream, int len) {
  snd_audio_callback(userdata, stream, len);
  const int call = callback_calls.load();
  if (call < static_cast<int>(callback_log.size())) callback_log[call] = {len, ticks_run.load()};
  callback_calls.store(call + 1);
}
}  // namespace

extern "C" int __real_SDL_OpenAudio(SDL_AudioSpec* desired, SDL_AudioSpec* obtained);
extern "C" int __wrap_SDL_OpenAudio(SDL_AudioSpec* desired, SDL_AudioSpec* obtained) {
  asked_audio = *desired;
  ++audio_opens;
  callback_calls = 0;
  SDL_AudioSpec logged = *desired;
  if (logged.callback == snd_audio_callback) logged.callback = logging_callback;
  const int result = __real_SDL_OpenAudio(&logged, obtained);
  // Without an obtained spec SDL fills in the desired one's buffer size.
  desired->size = logged.size;
  desired->silence = logged.silence;
  opened_audio = obtained != nullptr ? *obtained : logged;
  return result;
}
extern "C" SDL_TimerID __wrap_SDL_AddTimer(Uint32 interval, SDL_TimerCallback callback, void*) {
  asked_interval = interval;
  asked_timer = callback;
  return 1;
}

namespace {

constexpr char kMenu[] = "Select your sound device:\n0 - None\n1 - 8-bit 22kHz\n2 - 16-bit 44kHz\n";
constexpr char kSilentName[] = "Super Quenlo NoSound Device 2.0c";

// ---- Voice operations --------------------------------------------------

class VoiceOperationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    snd_open_offline(kSound16Bit);
    sound_device.snd_select_voice(2);
  }
  Voice& voice() { return player_voices[2]; }
};

TEST_F(VoiceOperationTest, PeriodToStep) {
  struct Case {
    int period, rate;
    uint32_t step, fraction24;
  };
  const Case cases[] = {{428, 44100, 0, 3152670},
                        {428, 22050, 0, 6305341},
                        {28, 44100, 2, 14636395},
                        {1, 44100, 80, 7165887}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.period << " at " << c.rate);
    sound.step_rate = c.rate;
    voice().new_period = 0;
    sound_device.snd_set_period(c.period);
    EXPECT_EQ(voice().step, c.step);
    EXPECT_EQ(voice().step_fraction, c.fraction24 << 8);
    EXPECT_EQ(voice().new_period, 1);
  }
  // Period 0, and anything below, stands still but still counts as new.
  for (int period : {0, -1, -3628}) {
    voice().new_period = 0;
    sound_device.snd_set_period(period);
    EXPECT_EQ(voice().step, 0u);
    EXPECT_EQ(voice().step_fraction, 0u);
    EXPECT_EQ(voice().new_period, 1);
  }
}

TEST_F(VoiceOperationTest, StepRateFollowsTheOpenedRate) {
  snd_open_offline(kSound8Bit);
  EXPECT_EQ(sound.step_rate, 22050);
  sound_device.snd_select_voice(2);
  sound_device.snd_set_period(428);
  EXPECT_EQ(voice().step_fraction, 6305341u << 8);
}

TEST_F(VoiceOperationTest, Offset) {
  static const int8_t data[100] = {};
  sound_device.snd_define_sample(5, data, 100, 20, 60, 1);
  sound_device.snd_set_sample(5);
  voice().position_fraction = 77;
  voice().new_position = 0;
  sound_device.snd_set_offset(30);
  EXPECT_EQ(voice().position, 30u);
  EXPECT_EQ(voice().position_fraction, 0u);
  EXPECT_EQ(voice().new_position, 1);
  EXPECT_EQ(voice().looped, 1);
  // Past the loop end: the loop is given up, the position is still taken.
  voice().new_position = 0;
  sound_device.snd_set_offset(61);
  EXPECT_EQ(voice().position, 61u);
  EXPECT_EQ(voice().looped, 0);
  EXPECT_EQ(voice().new_position, 1);
  // At or past the end: ignored, but the loop is still given up.
  sound_device.snd_set_sample(5);
  voice().new_position = 0;
  voice().position_fraction = 9;
  for (uint32_t offset : {100u, 101u, 65535u * 256}) {
    sound_device.snd_set_offset(offset);
    EXPECT_EQ(voice().position, 61u);
    EXPECT_EQ(voice().position_fraction, 9u);
    EXPECT_EQ(voice().new_position, 0);
    EXPECT_EQ(voice().looped, 0);
  }
  // At the end with the loop closing the sample: ignored, loop kept.
  sound_device.snd_define_sample(6, data, 100, 20, 100, 1);
  sound_device.snd_set_sample(6);
  sound_device.snd_set_offset(100);
  EXPECT_EQ(voice().looped, 1);
  EXPECT_EQ(voice().new_position, 0);
}

TEST_F(VoiceOperationTest, SetSampleKeepsThePlayingPosition) {
  static const int8_t a[50] = {}, b[80] = {};
  EXPECT_EQ(sound_device.snd_define_sample(1, a, 50, 0, 0, 0), 1);
  EXPECT_EQ(sound_device.snd_define_sample(2, b, 80, 10, 70, 1), 1);
  sound_device.snd_set_sample(1);
  sound_device.snd_set_offset(40);
  sound_device.snd_set_period(428);
  sound_device.snd_set_volume(33);
  sound_device.snd_set_panning(200);
  voice().position_fraction = 123;
  voice().new_period = voice().new_position = 0;
  sound_device.snd_set_sample(2);
  EXPECT_EQ(voice().data, b);
  EXPECT_EQ(voice().sample, 2);
  EXPECT_EQ(voice().length, 80u);
  EXPECT_EQ(voice().loop_start, 10u);
  EXPECT_EQ(voice().loop_end, 70u);
  EXPECT_EQ(voice().looped, 1);
  EXPECT_EQ(voice().position, 40u);
  EXPECT_EQ(voice().position_fraction, 123u);
  EXPECT_EQ(voice().step_fraction, 3152670u << 8);
  EXPECT_EQ(voice().volume, 33);
  EXPECT_EQ(voice().panning, 200);
  EXPECT_EQ(voice().new_period, 0);
  EXPECT_EQ(voice().new_position, 0);
  // Other voices are untouched.
  EXPECT_EQ(player_voices[1].data, nullptr);
  EXPECT_EQ(player_voices[3].volume, 0);
}

TEST_F(VoiceOperationTest, StoredValues) {
  for (auto [given, stored] : {std::pair{64, 64}, {252, 252}, {253, 252}, {300, 252}, {-5, -5}}) {
    sound_device.snd_set_master_volume(given);
    EXPECT_EQ(sound.master_volume, stored) << given;
  }
  sound_device.snd_set_volume(255);
  EXPECT_EQ(voice().volume, 255);
  sound_device.snd_set_voice_count(12);
  EXPECT_EQ(sound.voice_count, 12);
}

TEST_F(VoiceOperationTest, ResetOfTheMixingDevice) {
  player_voices[7].volume = 40;
  mixer_voices[7].position = 99;
  sample_slots[3].looped = 1;
  snd_open_offline(kSound16Bit);
  for (const Voice* v : {&player_voices[7], &mixer_voices[7]}) {
    EXPECT_EQ(v->volume, 0);
    EXPECT_EQ(v->position, 0u);
    EXPECT_EQ(v->panning, 127);
    EXPECT_EQ(v->new_period, 1);
    EXPECT_EQ(v->new_position, 1);
  }
  EXPECT_EQ(sample_slots[3].looped, 0);
  EXPECT_EQ(sound.master_volume, 64);
}

// ---- Device choice ---------------------------------------------------------

class DeviceChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    sound = SoundState{};
    pacing = PacingState{};
    asked_audio = SDL_AudioSpec{};
    audio_opens = 0;
    asked_interval = 0;
    asked_timer = nullptr;
  }
  void TearDown() override {
    SDL_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  // Answers the prompt with text on standard input; returns the choice's
  // result and keeps what it printed.
  int choose(const std::string& text) {
    char path[] = "/tmp/drmorvel-answer-XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
    EXPECT_NE(std::freopen(path, "r", stdin), nullptr);
    unlink(path);
    testing::internal::CaptureStdout();
    const int result = snd_choose_device();
    printed = testing::internal::GetCapturedStdout();
    return result;
  }
  std::string printed;
};

TEST_F(DeviceChoiceTest, SixteenBitOutput) {
  for (const char* text : {"2\n", "2x\n", "  2", "2 1\n"}) {
    SCOPED_TRACE(text);
    TearDown();
    SetUp();
    player_voices[4].volume = 50;
    EXPECT_EQ(choose(text), 1);
    EXPECT_EQ(printed, kMenu);
    EXPECT_EQ(sound.sound_mode, kSound16Bit);
    EXPECT_EQ(sound.mixing_rate, 44100);
    EXPECT_EQ(sound.step_rate, 44100);
    EXPECT_EQ(sound.master_volume, 64);
    EXPECT_STREQ(sound.device_name, "SDL audio");
    // Opened but paused until the pacing starts, voices reset.
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
    EXPECT_EQ(player_voices[4].volume, 0);
    EXPECT_EQ(player_voices[4].panning, 127);
    sound_device.snd_close();
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED);
  }
}

TEST_F(DeviceChoiceTest, EightBitOutput) {
  EXPECT_EQ(choose("1\n"), 1);
  EXPECT_EQ(sound.sound_mode, kSound8Bit);
  EXPECT_EQ(sound.mixing_rate, 22050);
  EXPECT_EQ(sound.step_rate, 22050);
  EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
}

TEST_F(DeviceChoiceTest, SilentDevice) {
  player_voices[4].volume = 50;
  EXPECT_EQ(choose("0\n"), 1);
  EXPECT_EQ(printed, kMenu);
  EXPECT_EQ(sound.sound_mode, kSoundNone);
  EXPECT_STREQ(sound.device_name, kSilentName);
  EXPECT_EQ(sound.master_volume, 64);
  EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED);
  // Its reset, start and close do nothing; the voice operations still store.
  EXPECT_EQ(player_voices[4].volume, 50);
  sound_device.snd_start();
  sound_device.snd_close();
  sound_device.snd_select_voice(4);
  sound_device.snd_set_volume(20);
  sound_device.snd_set_period(428);
  EXPECT_EQ(player_voices[4].volume, 20);
  EXPECT_EQ(player_voices[4].step_fraction, 3152670u << 8);
}

TEST_F(DeviceChoiceTest, UnusableAnswersFallBackToTheSilentDevice) {
  for (const char* text : {"3\n", "x\n", "-1\n", "", "   \n", "\n\n"}) {
    SCOPED_TRACE(testing::Message() << '"' << text << '"');
    sound.sound_mode = kSound16Bit;
    sound.device_name = "";
    EXPECT_EQ(choose(text), 0);
    EXPECT_EQ(printed, kMenu);
    EXPECT_EQ(sound.sound_mode, kSoundNone);
    EXPECT_STREQ(sound.device_name, kSilentName);
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED);
    sound_device.snd_select_voice(1);
    sound_device.snd_set_volume(9);
    EXPECT_EQ(player_voices[1].volume, 9);
  }
}

TEST_F(DeviceChoiceTest, LongAnswerIsBounded) {
  EXPECT_EQ(choose("2" + std::string(300, 'y') + "\n"), 1);
  EXPECT_EQ(sound.sound_mode, kSound16Bit);
}

TEST_F(DeviceChoiceTest, AudioThatCannotOpenFallsBackToTheSilentDevice) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  for (const char* text : {"2\n", "1\n"}) {
    SCOPED_TRACE(text);
    sound.error_text = "";
    EXPECT_EQ(choose(text), 0);
    EXPECT_STREQ(sound.error_text, "SDL audio error");
    EXPECT_EQ(sound.sound_mode, kSoundNone);
    EXPECT_STREQ(sound.device_name, kSilentName);
    EXPECT_EQ(sound.master_volume, 64);
  }
  EXPECT_EQ(snd_open_sdl(44100), 0);
}

// Each answer's request as SDL receives it, and then what starting the
// pacing asks for: the opened stream plays, or a 20 ms timer ticks the player.
TEST_F(DeviceChoiceTest, WhatSdlIsAskedForEachAnswer) {
  struct Case {
    const char* driver;
    const char* answer;
    int freq;  // 0: no audio device asked for
    SDL_AudioFormat format;
    bool silent;
  };
  const Case cases[] = {{"dummy", "2\n", 44100, AUDIO_S16LSB, false},
                        {"dummy", "1\n", 22050, AUDIO_U8, false},
                        {"dummy", "0\n", 0, 0, true},
                        {"dummy", "x\n", 0, 0, true},
                        {"no-such-driver", "2\n", 44100, AUDIO_S16LSB, true},
                        {"no-such-driver", "1\n", 22050, AUDIO_U8, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.driver << ", answer " << c.answer);
    TearDown();
    SetUp();
    setenv("SDL_AUDIODRIVER", c.driver, 1);
    choose(c.answer);
    EXPECT_EQ(audio_opens, c.freq != 0 ? 1 : 0);
    if (c.freq != 0) {
      EXPECT_EQ(asked_audio.freq, c.freq);
      EXPECT_EQ(asked_audio.format, c.format)
          << "sample format 0x" << std::hex << asked_audio.format;
      EXPECT_EQ(asked_audio.channels, 1);
      EXPECT_EQ(asked_audio.samples, 2048);
      EXPECT_EQ(asked_audio.callback, snd_audio_callback);
      EXPECT_EQ(asked_audio.userdata, nullptr);
    }
    snd_pacing_start(50);
    EXPECT_EQ(asked_interval, c.silent ? 20u : 0u) << "timer interval in ms";
    EXPECT_EQ(asked_timer, c.silent ? snd_timer_tick : nullptr);
    EXPECT_EQ(SDL_GetAudioStatus(), c.silent ? SDL_AUDIO_STOPPED : SDL_AUDIO_PLAYING);
  }
}

// The pace end to end, without timing the machine, through SDL's disk
// driver: it runs the callback as fast as it writes the stream to a file.
// Whatever lengths SDL asks the callback for (SDL 3 underneath, through
// sdl2-compat, may ask for others than the 2048 frames the show opened),
// the player ticks fall every 882 samples (441 at 22050 Hz) of the stream:
// once a call has ended at sample n, the ticks of the stretches from 0 up
// to n have run, and the one starting at n too. And on SDL 2, whose disk
// driver writes the stream in the format the device was opened with, the
// file's bytes last one second per 50 ticks; the silence written while the
// stream was still paused is left out (the file's size at the first tick).
// SDL 3 writes its own format (tests/shell/disk_audio.py).
std::atomic<long> size_at_first_tick{-1};
const char* disk_file = nullptr;

long file_size(const char* path) {
  struct stat st {};
  return stat(path, &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

void count_disk_tick() {
  if (ticks_run.fetch_add(1) == 0) size_at_first_tick = file_size(disk_file);
}

bool runs_on_sdl3() { return dlopen("libSDL3.so.0", RTLD_LAZY | RTLD_NOLOAD) != nullptr; }

TEST_F(DeviceChoiceTest, TheDiskDriversBytesLastOneSecondPerFiftyTicks) {
  const std::string path = RunDirectory::path("device_test") + "disk-audio.raw";
  disk_file = path.c_str();
  const bool sdl3 = runs_on_sdl3();
  for (const char* answer : {"2\n", "1\n"}) {
    SCOPED_TRACE(answer);
    TearDown();
    SetUp();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", disk_file, 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    setenv("SDL_AUDIO_DISK_TIMESCALE", "0", 1);  // SDL 3's name for it
    ticks_run = 0;
    size_at_first_tick = -1;
    snd_set_tick_observer(count_disk_tick);
    ASSERT_EQ(choose(answer), 1);
    snd_pacing_start(50);
    // 40 s of sound; the driver does not wait between buffers.
    for (int waited = 0; ticks_run < 2000 && waited < 60000; waited += 5) SDL_Delay(5);
    SDL_CloseAudio();
    snd_set_tick_observer(nullptr);
    ASSERT_GE(ticks_run, 2000);

    const int width = static_cast<int>(SDL_AUDIO_BITSIZE(asked_audio.format)) / 8;
    const int per_tick = snd_samples_per_tick();
    const int calls = std::min<int>(callback_calls, static_cast<int>(callback_log.size()));
    long samples = 0;
    std::map<int, int> lengths;  // frames per call: how many calls
    for (int i = 0; i < calls; ++i) {
      samples += callback_log[i].bytes / width;
      ++lengths[callback_log[i].bytes / width];
      ASSERT_EQ(callback_log[i].ticks, samples / per_tick + 1)
          << "after call " << i << " (" << callback_log[i].bytes << " bytes), at sample "
          << samples;
    }
    std::printf(
        "SDL %d: the callback gets %d-bit %d Hz, %d channel(s), buffers of %u bytes; it was called "
        "for",
        sdl3 ? 3 : 2, SDL_AUDIO_BITSIZE(opened_audio.format), opened_audio.freq,
        opened_audio.channels, opened_audio.size);
    for (const auto& [frames, count] : lengths) std::printf(" %d frames x %d", frames, count);
    std::printf("\n");
    if (sdl3) continue;
    const long bytes = file_size(disk_file) - size_at_first_tick;
    const int bytes_per_second = asked_audio.freq * asked_audio.channels * width;
    const double ticks_per_second =
        (ticks_run - 1) / (static_cast<double>(bytes) / bytes_per_second);
    // Within 1 %: the driver's file buffer and the tick under way at either end.
    EXPECT_NEAR(ticks_per_second, 50.0, 0.5)
        << ticks_run << " ticks in " << bytes << " bytes of sound";
  }
  std::remove(disk_file);
  unsetenv("SDL_DISKAUDIOFILE");
  unsetenv("SDL_DISKAUDIODELAY");
  unsetenv("SDL_AUDIO_DISK_TIMESCALE");
}

}  // namespace
