#!/usr/bin/python3
"""Start-up to "ready" and peak memory, the app against a bare Qt tray
program, in alternating rounds (every other one in the other order) so that
the machine's drift hits both."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from measure import median, run_until, stop

build, rounds = sys.argv[1], int(sys.argv[2])
programs = {
    "zandorupdate": ([os.path.join(build, "app/zandorupdate")], "duedate "),
    "bare tray": ([os.path.join(build, "bench/bare_tray")], "ready"),
}
times = {name: [] for name in programs}
peaks = {name: [] for name in programs}
ratios = []
for round_ in range(rounds):
    for name, (argv, marker) in list(programs.items())[:: 1 if round_ % 2 == 0 else -1]:
        seconds, peak, proc = run_until(argv, marker)
        stop(proc)
        times[name].append(seconds)
        peaks[name].append(peak)
    ratios.append(times["zandorupdate"][-1] / times["bare tray"][-1])
for name in programs:
    print("%-13s start-up %6.1f ms (median of %d)  peak RSS %6.1f MiB" % (name, median(times[name]) * 1000, rounds,
                                                                        max(peaks[name]) / 1024))
app, bare = "zandorupdate", "bare tray"
print("ratio %.2fx time (median of the rounds' ratios %.2fx), %+.1f MiB peak memory (targets: <= 1.30x, <= +15 MiB)"
      % (median(times[app]) / median(times[bare]), median(ratios), (max(peaks[app]) - max(peaks[bare])) / 1024))
