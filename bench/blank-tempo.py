#!/usr/bin/env python3
"""Copies a 31-sample module with its tempo commands (Fxx, xx >= 32) blanked.

The show's player ticks at a fixed 50 per second and ignores those commands;
general-purpose players honour them. With them blanked, every player runs at
125 BPM (50 ticks per second), so song-position timelines and renders can be
compared tick for tick. Speed commands (Fxx, xx < 32) are kept.

Usage: bench/blank-tempo.py IN.mod OUT.mod   (prints how many were blanked)
"""
import sys

TAGS = {b"2CHN": 2, b"4CHN": 4, b"M.K.": 4, b"M!K!": 4, b"FLT4": 4, b"FLT8": 8, b"OCTA": 8,
        b"6CHN": 6, b"8CHN": 8}
TAGS.update({b"%02dCH" % n: n for n in range(10, 33, 2)})


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    data = bytearray(open(sys.argv[1], "rb").read())
    channels = TAGS.get(bytes(data[1080:1084]))
    if channels is None:
        sys.exit("not a 31-sample module with a known tag")
    patterns = max(b for b in data[952:1080] if b < 128) + 1
    blanked = 0
    for p in range(patterns):
        for cell in range(64 * channels):
            at = 1084 + (p * 64 * channels + cell) * 4
            if at + 4 > len(data):
                break
            if data[at + 2] & 0x0F == 0x0F and data[at + 3] >= 32:
                data[at + 2] &= 0xF0
                data[at + 3] = 0
                blanked += 1
    open(sys.argv[2], "wb").write(data)
    print(blanked)


if __name__ == "__main__":
    main()
