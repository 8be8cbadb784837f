// The voice mixer: player voices to mono 8-bit or 16-bit PCM.

#include <algorithm>
#include <bit>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "sound/sound.h"

namespace {

int32_t mix_buffer[kMixBufferLength];

// Takes over data, bounds, volume and panning from the player voice; the
// position and step only when the player has just set them.
void refresh(Voice& mixer, Voice& player) {
  const uint32_t position = mixer.position, position_fraction = mixer.position_fraction;
  const uint32_t step = mixer.step, step_fraction = mixer.step_fraction;
  mixer = player;
  if (player.new_position) {
    player.new_position = 0;
  } else {
    mixer.position = position;
    mixer.position_fraction = position_fraction;
  }
  if (player.new_period) {
    player.new_period = 0;
  } else {
    mixer.step = step;
    mixer.step_fraction = step_fraction;
  }
  mixer.new_position = 0;
  mixer.new_period = 0;
}

inline void advance(Voice& v) {
  const uint64_t fraction = uint64_t{v.position_fraction} + v.step_fraction;
  v.position_fraction = static_cast<uint32_t>(fraction);
  v.position += v.step + static_cast<uint32_t>(fraction >> 32);
}

// Clipping written as a clamp, one store per sample, so that the compiler
// turns both loops into saturating vector packs.
void write_output(uint8_t* out, int n, int is16) {
  if (is16) {
    for (int i = 0; i < n; ++i) {
      const int32_t s = std::clamp(mix_buffer[i], int32_t{-32768}, int32_t{32767});
      if constexpr (std::endian::native == std::endian::little) {
        const int16_t v = static_cast<int16_t>(s);
        std::memcpy(out + 2 * i, &v, 2);
      } else {
        const uint16_t u = static_cast<uint16_t>(s);
        out[2 * i] = static_cast<uint8_t>(u & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>(u >> 8);
      }
    }
  } else {
    // floor(s / 512) clamped to -128..127, with 128 as the zero level; sums
    // below -65536 land on 0 as well.
    for (int i = 0; i < n; ++i)
      out[i] =
          static_cast<uint8_t>(std::clamp(mix_buffer[i] >> 9, int32_t{-128}, int32_t{127}) + 128);
  }
}

}  // namespace

int snd_mix_volume(int volume, int master_volume) {
  if (volume <= 0 || master_volume <= 0) return 0;
  // 8064 = 128 × 63: scaled by 255 / 128, then divided by 63, in one step.
  return static_cast<int>(static_cast<uint64_t>(volume) * static_cast<uint64_t>(master_volume) *
                          255 / 8064);
}

// The position and step live in one 64-bit word each while mixing: adding
// the 32.32 step as one number is the same as adding the fraction words and
// carrying into the integer words, and keeping the voice in locals lets the
// loop run in registers (the mix buffer could otherwise alias the voice).
//
// Most samples lie inside a stretch in which the voice neither passes its
// loop end nor runs off its end. Such a stretch is mixed without per-sample
// tests (mix_stretch); only the sample that crosses the end goes through the
// per-sample rules, so every byte read and every wrap is what the plain
// per-sample loop gives.
namespace {

// What a voice does with its samples: the first voice mixed into the buffer
// stores them, which saves clearing the buffer first.
enum class Into { kAdd, kStore };

template <Into into>
inline void put(int32_t& slot, int32_t value) {
  if constexpr (into == Into::kStore)
    slot = value;
  else
    slot += value;
}

#if defined(__x86_64__)
// Every note of a module steps less than one byte per output sample at
// 44100 Hz, so 16 consecutive samples read bytes from a window of 16. With
// AVX2 one block of 16 samples is one byte shuffle of that window plus a
// few vector operations, about four times faster than byte-by-byte loads.
// The window is read only where it lies inside the voice's bytes.
bool has_avx2() {
  static const bool yes = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return yes;
}

template <Into into>
__attribute__((target("avx2"))) inline void put8(int32_t* slot, __m256i value) {
  __m256i* const p = reinterpret_cast<__m256i*>(slot);
  if constexpr (into == Into::kAdd) value = _mm256_add_epi32(_mm256_loadu_si256(p), value);
  _mm256_storeu_si256(p, value);
}

// Mixes whole blocks of 16 samples of a voice with a step under one byte
// while its window of 16 bytes ends at or before byte end, at most count
// samples. Returns the number of samples mixed and advances position.
template <Into into>
__attribute__((target("avx2"))) int mix_blocks(const int8_t* data, int32_t* buffer, int count,
                                               uint64_t& position, uint64_t step, int32_t a,
                                               uint64_t end) {
  // Byte offsets of the 16 samples from the first one's byte are
  // (f + m * step) >> 32 for m = 0..15, f the first one's fraction: 0..15.
  const __m256i step4 = _mm256_set1_epi64x(static_cast<int64_t>(4 * step));
  const __m256i m0 =
      _mm256_set_epi64x(static_cast<int64_t>(3 * step), static_cast<int64_t>(2 * step),
                        static_cast<int64_t>(step), 0);
  const __m256i m1 = _mm256_add_epi64(m0, step4);
  const __m256i m2 = _mm256_add_epi64(m1, step4);
  const __m256i m3 = _mm256_add_epi64(m2, step4);
  // Packing the upper words below leaves the offsets in the order
  // 0 1 4 5 8 9 12 13 2 3 6 7 10 11 14 15; this puts them back.
  const __m128i order = _mm_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15);
  const __m256i factor = _mm256_set1_epi32(a);
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    const uint64_t first = position + step;
    const uint64_t byte = first >> 32;
    if (byte + 16 > end) break;
    const __m256i f = _mm256_set1_epi64x(static_cast<int64_t>(first & 0xFFFFFFFFu));
    const __m256 q0 = _mm256_castsi256_ps(_mm256_add_epi64(f, m0));
    const __m256 q1 = _mm256_castsi256_ps(_mm256_add_epi64(f, m1));
    const __m256 q2 = _mm256_castsi256_ps(_mm256_add_epi64(f, m2));
    const __m256 q3 = _mm256_castsi256_ps(_mm256_add_epi64(f, m3));
    const __m256i upper01 = _mm256_castps_si256(_mm256_shuffle_ps(q0, q1, 0xDD));
    const __m256i upper23 = _mm256_castps_si256(_mm256_shuffle_ps(q2, q3, 0xDD));
    const __m256i words = _mm256_packus_epi32(upper01, upper23);
    const __m256i bytes = _mm256_packus_epi16(words, words);
    const __m128i offsets = _mm_shuffle_epi8(
        _mm_unpacklo_epi64(_mm256_castsi256_si128(bytes), _mm256_extracti128_si256(bytes, 1)),
        order);
    const __m128i window = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + byte));
    const __m128i samples = _mm_shuffle_epi8(window, offsets);
    put8<into>(buffer + i, _mm256_mullo_epi32(_mm256_cvtepi8_epi32(samples), factor));
    put8<into>(buffer + i + 8,
               _mm256_mullo_epi32(_mm256_cvtepi8_epi32(_mm_srli_si128(samples, 8)), factor));
    position += 16 * step;
  }
  return i;
}
#endif

