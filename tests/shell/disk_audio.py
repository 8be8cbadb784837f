#!/usr/bin/env python3
"""What SDL's disk audio driver wrote, against the offline rendering.

    disk_audio.py RAW REFERENCE.wav MIN_SAMPLES [WRITE_BYTES]
    disk_audio.py watch RAW PID

The show opens 16-bit mono at 44100 Hz. SDL 2's disk driver writes that
stream as it is, after whole buffers of silence written while the output was
still paused; SDL 3 (under sdl2-compat) converts it to the format it opened
the device in and writes that, headerless. So the file is decoded in each
format the stream can have become (16-bit integer or 32-bit float, one or two
channels, every channel the same) and the one that holds the rendering is
named: after a stretch of silence, every sample equals REFERENCE's for at
least MIN_SAMPLES samples, up to the end of the shorter of the two.

SDL 3 writes in real time, one device buffer at a time, and what is still in
flight when the show closes its sound never reaches the file: up to one
device buffer and the one buffer of the show's callback (2048 frames) that
SDL 3's stream holds. WRITE_BYTES, the size of its writes, gives the device
buffer: MIN_SAMPLES is lowered by both, and the buffer is reported. The
second form watches RAW grow while process PID lives, then prints the size
of its writes (the commonest step of its growth) in bytes.

Before the file, each decoding is checked on a known signal (a ramp through
every 16-bit value), written in its format the way SDL converts: a decoding
that cannot give that signal back exactly would judge nothing.
Exit status 0 on a match, 1 otherwise, with the reason.
"""

import collections
import os
import sys
import time

import numpy as np

CALLBACK_FRAMES = 2048  # the show's audio buffer

# (name, sample type, channels): the formats the show's stream can arrive in.
FORMATS = [
    ("16-bit mono", "<i2", 1),
    ("16-bit stereo", "<i2", 2),
    ("32-bit float mono", "<f4", 1),
    ("32-bit float stereo", "<f4", 2),
]


def decode(data, sample_type, channels):
    """The 16-bit mono samples DATA holds in that format, or None when it
    cannot be the show's stream in it (channels that differ, float values
    that are no 16-bit sample, a length that is no whole number of frames)."""
    width = np.dtype(sample_type).itemsize * channels
    if len(data) % width:
        return None
    frames = np.frombuffer(data, sample_type).reshape(-1, channels)
    if channels > 1 and not (frames == frames[:, :1]).all():
        return None
    mono = frames[:, 0]
    if sample_type == "<i2":
        return mono.astype(np.int16)
    with np.errstate(invalid="ignore", over="ignore"):  # 16-bit data read as floats
        scaled = mono.astype(np.float64) * 32768.0
    if not np.isfinite(scaled).all() or (scaled != np.round(scaled)).any():
        return None
    if (scaled < -32768).any() or (scaled > 32767).any():
        return None
    return scaled.astype(np.int16)


def encode(samples, sample_type, channels):
    """SAMPLES in that format, as SDL writes them: floats as sample / 32768,
    each frame's channels the same."""
    values = samples.astype(np.float32) / np.float32(32768.0) if sample_type == "<f4" else samples
    return np.repeat(values.astype(sample_type), channels).tobytes()


def check_decodings():
    known = np.arange(-32768, 32768, dtype=np.int16)
    for name, sample_type, channels in FORMATS:
        got = decode(encode(known, sample_type, channels), sample_type, channels)
        if got is None or not np.array_equal(got, known):
            sys.exit(f"audio: decoding {name} does not give a known signal back")
        if channels > 1:
            skewed = np.frombuffer(encode(known, sample_type, channels), sample_type).copy()
            skewed[1] = skewed[3]  # the right channel of frame 0 unlike its left
            if decode(skewed.tobytes(), sample_type, channels) is not None:
                sys.exit(f"audio: decoding {name} takes channels that differ")


def compare(heard, reference):
    """(silence, samples, what): the samples of leading silence in HEARD and
    how many samples after it equal the rendering from its start, with what
    ended the match; or None when HEARD is silent or starts too soon."""
    heard_start = np.flatnonzero(heard)
    reference_start = np.flatnonzero(reference)
    if len(heard_start) == 0 or len(reference_start) == 0:
        return None
    offset = heard_start[0] - reference_start[0]  # the silence before the song
    if offset < 0:
        return None
    length = min(len(heard) - offset, len(reference))
    differ = np.flatnonzero(heard[offset:offset + length] != reference[:length])
    if len(differ):
        return offset, differ[0], f"differs from the rendering at its sample {differ[0]}"
    return offset, length, "to the end of the file"


def watch(raw, pid):
    steps = collections.Counter()
    last = None
    while os.path.exists(f"/proc/{pid}"):
        size = os.path.getsize(raw) if os.path.exists(raw) else None
        if last is not None and size is not None and size > last:
            steps[size - last] += 1
        last = size
        time.sleep(0.002)
    print(steps.most_common(1)[0][0] if steps else 0)


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "watch":
        watch(sys.argv[2], int(sys.argv[3]))
        return
    if len(sys.argv) not in (4, 5):
        sys.exit("usage: disk_audio.py RAW REFERENCE.wav MIN_SAMPLES [WRITE_BYTES]\n"
                 "       disk_audio.py watch RAW PID")
    check_decodings()
    data = open(sys.argv[1], "rb").read()
    reference = np.frombuffer(open(sys.argv[2], "rb").read()[44:], "<i2")
    at_least = int(sys.argv[3])
    write_bytes = int(sys.argv[4]) if len(sys.argv) == 5 else 0
    seen = []
    for name, sample_type, channels in FORMATS:
        heard = decode(data, sample_type, channels)
        found = compare(heard, reference) if heard is not None else None
        if not found:
            continue
        offset, length, what = found
        frame_bytes = np.dtype(sample_type).itemsize * channels
        device_frames = write_bytes // frame_bytes
        wanted = at_least - (device_frames + CALLBACK_FRAMES if write_bytes else 0)
        if length >= wanted and what == "to the end of the file":
            device = f", written {device_frames} frames at a time" if write_bytes else ""
            print(f"audio: {len(data)} bytes of {name} at 44100 Hz{device}; {length} samples "
                  f"after {offset} of silence match the offline rendering ({wanted} needed)")
            return
        seen.append(f"{name}: {length} samples after {offset} of silence match, {what} "
                    f"({wanted} needed)")
    sys.exit(f"audio: {len(data)} bytes that hold the offline rendering in none of the formats "
             f"({', '.join(f[0] for f in FORMATS)}); " + ("; ".join(seen) or "no sound"))


main()
