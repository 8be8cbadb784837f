"""The command line both comparisons take: what was heard, the rendering,
and where the comparison ends (see audio_gaps.py and audio_windows.py)."""

import argparse


def parse(*extra):
    """Parses --bytes, --until, --slack, HEARD and REFERENCE, after the
    options in `extra` (each a pair of a name and add_argument's keywords)."""
    parser = argparse.ArgumentParser()
    for name, options in extra:
        parser.add_argument(name, **options)
    parser.add_argument("--bytes", type=int)
    parser.add_argument("--until", type=int)
    parser.add_argument("--slack", type=int, default=0)
    parser.add_argument("heard")
    parser.add_argument("reference")
    return parser.parse_args()