// How many steps a voice at position can take while its position stays
// below end (both 32.32). The sum never passes 2^64 within them, so the
// stretch loop's 64-bit additions cannot wrap.
inline uint64_t steps_below(uint64_t position, uint64_t step, uint64_t end) {
  if (position >= end) return 0;
  if (step == 0) return UINT64_MAX;
  return (end - 1 - position) / step;
}

inline int stretch_length(uint64_t steps, int left) {
  return steps < static_cast<uint64_t>(left) ? static_cast<int>(steps) : left;
}

// Mixes count samples of a voice that stays below byte end (0: no bound
// known, which rules out the block loop) all along; returns the new
// position.
template <Into into>
inline uint64_t mix_stretch(const int8_t* data, int32_t* buffer, int count, uint64_t position,
                            uint64_t step, int32_t a, uint64_t end) {
  if (step == 0) {
    // A voice standing still (most often a parked one) adds one value.
    const int32_t s = data[position >> 32] * a;
    if (into == Into::kAdd && s == 0) return position;
    for (int i = 0; i < count; ++i) put<into>(buffer[i], s);
    return position;
  }
  int i = 0;
#if defined(__x86_64__)
  if (step < (uint64_t{1} << 32) && count >= 16 && has_avx2())
    i = mix_blocks<into>(data, buffer, count, position, step, a, end);
#endif
  for (; i < count; ++i) {
    position += step;
    put<into>(buffer[i], data[position >> 32] * a);
  }
  return position;
}

template <Into into>
void mix_looped(Voice& v, int32_t* buffer, int n, int32_t a) {
  const int8_t* const data = v.data;
  uint64_t position = (uint64_t{v.position} << 32) | v.position_fraction;
  const uint64_t step = (uint64_t{v.step} << 32) | v.step_fraction;
  const uint32_t loop_end = v.loop_end;
  // Wraps to one byte after the loop start, by design: a loop plays bytes
  // loop start + 1 up to loop end. The fraction carries over, so an
  // overshoot of more than one byte drops the extra bytes.
  const uint64_t restart = uint64_t{static_cast<uint32_t>(v.loop_start + 1)} << 32;
  if (loop_end == UINT32_MAX) {
    // Every integer position is inside the loop: it never wraps, and the
    // 64-bit position may wrap around as the plain loop's words do.
    position = mix_stretch<into>(data, buffer, n, position, step, a, 0);
  } else {
    const uint64_t end_byte = uint64_t{loop_end} + 1;
    const uint64_t end = end_byte << 32;
    for (int i = 0; i < n;) {
      const int count = stretch_length(steps_below(position, step, end), n - i);
      position = mix_stretch<into>(data, buffer + i, count, position, step, a, end_byte);
      i += count;
      if (i == n) break;
      // The next sample passes the loop end (or the 64-bit sum wraps).
      position += step;
      if (static_cast<uint32_t>(position >> 32) > loop_end)
        position = restart | (position & 0xFFFFFFFFu);
      put<into>(buffer[i++], data[position >> 32] * a);
    }
  }
  v.position = static_cast<uint32_t>(position >> 32);
  v.position_fraction = static_cast<uint32_t>(position);
}

