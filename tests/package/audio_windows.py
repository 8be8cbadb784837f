#!/usr/bin/python3
"""Counts the faults in a live recording of the show's sound that the sound
server resampled (a PipeWire graph at 48000 Hz): stretches where the
recording falls silent, repeats or skips while the offline rendering goes
on. After resampling no sample is equal, so the rendering is resampled to
the recording's rate (band-limited, through the Fourier transform), aligned
with the recording to a fraction of a sample, and compared window by
window: each 0.1 s of the recording must correlate at least 0.99 with the
same stretch of the resampled rendering. A gap, a repeat or a skip of even
one sample moves all that follows against the rendering; the window holding
it fails, and the comparison then looks for the recording's place in the
rendering again, nearest to where it left off (within 1 s, then 30 s), and
goes on from there. Windows where the rendering is nearly silent need only
a nearly silent recording. The recording's level must also be the
rendering's, within 0.1 dB over the whole comparison.

    audio_windows.py [--rate R] [--bytes N] [--until SAMPLE [--slack FRAMES]] HEARD.raw REFERENCE.wav

HEARD.raw is raw 16-bit mono at R Hz (default 48000), starting before the
show; only its first N bytes are compared. REFERENCE.wav is the rendering,
16-bit mono at 44100 Hz; with --until the comparison ends at that sample of
it, the start of the tick that ended the show. The show closes its sound at
once, so what was still in flight then never reaches the sink: the
recording may fall silent for good up to FRAMES samples at 44100 Hz before
SAMPLE (default 0), and one that ends earlier counts as one more fault.
Silence followed by more sound is a gap wherever it falls; the last window
may be shorter than the others. Prints the number of faults; each is
described on standard error, with the lowest window correlation, the level
and where the sound ended."""

import sys

import numpy as np

import recording_args

WINDOW_SECONDS = 0.1
MIN_CORRELATION = 0.99
# Root mean square, in 16-bit steps, under which a window counts as silent.
QUIET = 30.0
MAX_GAIN_DB = 0.1
NEAR_SECONDS = 1.0
FAR_SECONDS = 30.0
WAV_HEADER = 44
MAX_NOTES = 20
RENDER_RATE = 44100
# Samples either side of a window shifted between samples.
SHIFT_PAD = 256
# The shortest stretch a correlation judges: 10 ms at 48000 Hz.
MIN_PART = 480
# Samples before a sound's abrupt end that a resampler's filter smears.
RINGING = 128


