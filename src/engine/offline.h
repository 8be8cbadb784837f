// The music engine without an audio output: how drmorvel-modrender,
// drmorvel-capture, the fuzz target, the engine benchmark and the tests set
// the engine up and pull its sound. The live show keeps its own start-up
// (load_show_module, then snd_pacing_start).
//
// One rendering is, in this order:
//   1. engine_open_offline(mode): the engine as a fresh process has it, with
//      the mixing device of that sound mode installed and the tick rate set;
//   2. pt_load(image, size): the module image taken (player/player.h);
//   3. engine_render(out, frames), as often as wanted: the sound;
//   4. pt_position() at any time: the song position after the last tick.
// A host may replace sound_device between 1 and 2 (the tests record the
// device calls that way) and may set a tick observer after 1. Whatever an
// earlier rendering in the same process did, a module loaded after step 1
// plays exactly as it would in a fresh process.
#pragma once

#include <cstddef>
#include <cstdint>

#include "player/player.h"
#include "sound/sound.h"

// The player ticks per second of the show and of every offline rendering.
constexpr int kShowTicksPerSecond = 50;
// Sample frames per audio callback: what the show asks SDL for.
constexpr int kDeviceFrames = 2048;

// Puts back everything a fresh process starts with that neither the device
// nor pt_load resets: the sample slots, the channels' pan settings and
// glissando switches, the pacing's carried-over tick and byte, the plain
// (not interpolating) mixer, the random waveform's seed and the tick
// observer (none). Then installs the mixing device for sound mode 1 or 2 as
// snd_open_offline does, and sets the tick rate. Returns 0, having reset
// nothing, for any other mode.
int engine_open_offline(int mode, int ticks_per_second = kShowTicksPerSecond);

// Pulls `frames` sample frames of the current sound mode (one byte each in
// mode 1, two in mode 2) into out, through the audio callback in pieces of
// kDeviceFrames as the show's audio device asks for them: player ticks and
// mixing exactly as the show runs them.
void engine_render(uint8_t* out, size_t frames);
