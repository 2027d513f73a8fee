#!/usr/bin/python3
"""The app in a Wayland session: headless sway with waybar's tray (started
after the app) and mako. The icon registers and shows, the menu waybar reads
has the four commands and its clicks reach the app, a notification body
with "&", "<" and ">" reaches mako escaped, an alert comes up, and Quit
ends the app. With tray and notification service gone for good, the
Settings window floats and the app's own notice stands beside it. sway
refuses to run as root: as root, the session runs as an unprivileged user
of its own."""

import glob
import json
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "lib"))
from desktop import Checks, wait_for, write_settings_file
from session import USER, Session

check = Checks()
session = Session()
try:
    app = session.runnable(sys.argv[1])
    # No form to fetch: Update Now answers with an alert, and a number that is
    # no number puts "&", "<" and ">" into the scheduler's notification.
    write_settings_file(session.env["XDG_DATA_HOME"], mpg_download=0, minutes_after_hour="<b>&</b>")
    if session.prefix:
        subprocess.run(["chown", "-R", USER, session.env["XDG_DATA_HOME"]], check=True)
    session.start(["sway"], "sway.log")
    check(wait_for(lambda: session.has_name("org.freedesktop.Notifications"), 30), "sway runs with mako")
    # waybar is up too by now: stop it, so that its tray comes after the app.
    session.run(["pkill", "-STOP", "-x", "waybar"])
    session.run(["pkill", "-x", "waybar"])
    session.run(["pkill", "-CONT", "-x", "waybar"])
    session.start(["dbus-monitor", "interface='org.freedesktop.Notifications',member='Notify'"], "notify.log")
    time.sleep(0.5)
    proc = session.start([app], "app.log")
    check(wait_for(lambda: "Download not Executed" in open(session.path("notify.log")).read(), 30),
          "the scheduler's notification reaches mako")
    sent = open(session.path("notify.log")).read()
    check('"<b>&</b>"' not in sent and '"&lt;b&gt;&amp;&lt;/b&gt;"' in sent, "its body is escaped for mako's markup")

    time.sleep(3)  # waybar comes back later, as when a panel restarts
    session.start(["waybar"], "waybar.log")
    registered = session.registered_items
    check(wait_for(registered, 30), "the icon registers with waybar's tray that came later")
    check(wait_for(lambda: session.measure((980, 0, 44, 30), "standard_deviation") > 20, 10), "waybar shows the icon")
    # The tray host crashes and comes back: the icon comes back with it.
    session.run(["pkill", "-KILL", "-x", "waybar"])
    check(wait_for(lambda: not registered(), 10), "the crashed tray's watcher is gone")
    session.start(["waybar"], "waybar2.log")
    check(wait_for(registered, 30), "the icon registers again with the restarted tray")

    item = (registered() or ["none"])[0]
    layout = session.call(item, "/MenuBar", "com.canonical.dbusmenu.GetLayout", "int32:0", "int32:-1",
                          "array:string:")
    for label in ("Update Now", "Settings…", "About ZandorUpdate…", "Quit ZandorUpdate"):
        check('"%s"' % label in layout, "the menu waybar reads has %r" % label)
    is_menu = session.call(item, "/StatusNotifierItem", "org.freedesktop.DBus.Properties.Get",
                           "string:org.kde.StatusNotifierItem", "string:ItemIsMenu")
    check("boolean true" in is_menu, "every click shows that menu, drawn by waybar")
    activate = session.run(["dbus-send", "--session", "--print-reply", "--dest=" + item, "/StatusNotifierItem",
                            "org.kde.StatusNotifierItem.Activate", "int32:0", "int32:0"])
    check("NotSupported" in activate.stderr, "Activate is refused, so a host that calls it shows the menu instead")

    def click(item_id):  # what waybar sends when a menu item is clicked
        session.call(item, "/MenuBar", "com.canonical.dbusmenu.Event", "int32:%d" % item_id, "string:clicked",
                     "variant:int32:0", "uint32:0")

    before = session.measure((312, 200, 400, 240), "standard_deviation")
    click(1)  # Update Now
    check(wait_for(lambda: session.measure((312, 200, 400, 240), "standard_deviation") > before + 10, 15),
          "Update Now from the menu brings up the alert")
    session.run(["grim", session.path("alert.png")])
    click(6)  # Quit
    check(wait_for(lambda: proc.poll() is not None, 20), "Quit from the menu ends the app")
    if os.environ.get("ZU_SHOTS"):
        shutil.copy(session.path("alert.png"), os.environ["ZU_SHOTS"])

    # Tray and notification service gone for good: after its wait the app
    # shows Settings (floating, as large as its contents) and its own notice
    # beside that window, not over it.
    session.run(["pkill", "-KILL", "-x", "waybar"])
    session.run(["pkill", "-x", "mako"])
    proc = session.start([app], "app.log")
    ipc = glob.glob(session.path("runtime", "sway-ipc.*.sock"))

    def settings_window():
        tree = json.loads(session.run(["swaymsg", "-s", ipc[0], "-r", "-t", "get_tree"]).stdout or "{}")
        nodes = [tree]
        while nodes:
            node = nodes.pop()
            if node.get("name") == "ZandorUpdate Settings":
                return node["rect"]
            nodes += node.get("nodes", []) + node.get("floating_nodes", [])

    check(ipc and wait_for(settings_window, 45), "with no tray for good, the Settings window shows")
    window = settings_window() or {"x": 0, "y": 0, "width": 1024, "height": 640}
    check(window["width"] < 700 and window["height"] < 560, "floating, as large as its contents (%s)" % window)
    # The window with its frame (Qt draws the title bar above sway's rect).
    left, top = window["x"] - 4, window["y"] - 30
    right, bottom = window["x"] + window["width"] + 4, window["y"] + window["height"] + 4
    notice = [0, 0, 0, 0]

    def notice_beside():  # what is left once the window is painted over with the background
        session.run(["grim", session.path("fallback.png")])
        out = session.run(["convert", session.path("fallback.png"), "-fill", "gray(63)", "-draw",
                           "rectangle %d,%d %d,%d" % (left, top, right - 1, bottom - 1), "-fuzz", "3%", "-trim",
                           "-format", "%w %h %X %Y", "info:"]).stdout.split()
        notice[:] = (int(v) for v in out) if len(out) == 4 else (0, 0, 0, 0)
        nw, nh, nx, ny = notice
        return nw > 150 and nh > 60 and (nx > right or nx + nw < left or ny > bottom or ny + nh < top)

    check(wait_for(notice_beside, 15, 0.5), "the notice shows beside it, clear of it (%d×%d at %d,%d)" % tuple(notice))
    session.run(["pkill", "-TERM", "-f", os.path.basename(app)])
    check(wait_for(lambda: proc.poll() is not None, 20), "SIGTERM ends the app")
    if os.environ.get("ZU_SHOTS"):
        shutil.copy(session.path("fallback.png"), os.path.join(os.environ["ZU_SHOTS"], "sway-no-tray.png"))
finally:
    if check.failed:
        for log in ("app.log", "sway.log", "waybar.log"):
            if os.path.exists(session.path(log)):
                print(log, open(session.path(log)).read()[-1500:])
    session.close()

sys.exit(check.finish())