template <Into into>
void mix_one_shot(Voice& v, int32_t* buffer, int n, int32_t a) {
  const int8_t* const data = v.data;
  uint64_t position = (uint64_t{v.position} << 32) | v.position_fraction;
  const uint64_t step = (uint64_t{v.step} << 32) | v.step_fraction;
  const uint32_t length = v.length;
  const uint64_t end = uint64_t{length} << 32;
  for (int i = 0; i < n;) {
    const int count = stretch_length(steps_below(position, step, end), n - i);
    position = mix_stretch<into>(data, buffer + i, count, position, step, a, length);
    i += count;
    if (i == n) break;
    // The next sample runs off the end (or the 64-bit sum wraps).
    position += step;
    const uint32_t index = static_cast<uint32_t>(position >> 32);
    if (index >= length) {
      // Parked: the voice keeps adding its first byte with the factor of
      // this call until the player sets a new position or period. Its
      // fraction word stays as it was.
      position &= 0xFFFFFFFFu;
      v.step = 0;
      v.step_fraction = 0;
      v.volume = 0;
      mix_stretch<into>(data, buffer + i, n - i, position, 0, a, 0);
      break;
    }
    put<into>(buffer[i++], data[index] * a);
  }
  v.position = static_cast<uint32_t>(position >> 32);
  v.position_fraction = static_cast<uint32_t>(position);
}

template <Into into>
void mix_voice(Voice& v, int32_t* buffer, int n, int a) {
  if (v.looped)
    mix_looped<into>(v, buffer, n, a);
  else
    mix_one_shot<into>(v, buffer, n, a);
}

}  // namespace

void snd_mix_voice(Voice& v, int32_t* buffer, int n, int a) {
  mix_voice<Into::kAdd>(v, buffer, n, a);
}

void snd_mix_voice_interp(Voice& v, int32_t* buffer, int n, int a) {
  for (int i = 0; i < n; ++i) {
    advance(v);
    if (v.looped) {
      if (v.position > v.loop_end) v.position = v.loop_start + 1;
    } else if (v.position >= v.length) {
      v.position = v.length;
      v.step = 0;
      v.step_fraction = 0;
      v.volume = 0;
    }
    const int32_t f = static_cast<int32_t>(v.position_fraction >> 26);
    const int32_t s0 = v.data[v.position];
    const int32_t s1 = v.data[v.position + 1];
    // The weights add up to 63, not 64.
    buffer[i] += ((a * s0 * (63 - f)) >> 6) + ((a * s1 * f) >> 6);
  }
}

void snd_mix(uint8_t* out, int n, int is16) {
  if (n < 0) n = 0;
  int voices = sound.voice_count > kVoiceCount ? kVoiceCount : sound.voice_count;
  if (voices < 0) voices = 0;
  for (int v = 0; v < voices; ++v) refresh(mixer_voices[v], player_voices[v]);

  // Which voices play and at what factor is decided once per call: a voice
  // that parks during the call keeps its factor to the end of it.
  int a[kVoiceCount];
  bool audible[kVoiceCount];
  for (int v = 0; v < voices; ++v) {
    const Voice& voice = mixer_voices[v];
    audible[v] = voice.length != 0 && voice.volume != 0 && voice.data != nullptr;
    a[v] = snd_mix_volume(voice.volume, sound.master_volume);
  }

  // The mix buffer holds one tick at 44100 Hz; longer calls go in pieces.
  for (int done = 0; done < n;) {
    const int chunk = n - done < kMixBufferLength ? n - done : kMixBufferLength;
    // The first voice stores its samples instead of adding them to a
    // cleared buffer; the buffer is cleared only when no voice plays.
    bool stored = false;  // a voice has already written into the buffer
    for (int v = 0; v < voices; ++v) {
      if (!audible[v]) continue;
      if (sound.interpolate) {
        if (!stored) std::memset(mix_buffer, 0, sizeof(int32_t) * static_cast<size_t>(chunk));
        snd_mix_voice_interp(mixer_voices[v], mix_buffer, chunk, a[v]);
      } else if (!stored) {
        mix_voice<Into::kStore>(mixer_voices[v], mix_buffer, chunk, a[v]);
      } else {
        mix_voice<Into::kAdd>(mixer_voices[v], mix_buffer, chunk, a[v]);
      }
      stored = true;
    }
    if (!stored) std::memset(mix_buffer, 0, sizeof(int32_t) * static_cast<size_t>(chunk));
    write_output(is16 ? out + 2 * done : out + done, chunk, is16);
    done += chunk;
  }
}
