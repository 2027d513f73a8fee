#!/usr/bin/python3
"""The app in a Wayland session: headless sway with waybar's tray (started
after the app) and mako. The icon registers and shows, the menu waybar reads
has the four commands and its clicks reach the app, a notification body
with "&", "<" and ">" reaches mako escaped, an alert comes up, and Quit
ends the app. sway refuses to run as root: as root, the session runs as an
unprivileged user of its own."""

import os
import pwd
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import SERVERS, Checks, from_template, wait_for, write_settings_file

app = sys.argv[1]
USER = "zandortest"


def as_user():
    """The command prefix that runs as the session's user, making the user when needed."""
    if os.geteuid() != 0:
        return []
    try:
        pwd.getpwnam(USER)
    except KeyError:
        subprocess.run(["useradd", "--system", "--create-home", "--shell", "/usr/sbin/nologin", USER], check=True)
    return ["runuser", "-u", USER, "--"]


class Session:
    def __init__(self):
        self.prefix = as_user()
        self.work = tempfile.mkdtemp(prefix="zandor-sway-")
        os.chmod(self.work, 0o755)
        home, runtime = self.path("home"), self.path("runtime")
        for folder in (home + "/.config/sway", home + "/.config/waybar", home + "/.local/share", runtime):
            os.makedirs(folder)
        shutil.copy(os.path.join(SERVERS, "sway.config"), home + "/.config/sway/config")
        shutil.copy(os.path.join(SERVERS, "waybar.json"), home + "/.config/waybar/config")
        with open(self.path("bus.conf"), "w") as f:
            f.write(from_template("bus.conf", TYPE="session", SOCKET=self.path("bus")))
        if self.prefix:
            subprocess.run(["chown", "-R", USER, self.work], check=True)
        os.chmod(runtime, 0o700)
        self.env = {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "HOME": home, "XDG_CONFIG_HOME": home + "/.config",
                    "XDG_DATA_HOME": home + "/.local/share", "XDG_RUNTIME_DIR": runtime,
                    "DBUS_SESSION_BUS_ADDRESS": "unix:path=" + self.path("bus"), "DBUS_SYSTEM_BUS_ADDRESS": "disabled:",
                    "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman",
                    "XDG_CURRENT_DESKTOP": "sway", "WAYLAND_DISPLAY": "wayland-1", "QT_QPA_PLATFORM": "wayland",
                    "ASAN_OPTIONS": os.environ.get("ASAN_OPTIONS", ""),
                    "UBSAN_OPTIONS": os.environ.get("UBSAN_OPTIONS", "")}
        self.processes = []
        self.start(["dbus-daemon", "--config-file=" + self.path("bus.conf"), "--nofork"], "bus.log")
        assert wait_for(lambda: os.path.exists(self.path("bus"))), "no session bus"

    def path(self, *parts):
        return os.path.join(self.work, *parts)

    def run(self, argv, **kw):
        return subprocess.run(self.prefix + argv, env=self.env, capture_output=True, text=True, **kw)

    def start(self, argv, log):
        out = open(self.path(log), "w")
        proc = subprocess.Popen(self.prefix + argv, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                env=self.env, start_new_session=True)
        self.processes.append(proc)
        return proc

    def has_name(self, name):
        return name in self.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                 "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"]).stdout

    def call(self, destination, path, method, *args):
        return self.run(["dbus-send", "--session", "--print-reply", "--dest=" + destination, path, method] +
                        list(args)).stdout

    def spread(self, box):
        """How much part of the screen varies (an icon or a window there)."""
        shot = self.path("shot.png")
        self.run(["grim", "-g", "%d,%d %dx%d" % box, shot])
        value = subprocess.run(["convert", shot, "-colorspace", "Gray", "-format", "%[fx:255*standard_deviation]",
                                "info:"], capture_output=True, text=True).stdout
        return float(value or 0)

    def close(self):
        for proc in reversed(self.processes):
            try:
                os.killpg(proc.pid, 15)
            except ProcessLookupError:
                pass
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, 9)
        shutil.rmtree(self.work, ignore_errors=True)


check = Checks()
session = Session()
try:
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
    registered = lambda: re.findall(r'"(org\.kde\.StatusNotifierItem-[0-9]+-1)', session.call(
        "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties.Get",
        "string:org.kde.StatusNotifierWatcher", "string:RegisteredStatusNotifierItems"))
    check(wait_for(registered, 30), "the icon registers with waybar's tray that came later")
    check(wait_for(lambda: session.spread((980, 0, 44, 30)) > 20, 10), "waybar shows the icon")
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

    def click(item_id):  # what waybar sends when a menu item is clicked
        session.call(item, "/MenuBar", "com.canonical.dbusmenu.Event", "int32:%d" % item_id, "string:clicked",
                     "variant:int32:0", "uint32:0")

    before = session.spread((312, 200, 400, 240))
    click(1)  # Update Now
    check(wait_for(lambda: session.spread((312, 200, 400, 240)) > before + 10, 15),
          "Update Now from the menu brings up the alert")
    session.run(["grim", session.path("alert.png")])
    click(6)  # Quit
    check(wait_for(lambda: proc.poll() is not None, 20), "Quit from the menu ends the app")
    if os.environ.get("ZU_SHOTS"):
        shutil.copy(session.path("alert.png"), os.environ["ZU_SHOTS"])
finally:
    if check.failed:
        for log in ("app.log", "sway.log", "waybar.log"):
            if os.path.exists(session.path(log)):
                print(log, open(session.path(log)).read()[-1500:])
    session.close()

sys.exit(check.finish())
