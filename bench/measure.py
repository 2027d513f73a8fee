#!/usr/bin/python3
"""Small helpers the benchmarks share: run a program until a line shows up,
and read its peak memory."""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "scripts", "lib"))
from desktop import stop  # noqa: E402,F401  (the benchmarks stop processes the same way)


def run_until(argv, marker, timeout=30, env=None):
    """Starts argv, waits for a line starting with marker; returns
    (seconds, peak RSS in KiB, process) with the process still running."""
    start = time.monotonic()
    proc = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env, text=True)
    deadline = start + timeout
    while time.monotonic() < deadline:
        line = proc.stdout.readline()
        if not line:
            break
        if line.startswith(marker):
            elapsed = time.monotonic() - start
            return elapsed, peak_kib(proc.pid), proc
    proc.kill()
    raise RuntimeError("%s never printed %r" % (argv[0], marker))


def peak_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0



def median(values):
    values = sorted(values)
    return values[len(values) // 2]
