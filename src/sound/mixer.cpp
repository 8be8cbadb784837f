// The voice mixer: player voices to mono 8-bit or 16-bit PCM.

#include <bit>
#include <cstring>

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

void write_output(uint8_t* out, int n, int is16) {
  if (is16) {
    for (int i = 0; i < n; ++i) {
      int32_t s = mix_buffer[i];
      s = s < -32768 ? -32768 : (s > 32767 ? 32767 : s);
      if constexpr (std::endian::native == std::endian::little) {
        // One 16-bit store per sample lets the compiler vectorise the clip.
        const int16_t v = static_cast<int16_t>(s);
        std::memcpy(out + 2 * i, &v, 2);
      } else {
        const uint16_t u = static_cast<uint16_t>(s);
        out[2 * i] = static_cast<uint8_t>(u & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>(u >> 8);
      }
    }
  } else {
    for (int i = 0; i < n; ++i) {
      const int32_t s = mix_buffer[i];
      if (s < -65536) {
        out[i] = 0;
        continue;
      }
      const int32_t b = s >> 9;  // floor(s / 512)
      out[i] = b > 127 ? 255 : static_cast<uint8_t>(b + 128);
    }
  }
}

}  // namespace

int snd_mix_volume(int volume, int master_volume) {
  if (volume <= 0 || master_volume <= 0) return 0;
  return static_cast<int>(static_cast<uint64_t>(volume) * static_cast<uint64_t>(master_volume) * 255 / 8064);
}

// The position and step live in one 64-bit word each while mixing: adding
// the 32.32 step as one number is the same as adding the fraction words and
// carrying into the integer words, and keeping the voice in locals lets the
// loop run in registers (the mix buffer could otherwise alias the voice).
void snd_mix_voice(Voice& v, int32_t* buffer, int n, int a) {
  const int8_t* const data = v.data;
  uint64_t position = (uint64_t{v.position} << 32) | v.position_fraction;
  const uint64_t step = (uint64_t{v.step} << 32) | v.step_fraction;
  if (v.looped) {
    // Wraps to one byte after the loop start, by design: a loop plays
    // bytes loop start + 1 up to loop end. The fraction carries over.
    const uint32_t loop_end = v.loop_end;
    const uint64_t restart = uint64_t{static_cast<uint32_t>(v.loop_start + 1)} << 32;
    for (int i = 0; i < n; ++i) {
      position += step;
      if (static_cast<uint32_t>(position >> 32) > loop_end) position = restart | (position & 0xFFFFFFFFu);
      buffer[i] += data[position >> 32] * a;
    }
    v.position = static_cast<uint32_t>(position >> 32);
    v.position_fraction = static_cast<uint32_t>(position);
    return;
  }
  const uint32_t length = v.length;
  int i = 0;
  for (; i < n; ++i) {
    position += step;
    const uint32_t index = static_cast<uint32_t>(position >> 32);
    if (index >= length) break;
    buffer[i] += data[index] * a;
  }
  if (i < n) {
    // Parked: the voice keeps adding its first byte until the player sets
    // a new position or period. Its fraction word stays as it was.
    position &= 0xFFFFFFFFu;
    v.step = 0;
    v.step_fraction = 0;
    v.volume = 0;
    const int32_t s = data[0] * a;
    for (; i < n; ++i) buffer[i] += s;
  }
  v.position = static_cast<uint32_t>(position >> 32);
  v.position_fraction = static_cast<uint32_t>(position);
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
    std::memset(mix_buffer, 0, sizeof(int32_t) * static_cast<size_t>(chunk));
    for (int v = 0; v < voices; ++v) {
      if (!audible[v]) continue;
      if (sound.interpolate)
        snd_mix_voice_interp(mixer_voices[v], mix_buffer, chunk, a[v]);
      else
        snd_mix_voice(mixer_voices[v], mix_buffer, chunk, a[v]);
    }
    write_output(is16 ? out + 2 * done : out + done, chunk, is16);
    done += chunk;
  }
}
