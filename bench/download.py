#!/usr/bin/python3
"""A 10 MiB and a 1 GiB clip over loopback HTTPS from a local nginx, to the
complete, durable file. The real app's first update after its start, from
the hourly firing to the flush of the folder after the rename, as the
preloaded trace sees it: with the firing already past at the start (its
due-time line), and for 1 GiB also with the firing a few seconds after the
start, as in use (the app gets ready a minute ahead), against the transfer
and the disk each after the same quiet wait (this VM runs everything a
fifth slower after some seconds of idling); the
update core with its client alone, warm (bench/fetch); and the anchors: curl
then fdatasync, and the machine's limit for a durable copy, the slower of
the transfer alone (curl into /dev/null) and the disk alone (dd with
conv=fdatasync, and with direct writes: the faster of the two is the disk's
floor). Each round runs them all, one after the other (every other round
in the reverse order), so the machine's drift hits each alike; the medians
of the rounds and their best, and each round's figure."""
import os
import subprocess
import sys
import time

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(top, "scripts", "lib"))
sys.path.insert(0, os.path.join(top, "bench"))
from desktop import Desktop, NewsServer, make_clip, write_settings  # noqa: E402
from measure import median, peak_kib, stop  # noqa: E402

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


def durable_at(trace, target):
    """When the first body byte was written, and when the folder was flushed
    after the clip was renamed into place."""
    try:
        steps = [line.split() for line in open(trace)]
    except FileNotFoundError:
        return None
    renamed = next((i for i, s in enumerate(steps) if s[0] == "rename" and s[2] == target), None)
    if renamed is None:
        return None
    folder = os.path.dirname(target)
    first = next(float(s[-1]) for s in steps if s[0] == "write")
    flushed = next((float(s[-1]) for s in steps[renamed + 1:] if s[0] == "fsync" and s[1] == folder), None)
    return (first, flushed) if flushed else None


