#!/usr/bin/python3
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from measure import median, run_until, stop

build, rounds = sys.argv[1], int(sys.argv[2])
programs = {
    "zandorupdate": ([os.path.join(build, "app/zandorupdate")], "duedate "),
    "bare tray": ([os.path.join(build, "bench/bare_tray")], "ready"),
}
results = {}
for name, (argv, marker) in programs.items():
    times, peaks = [], []
    for _ in range(rounds):
        seconds, peak, proc = run_until(argv, marker)
        stop(proc)
        times.append(seconds)
        peaks.append(peak)
    results[name] = (median(times), max(peaks))
    print("%-13s start-up %6.1f ms (median of %d)  peak RSS %6.1f MiB" % (name, results[name][0] * 1000, rounds,
                                                                        results[name][1] / 1024))
app, bare = results["zandorupdate"], results["bare tray"]
print("ratio %.2fx time, %+.1f MiB peak memory (targets: <= 1.30x, <= +15 MiB)" % (app[0] / bare[0],
                                                                                  (app[1] - bare[1]) / 1024))
