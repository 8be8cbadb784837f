#!/usr/bin/env python3
"""Watches the playing stream of one program on a private sound server
(tests/package/sound_server.sh) for as long as it plays, and prints what the
server reports of it once it is gone:

    protocol=P latency_frames=N latency="how it was made up" sdl=V format="F"

P is the protocol the stream came through: pulseaudio (PulseAudio, or
PipeWire's PulseAudio service) or pipewire (PipeWire's own); none when no
stream showed within SECONDS. N is the most sound, in frames at the
stream's rate, that the server holds of the stream between taking it and
the sink hearing it: what is lost when the program closes its stream at
once. V is the major version of the SDL library the program runs on (2, or 3
under sdl2-compat), F the stream's format as the server took it (sample type,
channels, rate, and through PipeWire the buffer SDL asked for).
- PulseAudio reports it per stream as it changes: its buffer latency and
  the sink's. What counts is what it held when the stream went away: the
  largest of the looks (two a second) in the last LAST_LOOKS before then.
  Earlier looks say nothing of the end: a null sink starts with a latency
  of seconds, and raises it again for a while after the stream ran dry.
- PipeWire's PulseAudio service reports neither; it keeps up to the
  stream's target length (pulse.attr.tlength) and hands the graph one
  quantum at a time, at most the stream's node.latency.
- A stream of PipeWire's own holds one quantum in the graph, at most its
  node.latency.
PipeWire's figures are fixed when the stream starts: one look at it is
enough, and no more is taken (a dump of the whole graph is work that the
machine playing the stream need not do).

    stream_watch.py SERVER BINARY SECONDS

SERVER: pulseaudio or pipewire. BINARY: the program's file name."""

import json
import re
import subprocess
import sys
import time

LOOK = 0.5
LAST_LOOKS = 4


def run(*command):
    try:
        return subprocess.run(command, capture_output=True, text=True, timeout=10).stdout
    except (OSError, subprocess.TimeoutExpired):
        return ""


def pulse_inputs(binary):
    """The sink inputs of `binary` as pactl lists them: one text block each."""
    blocks = re.split(r"\n(?=Sink Input #)", run("pactl", "list", "sink-inputs"))
    return [b for b in blocks if f'application.process.binary = "{binary}"' in b]


def pulse_spec(block):
    """Bytes per frame and rate of a sink input's sample format."""
    m = re.search(r"Sample Specification: (\w+) (\d+)ch (\d+)Hz", block)
    if not m:
        return None
    width = {"u8": 1, "s16le": 2, "s16be": 2, "s24le": 3, "s24be": 3}.get(m.group(1), 4)
    return width * int(m.group(2)), int(m.group(3))


def sdl_version(pid):
    """3 when process PID has SDL 3 loaded (sdl2-compat), 2 when SDL 2, else ?."""
    try:
        maps = open(f"/proc/{int(pid)}/maps").read()
    except (OSError, ValueError):
        return "?"
    return "3" if "/libSDL3.so" in maps else "2" if "/libSDL2-2.0.so" in maps else "?"


def look_pulseaudio(binary):
    """(protocol, frames, how, sdl, format) of the stream now, or None."""
    for block in pulse_inputs(binary):
        buffer = re.search(r"Buffer Latency: (\d+) usec", block)
        sink = re.search(r"Sink Latency: (\d+) usec", block)
        spec = pulse_spec(block)
        if not (buffer and sink and spec):
            continue
        usec = int(buffer.group(1)) + int(sink.group(1))
        how = f"buffer latency {int(buffer.group(1)) / 1000:.1f} ms + sink latency {int(sink.group(1)) / 1000:.1f} ms"
        pid = re.search(r'application.process.id = "(\d+)"', block)
        name = re.search(r"Sample Specification: ([^\n]*)", block).group(1)
        return "pulseaudio", usec * spec[1] // 1000000, how, sdl_version(pid.group(1) if pid else ""), name
    return None


def look_pipewire(binary):
    try:
        nodes = json.loads(run("pw-dump") or "[]")
    except json.JSONDecodeError:
        return None
    for node in nodes:
        props = node.get("info", {}).get("props", {})
        if props.get("media.class") != "Stream/Output/Audio" or props.get("application.process.binary") != binary:
            continue
        m = re.fullmatch(r"(\d+)/(\d+)", str(props.get("node.latency", "")))
        rate = int(props.get("node.rate", "1/0").split("/")[1] or 0) or (int(m.group(2)) if m else 0)
        if not m or not rate:
            continue
        quantum = int(m.group(1)) * rate // int(m.group(2))
        how = f"quantum up to {m.group(1)}/{m.group(2)} s"
        sdl = sdl_version(props.get("application.process.id", ""))
        form = (node.get("info", {}).get("params", {}).get("Format") or [{}])[0]
        name = (f"{form.get('format', '?')} {form.get('channels', '?')}ch {form.get('rate', '?')}Hz, "
                f"buffer {m.group(1)} frames")
        if props.get("client.api") != "pipewire-pulse":
            return "pipewire", quantum, how, sdl, name
        tlength = props.get("pulse.attr.tlength")
        blocks = pulse_inputs(binary)
        spec = pulse_spec(blocks[0]) if blocks else None
        if tlength is None or spec is None:
            continue
        frames = int(tlength) // spec[0]
        return "pulseaudio", quantum + frames, f"{how} + target length {tlength} bytes ({frames} frames)", sdl, name
    return None


def main():
    server, binary, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
    look = look_pulseaudio if server == "pulseaudio" else look_pipewire
    looks = []
    deadline = time.monotonic() + seconds
    while True:
        now = look(binary)
        if now is None and looks:
            break  # the stream is gone: the program ended
        if now is not None:
            looks = (looks + [now])[-LAST_LOOKS:]
            if server != "pulseaudio":
                break
        elif time.monotonic() > deadline:
            break
        time.sleep(LOOK)
    protocol, frames, how, sdl, name = (max(looks, key=lambda look: look[1]) if looks
                                        else ("none", 0, "no stream", "?", "none"))
    print(f'protocol={protocol} latency_frames={frames} latency="{how}" sdl={sdl} format="{name}"')


main()
