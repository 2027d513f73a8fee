#!/usr/bin/python3
"""The demo: a local news-file server with a freshly made clip, and the real
app in a throw-away home whose settings point at it, so the first hourly
update runs at once."""

import os
import subprocess
import sys
import time

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(top, "scripts", "lib"))
from desktop import Desktop, NewsServer, app_due_now, make_clip, wait_for

app = os.path.join(top, "build", "demo", "app", "zandorupdate")
headless = not os.environ.get("DISPLAY") and not os.environ.get("WAYLAND_DISPLAY")

# Headless, on a real XFCE panel and notification daemon, as a user sees it.
desktop = Desktop(headless=headless, with_notifications=False)
desktop.keep = headless
try:
    if headless:
        desktop.start_xfce()
    server = NewsServer(desktop)
    clip = desktop.path("clip.mpeg")
    make_clip(clip, seconds=5)
    target, argv = app_due_now(desktop, server, open(clip, "rb").read(), app)
    print("demo: news server on https://127.0.0.1:%d, settings in %s" % (server.port, desktop.env["XDG_DATA_HOME"]))
    proc = desktop.start(argv, "app.log")
    done = wait_for(lambda: os.path.exists(target), 60)
    print("demo: %s" % ("downloaded " + target if done else "no download yet; see " + desktop.path("app.log")))
    if headless:
        time.sleep(1)  # let the tray and the notification settle
        shot = desktop.path("screen.png")
        subprocess.run(["import", "-display", desktop.env["DISPLAY"], "-window", "root", shot])
        print("demo: notifications shown: %s" % desktop.path("notifications.log"))
        print("demo: screenshot: %s" % shot)
        print("demo: the app's output: %s" % desktop.path("app.log"))
        sys.exit(0 if done else 1)
    print("demo: ZandorUpdate is in your tray; quit it from its menu to end the demo")
    proc.wait()
finally:
    desktop.close()
