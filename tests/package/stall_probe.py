#!/usr/bin/env python3
"""Measures how late this machine wakes a real-time thread: sleeps 5 ms at a
time at the highest priority it can get (SCHED_FIFO as root, else the
lowest nice value) until SECONDS have passed or it is told to stop
(SIGTERM), then prints

    worst_ms=W late_over_40ms=N priority=P

A sound stream that holds 46 ms runs dry when its writer wakes that late;
on a dedicated machine W stays within a few milliseconds.

    stall_probe.py SECONDS"""

import os
import signal
import sys
import time

stop = False


def on_term(*_):
    global stop
    stop = True


def main():
    signal.signal(signal.SIGTERM, on_term)
    try:
        os.sched_setscheduler(0, os.SCHED_FIFO, os.sched_param(50))
        priority = "fifo"
    except (PermissionError, OSError):
        try:
            os.nice(-20)
            priority = "nice-20"
        except OSError:
            priority = "normal"
    period = 0.005
    worst = 0.0
    late = 0
    end = time.monotonic() + float(sys.argv[1])
    while not stop and time.monotonic() < end:
        before = time.monotonic()
        time.sleep(period)
        lateness = time.monotonic() - before - period
        worst = max(worst, lateness)
        late += lateness > 0.040
    print(f"worst_ms={worst * 1000:.1f} late_over_40ms={late} priority={priority}")


main()
