// Throughput of the music engine: the mixer alone for 4, 8 and 32 voices
// (samples per second of one snd_mix of a tick), and whole songs played
// through the audio callback as the show and drmorvel-modrender play them
// (audio seconds per second, i.e. times real time).

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "engine/offline.h"
#include "load_module.h"
#include "test_songs.h"

namespace {

// A looping sample with its guard byte, and a one-shot one, in static storage
// as the module buffer would hold them.
int8_t tone[4096 + 2];

void start_voices(int count) {
  engine_open_offline(kSound16Bit);
  const std::vector<int8_t> wave = sine_wave(4096, 16, 110);
  std::memcpy(tone, wave.data(), wave.size());
  snd_define_sample(1, tone, 4096, 0, 4096, 1);
  snd_set_voice_count(count);
  for (int v = 0; v < count; ++v) {
    snd_select_voice(v);
    snd_set_sample(1);
    snd_set_volume(64);
    snd_set_period(kOctave2[v % 12] >> (v % 3));  // steps of 0.19 to 0.8 bytes
    snd_set_offset(static_cast<uint32_t>(v) * 97);
  }
}

// One tick at 44100 Hz of 16-bit output per iteration, from the benchmark's
// number of voices, plain or interpolating.
void mix_16bit_ticks(benchmark::State& state, int voices, int interpolate) {
  start_voices(voices);
  sound.interpolate = interpolate;
  static uint8_t out[kMixBufferLength * 2];
  for (auto _ : state) {
    snd_mix(out, kMixBufferLength, 1);
    benchmark::DoNotOptimize(out);
  }
  sound.interpolate = 0;
  state.SetItemsProcessed(state.iterations() * kMixBufferLength);
}

void BM_Mix16Bit(benchmark::State& state) {
  const int voices = static_cast<int>(state.range(0));
  mix_16bit_ticks(state, voices, 0);
  state.counters["voice_samples/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kMixBufferLength * voices,
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Mix16Bit)->Arg(4)->Arg(8)->Arg(32);

void BM_Mix8Bit(benchmark::State& state) {
  const int voices = static_cast<int>(state.range(0));
  start_voices(voices);
  static uint8_t out[441];
  for (auto _ : state) {
    snd_mix(out, 441, 0);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * 441);
}
BENCHMARK(BM_Mix8Bit)->Arg(4)->Arg(32);

void BM_MixInterpolated(benchmark::State& state) {
  mix_16bit_ticks(state, static_cast<int>(state.range(0)), 1);
}
BENCHMARK(BM_MixInterpolated)->Arg(4)->Arg(32);

// A whole song through the audio callback in 2048-frame buffers: player
// ticks, voice operations, refreshes and mixing, at 44100 Hz.
void BM_PlaySong(benchmark::State& state) {
  const int channels = static_cast<int>(state.range(0));
  const char* tag = channels == 4 ? "M.K." : channels == 8 ? "8CHN" : "32CH";
  const std::vector<uint8_t> file = busy_song(tag, channels, channels == 32 ? 32 : 64).build();
  engine_open_offline(kSound16Bit);
  if (!load_module_image(file)) {
    state.SkipWithError("module not accepted");
    return;
  }
  static uint8_t stream[kDeviceFrames * 2];
  for (auto _ : state) {
    engine_render(stream, kDeviceFrames);
    benchmark::DoNotOptimize(stream);
  }
  state.SetItemsProcessed(state.iterations() * 2048);
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 2048 / 44100, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlaySong)->Arg(4)->Arg(8)->Arg(32);

}  // namespace

BENCHMARK_MAIN();
