#!/usr/bin/python3
"""Crash safety: the settings file and the download folder after SIGKILL at
random moments. The settings file must always parse and hold one whole
record; the clip must always be the old one or the new one, never a part."""

import os
import plistlib
import random
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "lib"))
from desktop import Checks, Desktop, NewsServer, app_due_now, write_settings

save_loop, app = sys.argv[1], sys.argv[2]
rounds = int(os.environ.get("CRASH_ROUNDS", "300"))
random.seed(int(os.environ.get("CRASH_SEED", "4711")))

check = Checks(quiet_passes=True)
desktop = Desktop(with_notifications=False)
try:
    settings = write_settings(desktop)
    initial = plistlib.load(open(settings, "rb"))["appSettings"]  # still there if killed before the first save
    for n in range(rounds):
        proc = subprocess.Popen([save_loop], env=desktop.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        proc.stdout.readline()  # saving from now on
        time.sleep(random.uniform(0, 0.03))
        proc.send_signal(signal.SIGKILL)
        proc.wait()
        proc.stdout.close()
        try:
            record = plistlib.load(open(settings, "rb"))["appSettings"]
            whole = record == initial or (record.get("round") in (0, 1) and
                                           len(record["filler"]) == 20000 + 20000 * record["round"])
        except Exception as error:  # noqa: BLE001 - any failure to read is the finding
            whole = False
            print("unreadable after round %d: %s" % (n, error))
        check(whole, "settings whole after kill %d" % n)
    print("%d kills during saves: settings always whole" % rounds if not check.failed else "settings damaged")

    server = NewsServer(desktop)
    old = b"old clip " * 100000
    new = b"NEW CLIP " * 3000000  # 27 MB: long enough to be killed in the middle
    target, argv = app_due_now(desktop, server, new, app)
    clips = os.path.dirname(target)
    desktop.env["QT_QPA_PLATFORM"] = "offscreen"
    kills = int(os.environ.get("CRASH_DOWNLOAD_ROUNDS", "30"))
    for n in range(kills):
        with open(target, "wb") as f:
            f.write(old)
        log = open(desktop.path("crash-app.log"), "w")
        proc = subprocess.Popen(argv, env=desktop.env, stdout=subprocess.PIPE, stderr=log, text=True)
        # Kill somewhere in the download: after the due-time line, at a random moment.
        while True:
            line = proc.stdout.readline()
            if not line or line.startswith("duedate"):
                break
        time.sleep(random.uniform(0, 0.4))
        proc.send_signal(signal.SIGKILL)
        proc.wait()
        proc.stdout.close()
        data = open(target, "rb").read()
        check(data in (old, new), "clip old or new after kill %d (got %d bytes)" % (n, len(data)))
        for name in os.listdir(clips):  # what a killed transfer leaves is hidden, never the clip
            if name != "zandor.mpeg":
                check(name.startswith(".zandor.mpeg.part-"), "only hidden parts beside the clip: " + name)
                os.remove(os.path.join(clips, name))
    print("%d kills during downloads: the clip always whole" % kills)
finally:
    desktop.close()

sys.exit(check.finish())
