#!/usr/bin/python3
"""A 10 MiB and a 1 GiB clip over loopback HTTPS from a local nginx, from the
request to the complete, durable file: the app's client against curl, curl
then fdatasync, and the machine's limit for a durable copy, the slower of
the transfer alone (curl into /dev/null) and the disk alone (dd with
conv=fdatasync). Several rounds; the median and the best."""
import os
import subprocess
import sys
import time

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(top, "scripts", "lib"))
from desktop import Desktop, NewsServer, make_clip  # noqa: E402

build, rounds = sys.argv[1], int(sys.argv[2])
desktop = Desktop(headless=False)  # a work folder and a home, no display
sizes = {"10 MiB": 10 << 20, "1 GiB": 1 << 30}


def timed(argv, **kw):
    start = time.monotonic()
    proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, **kw)
    _, status, usage = os.wait4(proc.pid, 0)
    if status != 0:
        raise RuntimeError("%s failed" % argv[0])
    return time.monotonic() - start, usage.ru_maxrss


def settle():
    # Each run starts with nothing dirty; the served file stays cached, as a
    # network would deliver it.
    subprocess.run(["sync"])


def app(url):
    """The app's client inside a running process: from the request to the
    stored, durable file, after a warm-up download."""
    proc = subprocess.Popen([os.path.join(build, "bench/fetch"), url, server.url("warmup.mpeg"), "news", "secret",
                             out, server.ca], stdout=subprocess.PIPE, text=True)
    said = proc.stdout.read()
    _, status, usage = os.wait4(proc.pid, 0)
    if status != 0:
        raise RuntimeError("fetch failed")
    return float(said.split()[1]), usage.ru_maxrss


def durable_curl(url, target):
    start = time.monotonic()
    timed(curl + ["-o", target, url])
    fd = os.open(target, os.O_RDONLY)
    os.fdatasync(fd)
    os.close(fd)
    return time.monotonic() - start


try:
    server = NewsServer(desktop)
    clip = desktop.path("clip.mpeg")
    make_clip(clip, seconds=10)
    piece = open(clip, "rb").read()
    for size in sizes.values():  # a real program stream, repeated: it stays one
        with open(os.path.join(server.root, "www/zandor/%d.mpeg" % size), "wb") as f:
            written = 0
            while written < size:
                part = piece[: size - written]
                f.write(part)
                written += len(part)
    with open(os.path.join(server.root, "www/zandor/warmup.mpeg"), "wb") as f:
        f.write(piece)
    out = desktop.path("out")
    os.makedirs(out)
    curl = ["curl", "-s", "-X", "POST", "-u", "news:secret", "--cacert", server.ca]
    peaks = {}
    for name, size in sizes.items():
        url = server.url("%d.mpeg" % size)
        runs = {k: [] for k in ("app", "curl", "durable curl", "transfer only", "disk only")}
        for _ in range(rounds):
            settle()
            t, m = app(url)
            runs["app"].append(t)
            peaks[name] = max(peaks.get(name, 0), m)
            os.remove(os.path.join(out, "fetched"))
            settle()
            runs["curl"].append(timed(curl + ["-o", os.path.join(out, "curl"), url])[0])
            os.remove(os.path.join(out, "curl"))
            settle()
            runs["durable curl"].append(durable_curl(url, os.path.join(out, "curl")))
            os.remove(os.path.join(out, "curl"))
            runs["transfer only"].append(timed(curl + ["-o", "/dev/null", url])[0])
            settle()
            runs["disk only"].append(timed(["dd", "if=/dev/zero", "of=" + os.path.join(out, "dd"), "bs=1M",
                                            "count=%d" % (size >> 20), "conv=fdatasync"],
                                           stderr=subprocess.DEVNULL)[0])
            os.remove(os.path.join(out, "dd"))
        print("%s, %d rounds (median / best):" % (name, rounds))
        for k, v in runs.items():
            v.sort()
            print("  %-14s %7.3f s / %7.3f s" % (k, v[len(v) // 2], v[0]))
        for pick, label in ((lambda v: v[len(v) // 2], "median"), (lambda v: v[0], "best")):
            limit = max(pick(runs["transfer only"]), pick(runs["disk only"]))
            print("  %-6s app / limit %.2fx (target <= 1.15x), app / durable curl %.2fx"
                  % (label, pick(runs["app"]) / limit, pick(runs["app"]) / pick(runs["durable curl"])))
        print("  peak RSS %.1f MiB" % (peaks[name] / 1024))
    print("peak memory 1 GiB - 10 MiB: %+.1f MiB (target: within 8 MiB)" % ((peaks["1 GiB"] - peaks["10 MiB"]) / 1024))

    # The clip check reads only the file's start: its cost, whatever the size.
    check = os.path.join(build, "bench/clipcheck")
    html = desktop.path("page.html")
    open(html, "w").write("<html><body>502 Bad Gateway</body></html>\n" * 3)
    for label, path in (("1 GiB clip", os.path.join(server.root, "www/zandor/%d.mpeg" % sizes["1 GiB"])),
                        ("HTML page", html)):
        line = subprocess.run([check, path], capture_output=True, text=True, check=True).stdout.strip()
        print("clip check, %-10s %s (target: a few ms)" % (label, line))
finally:
    desktop.close()
