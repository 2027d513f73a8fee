#!/usr/bin/python3
"""The app on a real XFCE desktop under Xvfb: xfce4-panel with its status
tray (started after the app, as at login) and xfce4-notifyd. The icon
registers, a left and a right click open the menu as the panel's popup, a
notification whose body holds "&", "<" and ">" reaches the daemon escaped
for its markup, a panel gone for good brings the Settings window and a
notice, an alert comes up from the menu (and Qt's own tray icon, made before
the panel came, stays hidden), and Quit ends the app."""

import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "lib"))
from desktop import Checks, Desktop, wait_for, write_settings

app = sys.argv[1]
ICON = (1000, 0, 24, 30)  # the panel's right end, where the tray sits
MENU = (830, 40, 180, 90)  # where its popup opens below it


def click(desktop, button):
    subprocess.run(["xdotool", "mousemove", str(ICON[0] + ICON[2] // 2), "14", "click", str(button)],
                   env=desktop.env, check=True)


def qt_tray_icons(desktop):
    """Small windows of ours on screen: Qt's own tray icon, docked."""
    found = []
    for line in desktop.run(["xwininfo", "-root", "-tree"]).stdout.splitlines():
        m = re.match(r'\s*(0x[0-9a-f]+) "ZandorUpdate": .* (\d+)x\d+\+', line)
        if m and int(m.group(2)) <= 64 and "IsViewable" in desktop.run(["xwininfo", "-id", m.group(1)]).stdout:
            found.append(m.group(1))
    return found


check = Checks()
desktop = Desktop(with_notifications=False)
try:
    # An address where nothing answers: Update Now answers with an alert, and
    # a number that is no number puts "&", "<" and ">" into the scheduler's
    # notification.
    write_settings(desktop, mpg_url="https://127.0.0.1:9/zandor.mpeg", minutes_after_hour="<b>&</b>")
    desktop.start_xfce(panel=False)
    proc = desktop.start([app], "app.log")
    check(wait_for(lambda: "Download not Executed" in open(desktop.path("notifications.log")).read(), 30),
          "the scheduler's notification reaches xfce4-notifyd")
    sent = open(desktop.path("notifications.log")).read()
    check('"<b>&</b>"' not in sent and '"&lt;b&gt;&amp;&lt;/b&gt;"' in sent,
          "its body is escaped for the daemon's markup")

    time.sleep(3)  # the panel comes later, as at login
    panel = desktop.start_xfce_panel()
    check(wait_for(desktop.registered_items, 30), "the icon registers with the panel that came later")
    check(wait_for(lambda: desktop.measure(ICON, "standard_deviation") > 20, 10), "the panel shows the icon")
    check(desktop.measure(ICON, "mean.g") > desktop.measure(ICON, "mean.r") + 5, "in its own colours")
    dark = desktop.measure(MENU)
    for button, name in ((1, "left"), (3, "right")):
        click(desktop, button)
        check(wait_for(lambda: desktop.measure(MENU) > dark + 100, 10),
              "a %s click opens the menu as the panel's popup" % name)
        if button == 1:  # what the user sees, for the README
            subprocess.run(["import", "-window", "root", "-crop", "1024x160+0+0", desktop.path("menu.png")],
                           env=desktop.env)
        subprocess.run(["xdotool", "key", "Escape"], env=desktop.env)
        wait_for(lambda: desktop.measure(MENU) < dark + 50, 5)

    # A host that calls Activate on a left click (LXQt, MATE, Cinnamon) gets
    # the menu too, at the point it names; twice in a row, one menu.
    item = (desktop.registered_items() or ["none"])[0]
    activate = lambda x, y: desktop.run(["dbus-send", "--session", "--print-reply", "--dest=" + item,
                                         "/StatusNotifierItem", "org.kde.StatusNotifierItem.Activate",
                                         "int32:%d" % x, "int32:%d" % y]).returncode == 0
    # Where the icon is; off every screen; MATE's (x 0, below its top panel).
    for x, y in ((1012, 14), (-5000, 99999), (0, 25)):
        called = activate(x, y)
        check(called and wait_for(lambda: desktop.measure(MENU) > dark + 100, 10),
              "Activate at (%d, %d) shows the menu" % (x, y))
        check(activate(x, y), "Activate again while it is up keeps that menu")
        subprocess.run(["xdotool", "key", "Escape"], env=desktop.env)
        check(wait_for(lambda: desktop.measure(MENU) < dark + 50, 5), "Escape closes it")
    check(proc.poll() is None, "and the app runs on")

    click(desktop, 1)  # Update Now, the first item
    wait_for(lambda: desktop.measure(MENU) > dark + 100, 10)
    subprocess.run(["xdotool", "mousemove", "900", "46", "click", "1"], env=desktop.env)
    check(wait_for(lambda: desktop.shown("^ZandorUpdate$"), 10),
          "Update Now from the panel's menu brings up the alert")
    subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^ZandorUpdate$", "key", "Return"], env=desktop.env)
    # The update changed the icon's image: Qt's own tray icon, made while no
    # panel was there, stays hidden beside the registered item.
    check(not wait_for(lambda: qt_tray_icons(desktop), 3), "no second icon comes")

    click(desktop, 1)  # Quit, the last item
    wait_for(lambda: desktop.measure(MENU) > dark + 100, 10)
    subprocess.run(["xdotool", "mousemove", "900", "123", "click", "1"], env=desktop.env)
    check(wait_for(lambda: proc.poll() is not None, 20), "Quit from the panel's menu ends the app")
    # Started again, then the panel goes and does not come back: after the
    # same wait as for a tray that never came, a notice and the Settings window.
    proc = desktop.start([app], "app2.log")
    check(wait_for(lambda: len(desktop.registered_items()) == 1, 30), "started again, the icon registers")
    os.killpg(panel.pid, 15)
    check(wait_for(lambda: "ZandorUpdate is running" in open(desktop.path("notifications.log")).read(), 45),
          "a tray gone for good: the notice comes")
    if not check(wait_for(lambda: desktop.shown("ZandorUpdate Settings"), 20), "and the Settings window"):
        print("windows:", desktop.run(["xdotool", "search", "--name", "Zandor", "getwindowname", "%@"]).stdout)
        print("app2.log:", open(desktop.path("app2.log")).read()[-1500:])
    # Qt's own icon, made only now, docks in a plain XEmbed tray with the
    # item's image.
    desktop.start_trayer()
    check(wait_for(lambda: desktop.measure((1001, 1, 22, 26), "standard_deviation") > 20, 10),
          "a plain XEmbed tray that comes then shows the icon")
    proc.terminate()
    check(proc.wait(20) == 0, "and the app runs on until it is ended")
    if os.environ.get("ZU_SHOTS"):
        shutil.copy(desktop.path("menu.png"), os.environ["ZU_SHOTS"])
finally:
    if check.failed:
        for log in ("app.log", "notifications.log"):
            print(log, open(desktop.path(log)).read()[-2000:])
    desktop.close()

sys.exit(check.finish())