def resample_block(x, n_out, shift):
    """x band-limited to n_out samples, output sample n taken at input time
    (n + shift) / n_out of the whole block."""
    spectrum = np.fft.rfft(x)
    size = max(len(spectrum), n_out // 2 + 1)
    scaled = np.zeros(size, dtype=complex)
    keep = min(len(spectrum), n_out // 2 + 1)
    scaled[:keep] = spectrum[:keep]
    scaled *= np.exp(2j * np.pi * np.arange(size) * shift / n_out)
    return np.fft.irfft(scaled, n_out) * (n_out / len(x))


def resample(x, rate, shift):
    """x (at RENDER_RATE) resampled to `rate`, output sample n taken at
    input time (n + shift) / rate. In blocks, each with its neighbours'
    samples on either side, so that a long recording fits in memory: a block
    of whole periods of the two rates (147 samples at 44100 Hz last as long
    as 160 at 48000 Hz, 441 at 44100 Hz as 480 at 48000 Hz) starts on a
    sample of either rate."""
    common = np.gcd(RENDER_RATE, rate)
    step_in, step_out = RENDER_RATE // common, rate // common
    block, pad = step_in * max(1, 600000 // step_in), step_in * max(1, 20000 // step_in)
    n_out = len(x) * rate // RENDER_RATE
    padded = np.concatenate((np.zeros(pad), x, np.zeros(block + pad)))
    out = []
    for start in range(0, len(x), block):
        piece = resample_block(padded[start : start + block + 2 * pad], (block + 2 * pad) // step_in * step_out, shift)
        skip = pad // step_in * step_out
        out.append(piece[skip : skip + block // step_in * step_out])
    return np.concatenate(out)[:n_out] if out else np.zeros(0)


def correlate_at(probe, ref, lo, hi, spot=None):
    """Best normalised correlation of `probe` against `ref` starting at
    offsets lo..hi; returns (offset, correlation). With `spot`, of the
    offsets that correlate about as well as the best (a bar the song plays
    twice), the one nearest to it."""
    lo = max(lo, 0)
    hi = min(hi, len(ref) - len(probe))
    if hi < lo:
        return -1, 0.0
    span = ref[lo : hi + len(probe)]
    size = 1 << int(np.ceil(np.log2(len(span) + len(probe))))
    dots = np.fft.irfft(np.fft.rfft(span, size) * np.conj(np.fft.rfft(probe, size)), size)[: hi - lo + 1]
    energy = np.cumsum(np.concatenate(([0.0], span * span)))
    norms = np.sqrt(np.maximum(energy[len(probe) :] - energy[: -len(probe)], 1e-9))[: hi - lo + 1]
    scores = dots / (norms * max(np.linalg.norm(probe), 1e-9))
    best = int(np.argmax(scores))
    if spot is not None:
        alike = np.nonzero(scores >= scores[best] - 0.001)[0]
        best = int(alike[np.argmin(np.abs(lo + alike - spot))])
    return lo + best, float(scores[best])


def peak_fraction(probe, ref, at):
    """Where between samples `probe` lines up with `ref` near offset `at`:
    the vertex of a parabola through the correlations at at - 1, at, at + 1."""

    def dot(offset):
        inside = 0 <= offset and offset + len(probe) <= len(ref)
        return float(np.dot(probe, ref[offset : offset + len(probe)])) if inside else 0.0

    before, here, after = dot(at - 1), dot(at), dot(at + 1)
    bend = before - 2 * here + after
    return 0.5 * (before - after) / bend if bend < 0 else 0.0


def ref_window(ref, start, length, fraction):
    """ref from start + fraction on, `length` samples: shifted between
    samples through the Fourier transform of a stretch a little longer."""
    if fraction == 0.0:
        return ref[start : start + length]
    lo, hi = max(start - SHIFT_PAD, 0), min(start + length + SHIFT_PAD, len(ref))
    stretch = ref[lo:hi]
    spectrum = np.fft.rfft(stretch) * np.exp(2j * np.pi * np.fft.rfftfreq(len(stretch)) * fraction)
    return np.fft.irfft(spectrum, len(stretch))[start - lo : start - lo + length]


def window_ok(heard, ref):
    """Whether a window of the recording matches the rendering's, and its
    correlation (1 for a silent pair)."""
    ref_rms = np.sqrt(np.mean(ref * ref))
    heard_rms = np.sqrt(np.mean(heard * heard))
    if ref_rms < QUIET:
        return heard_rms < 2 * QUIET, 1.0
    c = float(np.dot(heard, ref) / max(np.linalg.norm(heard) * np.linalg.norm(ref), 1e-9))
    return c >= MIN_CORRELATION, c


def first_sound(x, level=QUIET):
    loud = np.nonzero(np.abs(x) >= level)[0]
    return int(loud[0]) if len(loud) else -1


def note(count, text):
    if count <= MAX_NOTES:
        print(text, file=sys.stderr)


def main():
    args = recording_args.parse(("--rate", {"type": int, "default": 48000}))
    rate = args.rate
    raw = open(args.heard, "rb").read()
    if args.bytes is not None:
        raw = raw[: args.bytes]
    heard = np.frombuffer(raw[: len(raw) - len(raw) % 2], dtype="<i2").astype(float)
    rendering = np.frombuffer(open(args.reference, "rb").read()[WAV_HEADER:], dtype="<i2").astype(float)
    if args.until is not None:
        rendering = rendering[: args.until]
    window = int(rate * WINDOW_SECONDS)

    # Coarse alignment: the recording's first second of sound found in the
    # rendering resampled, near the rendering's first sound.
    ref = resample(rendering, rate, 0.0)
    i0, j0 = first_sound(heard), first_sound(ref)
    if i0 < 0 or j0 < 0 or i0 + rate > len(heard):
        print("the recording holds no second of sound", file=sys.stderr)
        print(1)
        return
    probe = heard[i0 : i0 + rate]
    j, c = correlate_at(probe, ref, j0 - rate, j0 + rate)
    if c < MIN_CORRELATION:
        print(f"the recording's first sound is not in the rendering (best correlation {c:.4f})", file=sys.stderr)
        print(1)
        return
    # Fine alignment: the fraction of a sample from the correlations around
    # the peak (a parabola through three), then the rendering resampled again
    # at that phase.
    fraction = peak_fraction(probe, ref, j)
    ref = resample(rendering, rate, fraction)
    # Sample i of the recording is sample i + lag + shift of `ref`: after a
    # dropout the resampler may take up the stream between two samples of
    # the graph, and the rest of the recording is compared at that phase.
    lag = j - i0
    shift = 0.0

    faults = 0
    worst = 1.0
    dot = power = 0.0
    i = max(i0, -lag)
    end = len(ref)
    # The show closes its sound at once when it ends: from the recording's
    # last sound on, the sink hears silence.
    loud = np.nonzero(np.abs(heard) >= 2 * QUIET)[0]
    last_sound = int(loud[-1]) + 1 if len(loud) else 0
    ended = False
    while i < len(heard) and i + lag < end:
        # The last window may be short: the recording's end and the song's
        # are checked wherever they fall.
        n = min(window, len(heard) - i, end - (i + lag))
        h = heard[i : i + n]
        r = ref_window(ref, i + lag, n, shift)
        ok, c = window_ok(h, r) if n >= MIN_PART else (True, 1.0)
        if ok:
            worst = min(worst, c)
            dot += float(np.dot(h, r))
            power += float(np.dot(r, r))
            i += n
            continue
        if last_sound <= i + n:
            # The sound ends in this window for good. What came before its
            # end must be the rendering's, but for the resampler's ringing
            # around a sound cut off.
            part = last_sound - RINGING - i
            if part < MIN_PART or window_ok(heard[i : i + part], ref_window(ref, i + lag, part, shift))[0]:
                i = last_sound
                ended = True
                break
        faults += 1
        bad = c
        at_song = (i + lag) / rate
        # Where the recording goes on in the rendering: the next window with
        # sound, looked up nearest to where it left off.
        k = i + window
        found = -1
        while k + window <= len(heard):
            probe = heard[k : k + window]
            if np.sqrt(np.mean(probe * probe)) >= 2 * QUIET:
                for reach in (NEAR_SECONDS, FAR_SECONDS):
                    spot = k + lag
                    found, c = correlate_at(probe, ref, spot - int(reach * rate), spot + int(reach * rate), spot)
                    if c >= MIN_CORRELATION:
                        break
                    found = -1
                if found >= 0:
                    break
            k += window
        if found < 0:
            note(faults, f"fault at {at_song:.3f} s of the song: the rest of the recording is not in the rendering")
            i = len(heard)
            break
        # Negative: the song goes on later than it should (a gap or a
        # repeat); positive: part of it was skipped.
        moved = (found - k - lag) / rate
        note(faults, f"fault at {at_song:.3f} s of the song (window correlation {bad:.4f}): "
             f"the song goes on {moved * 1000:+.1f} ms from where it left off")
        lag = found - k
        shift = peak_fraction(probe, ref, found)
        i = k
    if args.until is not None:
        # What the rendering holds between the recording's last sound and
        # the tick that ended the show was lost; a quiet stretch of the song
        # there, which a recording cannot tell from silence, is not. The
        # recording's last sound is its last sample above the silence's
        # bound, the rendering's first lost one above twice that: samples
        # near the bound, the two sides of a resampler, could fall either way.
        reach = min(i + lag, end)
        rest = np.nonzero(np.abs(ref[reach:end]) >= 4 * QUIET)[0]
        lost = (end - reach - int(rest[0])) if len(rest) else 0
        slack = args.slack * rate / RENDER_RATE
        how = "falls silent" if ended else "ends"
        if lost > slack:
            faults += 1
            note(faults, f"the recording {how} at {reach / rate:.3f} s of the song, {lost / rate * 1000:.1f} ms "
                 f"before the tick that ended the show at {end / rate:.3f} s; at most "
                 f"{slack / rate * 1000:.1f} ms may be lost")
    gain_db = 20 * np.log10(dot / power) if dot > 0 and power > 0 else float("-inf")
    print(f"lowest window correlation {worst:.5f}, level {gain_db:+.3f} dB against the rendering, "
          f"aligned at {fraction:+.2f} samples", file=sys.stderr)
    if args.until is not None:
        print(f"the sound ends {lost / rate * 1000:.1f} ms before the tick that ended the show "
              f"(at most {slack / rate * 1000:.1f} ms may be lost)", file=sys.stderr)
    if abs(gain_db) > MAX_GAIN_DB:
        faults += 1
        note(faults, f"the recording's level is {gain_db:+.2f} dB from the rendering's")
    print(faults)


main()