def before_minute(seconds):
    """Sleeps to `seconds` before the next whole minute (not at all when it
    is nearer) and gives the minute's time: no long wait in the app, which
    would be idle."""
    if 60 - time.time() % 60 > seconds + 3:
        time.sleep(60 - time.time() % 60 - seconds)
    return (int(time.time()) // 60 + 1) * 60


def after_quiet(measure):
    """A measure after the same quiet wait as an update fired later."""
    def run():
        time.sleep(max(0.0, before_minute(12) - time.time()))
        return measure()
    return run


def app(url, target, later=False):
    """The real app, started with its first hourly firing already past, or
    (later) a few seconds before it, as in use: at the next whole minute."""
    minutes, due = "-120", None
    if later:
        due = before_minute(12)
        minutes = str(time.localtime(due).tm_min)
    write_settings(desktop, mpg_url=url, minutes_after_hour=minutes, downloadfilepath=out)
    trace = desktop.path("durability.trace")
    if os.path.exists(trace):
        os.remove(trace)
    env = dict(desktop.env, LD_PRELOAD=os.path.join(build, "libdurability_trace.so"), ZU_DURABILITY_TRACE=trace,
               ZU_DURABILITY_FIRST_WRITE="1",
               ZANDORUPDATE_TEST_CA=server.ca, QT_QPA_PLATFORM="offscreen", DBUS_SESSION_BUS_ADDRESS="disabled:")
    proc = subprocess.Popen([os.path.join(build, "app/zandorupdate")], stdout=subprocess.PIPE, env=env, text=True)
    fired = None
    for line in proc.stdout:
        if line.startswith("duedate"):
            fired = time.monotonic() + (due - time.time() if due else 0)
            break
    # The progress lines (a line a MiB) wait in the pipe, read by nobody
    # while the app is timed, and the trace is read again only when it grew:
    # the bench takes no time from the app it times.
    deadline, seen, done = time.monotonic() + 300, -1, None
    while done is None and time.monotonic() < deadline and proc.poll() is None:
        size = os.stat(trace).st_size if os.path.exists(trace) else 0
        if size != seen:
            seen, done = size, durable_at(trace, target)
        time.sleep(0.005)
    peak = peak_kib(proc.pid)
    stop(proc)
    proc.stdout.close()
    if fired is None or done is None:
        raise RuntimeError("the app stored no clip")
    os.remove(target)
    first_byte[later].append(done[0] - fired)
    return done[1] - fired, peak


def fetch(url, target):
    """The update core and its client in a process of their own, warm."""
    proc = subprocess.Popen([os.path.join(build, "bench/fetch"), url, server.url("warmup.mpeg"), "news", "secret",
                             out, server.ca], stdout=subprocess.PIPE, text=True)
    said = proc.stdout.read()
    _, status, usage = os.wait4(proc.pid, 0)
    if status != 0:
        raise RuntimeError("fetch failed")
    os.remove(target)
    return float(said.split()[1]), usage.ru_maxrss


def durable_curl(url, target):
    start = time.monotonic()
    timed(curl + ["-o", target, url])
    fd = os.open(target, os.O_RDONLY)
    os.fdatasync(fd)
    os.close(fd)
    elapsed = time.monotonic() - start
    os.remove(target)
    return elapsed


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
    out = os.path.join(desktop.env["HOME"], "Clips")
    curl = ["curl", "-s", "-X", "POST", "-u", "news:secret", "--cacert", server.ca]
    peaks = {}
    for name, size in sizes.items():
        url = server.url("%d.mpeg" % size)
        target = os.path.join(out, "%d.mpeg" % size)
        runs = {k: [] for k in ("app", "app, later", "core alone", "durable curl", "transfer only", "disk only",
                                "disk direct", "transfer, quiet", "direct, quiet")}
        first_byte = {False: [], True: []}
        def dd(*flags):
            took = timed(["dd", "if=/dev/zero", "of=" + os.path.join(out, "dd"), "bs=1M", "count=%d" % (size >> 20),
                          "conv=fdatasync", *flags], stderr=subprocess.DEVNULL)
            os.remove(os.path.join(out, "dd"))
            return took

        measures = [
            ("app", lambda: app(url, target)),
            ("app, later", (lambda: app(url, target, later=True)) if size >= sizes["1 GiB"] else None),
            ("transfer, quiet", after_quiet(lambda: timed(curl + ["-o", "/dev/null", url]))
             if size >= sizes["1 GiB"] else None),
            ("core alone", lambda: fetch(url, target)),
            ("durable curl", lambda: (durable_curl(url, os.path.join(out, "curl")), 0)),
            ("transfer only", lambda: timed(curl + ["-o", "/dev/null", url])),
            ("disk only", lambda: dd()),
            ("disk direct", lambda: dd("oflag=direct")),
            ("direct, quiet", after_quiet(lambda: dd("oflag=direct")) if size >= sizes["1 GiB"] else None),
        ]
        for round_ in range(rounds):
            # Every other round the other way round: no one keeps the first place.
            for key, measure in measures[:: 1 if round_ % 2 == 0 else -1]:
                if measure:
                    settle()
                    t, peak = measure()
                    runs[key].append(t)
                    peaks[name, key] = max(peaks.get((name, key), 0), peak)
        print("%s, %d rounds (median / best):" % (name, rounds))
        for k, v in [(k, v) for k, v in runs.items() if v]:
            print("  %-15s %7.3f s / %7.3f s   (%s)" % (k, median(v), min(v), " ".join("%.3f" % x for x in v)))
        print("  app: firing to its first body byte %.3f s (median)%s" % (
            median(first_byte[False]), ", fired later %.3f s" % median(first_byte[True]) if first_byte[True] else ""))
        for pick, label in ((median, "median"), (min, "best")):
            limit = max(pick(runs["transfer only"]), min(pick(runs["disk only"]), pick(runs["disk direct"])))
            buffered = max(pick(runs["transfer only"]), pick(runs["disk only"]))
            print("  %-6s app / limit %.2fx (target <= 1.15x; %.2fx with buffered dd alone as the disk's), "
                  "app / durable curl %.2fx, app / core alone %.2fx"
                  % (label, pick(runs["app"]) / limit, pick(runs["app"]) / buffered,
                     pick(runs["app"]) / pick(runs["durable curl"]), pick(runs["app"]) / pick(runs["core alone"])))
            if runs["app, later"]:
                quiet = max(pick(runs["transfer, quiet"]), pick(runs["direct, quiet"]))
                print("  %-6s app fired later / limit after the same quiet wait %.2fx (/ the limit above %.2fx)"
                      % (label, pick(runs["app, later"]) / quiet, pick(runs["app, later"]) / limit))
        # Each round's own ratio too: app and anchors of one round met the same machine.
        limits = [max(transfer, min(disk, direct))
                  for transfer, disk, direct in zip(runs["transfer only"], runs["disk only"], runs["disk direct"])]
        print("  app, median of the rounds' ratios: / limit %.2fx, / core alone %.2fx"
              % (median([a / b for a, b in zip(runs["app"], limits)]),
                 median([a / b for a, b in zip(runs["app"], runs["core alone"])])))
        if runs["app, later"]:
            quiet = [max(t, d) for t, d in zip(runs["transfer, quiet"], runs["direct, quiet"])]
            print("  app, later, median of the rounds' ratios: / limit after the same quiet wait %.2fx"
                  % median([a / b for a, b in zip(runs["app, later"], quiet)]))
        print("  peak RSS: app %.1f MiB, core alone %.1f MiB" % (peaks[name, "app"] / 1024,
                                                                 peaks[name, "core alone"] / 1024))
    print("peak memory 1 GiB - 10 MiB: app %+.1f MiB, core alone %+.1f MiB (target: within 8 MiB)"
          % ((peaks["1 GiB", "app"] - peaks["10 MiB", "app"]) / 1024,
             (peaks["1 GiB", "core alone"] - peaks["10 MiB", "core alone"]) / 1024))

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
