#!/usr/bin/env python3
"""Counts the faults in a live recording of the show's sound against the
offline rendering of the same song: stretches where the recording falls
silent, repeats or skips while the rendering goes on.

    audio_gaps.py [--bytes N] [--until SAMPLE [--slack FRAMES]] HEARD.raw REFERENCE.wav

HEARD.raw is raw 16-bit mono from the sound server, starting before the
show; only its first N bytes are compared (the part recorded while the show
was playing). The two are aligned at the recording's first sound. With
--until, the comparison ends at that sample of the rendering: the start of
the tick that ended the show. The show closes its sound at once, so what
was still in flight then never reaches the sink: the recording may fall
silent for good up to FRAMES samples before SAMPLE (default 0), and one
that ends earlier counts as one more fault. Silence followed by more sound
is a gap wherever it falls. Prints the number of faults; each is described
on standard error, and where the recording ended on its last line."""

import sys

import recording_args

BLOCK = 2 * 4410          # 0.1 s of 16-bit mono
NEAR = 2 * 44100          # first look for the lost place within 1 s
FAR = 2 * 44100 * 30      # then within 30 s either way
PROBE = 2 * 256           # what is looked up after a fault
WAV_HEADER = 44
MAX_NOTES = 20


def first_sound(data):
    """Byte offset of the first non-zero sample."""
    i = len(data) - len(data.lstrip(b"\0"))
    return i - i % 2


def nearest(ref, probe, j):
    """Even byte offset of `probe` in `ref` nearest to `j`, within FAR; -1
    when it is not there."""
    best = -1
    for reach in (NEAR, FAR):
        lo, hi = max(0, j - reach), j + reach + len(probe)
        at = ref.find(probe, j, hi)
        while at >= 0 and at % 2:
            at = ref.find(probe, at + 1, hi)
        if at >= 0:
            best = at
        back = ref.rfind(probe, lo, j + len(probe) - 1)
        while back >= 0 and back % 2:
            back = ref.rfind(probe, lo, back)
        if back >= 0 and (best < 0 or j - back < best - j):
            best = back
        if best >= 0:
            return best
    return -1


def note(count, text):
    if count <= MAX_NOTES:
        print(text, file=sys.stderr)


def main():
    args = recording_args.parse()
    heard = open(args.heard, "rb").read()
    if args.bytes is not None:
        heard = heard[: args.bytes]
    heard = heard[: len(heard) - len(heard) % 2]
    ref = open(args.reference, "rb").read()[WAV_HEADER:]
    if args.until is not None:
        ref = ref[: 2 * args.until]
    # The first sound heard, normally the song's first.
    i = first_sound(heard)
    j = nearest(ref, heard[i : i + PROBE], first_sound(ref))
    if j < 0:
        print("the recording holds nothing of the rendering", file=sys.stderr)
        print(1)
        return
    faults = 0
    while i < len(heard) and j < len(ref):
        n = min(BLOCK, len(heard) - i, len(ref) - j)
        if heard[i : i + n] == ref[j : j + n]:
            i += n
            j += n
            continue
        # Where the two part: the first differing sample.
        d = next(k for k in range(0, n, 2) if heard[i + k : i + k + 2] != ref[j + k : j + k + 2])
        i += d
        j += d
        if not heard[i:].strip(b"\0"):
            # Nothing but silence from here on: the show closed its sound.
            break
        faults += 1
        # The recording goes on after its silence, if any: find where in the
        # rendering, nearest to where it left off (the song may repeat
        # itself exactly, so the nearest place is the likely one).
        k = i + first_sound(heard[i:])
        at = -1
        while k + PROBE <= len(heard):
            at = nearest(ref, heard[k : k + PROBE], j)
            if at >= 0:
                break
            # Another fault within the probe: look further on.
            k += PROBE
            k += first_sound(heard[k:])
        if at < 0:
            note(faults, f"fault at {j / 88200:.3f} s of the song: the rest of the recording is not in the rendering")
            break
        note(faults, f"fault at {j / 88200:.3f} s of the song: {(k - i) / 88200:.3f} s not as rendered, "
             f"then resumes {(at - j) / 88200:+.3f} s away")
        i, j = k, at
    if args.until is not None:
        # Where the recording's sound ends against the tick that ended the
        # show: whatever the rendering holds from there on was lost.
        lost = (len(ref) - j) // 2
        if lost > args.slack:
            faults += 1
            note(faults, f"the recording ends at {j / 88200:.3f} s of the song, {lost / 44.1:.1f} ms before "
                 f"the tick that ended the show at {len(ref) / 88200:.3f} s; at most {args.slack / 44.1:.1f} ms "
                 f"may be lost")
        print(f"the sound ends {lost / 44.1:.1f} ms before the tick that ended the show "
              f"(at most {args.slack / 44.1:.1f} ms may be lost)", file=sys.stderr)
    print(faults)


main()
