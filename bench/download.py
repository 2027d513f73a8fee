#!/usr/bin/python3
"""Fetches a 10 MiB and a 1 GiB body over loopback HTTPS from a local nginx,
with the app's client and with curl, and prints wall time and peak memory."""
import os
import subprocess
import sys
import time

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(top, "tests", "e2e"))
from desktop import Desktop, NewsServer

build, rounds = sys.argv[1], int(sys.argv[2])
desktop = Desktop(headless=False)  # a work folder and a home, no display
sizes = {"10 MiB": 10 << 20, "1 GiB": 1 << 30}


def timed(argv):
    start = time.monotonic()
    proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    if status != 0:
        raise RuntimeError("%s failed" % argv[0])
    return time.monotonic() - start, usage.ru_maxrss


try:
    server = NewsServer(desktop)
    block = os.urandom(1 << 20)
    for size in sizes.values():
        with open(os.path.join(server.root, "www/zandor/%d.mpeg" % size), "wb") as f:
            for _ in range(size >> 20):
                f.write(block)
    out = desktop.path("out")
    os.makedirs(out)
    peaks = {}
    for name, size in sizes.items():
        url = server.url("%d.mpeg" % size)
        ours, theirs = [], []
        for _ in range(rounds):
            t, m = timed([os.path.join(build, "bench/fetch"), url, "news", "secret", out, server.ca])
            ours.append(t)
            peaks[name] = max(peaks.get(name, 0), m)
            os.remove(os.path.join(out, "fetched"))
            t, _ = timed(["curl", "-s", "-X", "POST", "-u", "news:secret", "--cacert", server.ca, "-o",
                          os.path.join(out, "curl"), url])
            theirs.append(t)
            os.remove(os.path.join(out, "curl"))
        a, b = min(ours), min(theirs)
        print("%-7s app client %7.3f s  curl %7.3f s  ratio %.2fx (best of %d; target <= 1.10x)  peak RSS %.1f MiB"
              % (name, a, b, a / b, rounds, peaks[name] / 1024))
    print("peak memory 1 GiB - 10 MiB: %+.1f MiB (target: within 8 MiB)" % ((peaks["1 GiB"] - peaks["10 MiB"]) / 1024))
finally:
    desktop.close()
