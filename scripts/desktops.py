#!/usr/bin/python3
"""The app on desktops too large for the test suite's time: GNOME Shell 43
as a headless Wayland session, with and without the AppIndicator extension.
Prints each check and a closing count; screenshots where the shell allows."""

import os
import shutil
import subprocess
import sys
import time

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(top, "tests", "harness"))
from desktop import Checks, wait_for, write_settings_file  # noqa: E402
from session import USER, Session  # noqa: E402

app = sys.argv[1]
check = Checks()


def gnome(extension):
    name = "GNOME Shell 43, headless Wayland, %s the AppIndicator extension" % ("with" if extension else "without")
    print("== " + name)
    session = Session(system_bus=True)
    try:
        session.env.update(GSETTINGS_BACKEND="keyfile", WAYLAND_DISPLAY="wayland-0", XDG_CURRENT_DESKTOP="GNOME")
        settings = os.path.join(session.env["XDG_CONFIG_HOME"], "glib-2.0/settings")
        os.makedirs(settings)
        with open(os.path.join(settings, "keyfile"), "w") as f:
            f.write("[org/gnome/shell]\nenabled-extensions=[%s]\nwelcome-dialog-last-shown-version='999'\n"
                    % ("'ubuntu-appindicators@ubuntu.com'" if extension else ""))
        write_settings_file(session.env["XDG_DATA_HOME"], mpg_download=0, minutes_after_hour="<b>&</b>")
        if session.prefix:
            subprocess.run(["chown", "-R", USER, session.work], check=True)
        session.start(["gnome-shell", "--headless", "--wayland", "--no-x11", "--virtual-monitor", "1024x640"],
                      "shell.log")
        check(wait_for(lambda: session.has_name("org.gnome.Shell"), 60), name + ": the shell runs")
        time.sleep(3)
        session.start(["dbus-monitor", "interface='org.freedesktop.Notifications',member='Notify'"], "notify.log")
        time.sleep(0.5)
        proc = session.start([app], "app.log")
        said = lambda: open(session.path("app.log")).read()
        sent = lambda: open(session.path("notify.log")).read()
        if session.has_name("org.freedesktop.Notifications"):
            check(wait_for(lambda: "Download not Executed" in sent(), 30),
                  name + ": the notification reaches the shell")
            check('"&lt;b&gt;&amp;&lt;/b&gt;"' in sent(), name + ": its body is escaped for the shell's markup")
        else:  # a shell without a user session serves no notifications
            check(wait_for(lambda: "showing them in windows of our own" in said(), 30),
                  name + ": no notification service here, so the app shows its own windows")
        if extension:
            check(wait_for(session.registered_items, 30), name + ": the icon registers with the extension's tray")
        else:
            check(not session.has_name("org.kde.StatusNotifierWatcher"), name + ": there is no tray")
            second = session.run([app], timeout=60)
            check("already running" in second.stdout, name + ": a second start reaches the running app")
        shot = session.path("screen.png")
        said = session.call("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                            "org.gnome.Shell.Screenshot.Screenshot", "boolean:false", "boolean:false",
                            "string:" + shot)
        if os.path.exists(shot):
            keep = os.path.join(os.environ.get("ZU_SHOTS", "/tmp"), "gnome-%s.png" % ("tray" if extension else "plain"))
            shutil.copy(shot, keep)
            print("   screenshot: " + keep)
        else:
            print("   (no screenshot: the shell only takes them for its own tools) " + said.strip()[:120])
        session.run(["pkill", "-TERM", "-f", os.path.basename(app)])
        check(wait_for(lambda: proc.poll() is not None, 20), name + ": SIGTERM ends the app")
    finally:
        if check.failed:
            for log in ("app.log", "shell.log"):
                if os.path.exists(session.path(log)):
                    print(log, open(session.path(log)).read()[-1500:])
        session.close()


for extension in (True, False):
    gnome(extension)
sys.exit(check.finish())
