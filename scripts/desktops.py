#!/usr/bin/python3
"""The app on desktops too large for the test suite's time: GNOME Shell 43
on X11 (Xvfb) and as a headless Wayland session, each with and without the
AppIndicator extension, and KDE Plasma 5.27 on X11. Prints each check and a
closing count; screenshots where the desktop allows."""

import os
import shutil
import subprocess
import sys
import time

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(top, "scripts", "lib"))
from desktop import Checks, wait_for, write_settings_file  # noqa: E402
from session import USER, Session  # noqa: E402

app = sys.argv[1]
PLASMA_ICON = (815, 618)  # our icon in the bottom panel's tray
MENU_BOX = (700, 120, 300, 150)  # below the icon, clear of the notification banner
ICON_X = 953  # the extension's one indicator, left of the system menu (1024 wide)
check = Checks()


def start_x(session):
    """Xvfb of the session's user, for desktops on X11."""
    display = ":%d" % (40 + os.getpid() % 50)
    session.start(["Xvfb", display, "-screen", "0", "1024x640x24", "-nolisten", "tcp"], "xvfb.log")
    session.env.update(DISPLAY=display, QT_QPA_PLATFORM="xcb", XDG_SESSION_TYPE="x11")
    session.env.pop("WAYLAND_DISPLAY", None)
    assert wait_for(lambda: session.run(["xdpyinfo"]).returncode == 0, 20), "no Xvfb"


def keep_shot(session, name):
    keep = os.path.join(os.environ.get("ZU_SHOTS", "/tmp"), name)
    session.run(["import", "-window", "root", session.path("screen.png")])
    if os.path.exists(session.path("screen.png")):
        shutil.copy(session.path("screen.png"), keep)
        print("   screenshot: " + keep)


def ends(session, proc, name):
    session.run(["pkill", "-TERM", "-f", os.path.basename(app)])
    check(wait_for(lambda: proc.poll() is not None, 20), name + ": SIGTERM ends the app")


def close(session, logs):
    """Ends the session; after a failure, the logs' ends for the reader first."""
    for log in logs if check.failed else ():
        if os.path.exists(session.path(log)):
            print(log, open(session.path(log)).read()[-1500:])
    session.close()


def gnome(extension, x11):
    name = "GNOME Shell 43, %s, %s the AppIndicator extension" % ("X11" if x11 else "headless Wayland",
                                                                   "with" if extension else "without")
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
        if x11:
            start_x(session)
            session.start(["gnome-shell", "--x11", "--replace"], "shell.log")
        else:
            session.start(["gnome-shell", "--headless", "--wayland", "--no-x11", "--virtual-monitor", "1024x640"],
                          "shell.log")
        check(wait_for(lambda: session.has_name("org.gnome.Shell"), 60), name + ": the shell runs")
        # The shell's notification service, which a GNOME session's bus would start on demand.
        session.start(["gjs", "/usr/share/gnome-shell/org.gnome.Shell.Notifications"], "notifications.log")
        wait_for(lambda: session.has_name("org.freedesktop.Notifications"), 20)
        session.start(["dbus-monitor", "interface='com.canonical.dbusmenu'"], "menu.log")
        time.sleep(3)
        session.start(["dbus-monitor", "interface='org.freedesktop.Notifications',member='Notify'"], "notify.log")
        time.sleep(0.5)
        proc = session.start([session.runnable(app)], "app.log")
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
            # The extension restarts (as after an update or a screen lock): the icon comes back.
            for method in ("DisableExtension", "EnableExtension"):
                session.call("org.gnome.Shell", "/org/gnome/Shell",
                             "org.gnome.Shell.Extensions." + method, "string:ubuntu-appindicators@ubuntu.com")
                if method == "DisableExtension":
                    check(wait_for(lambda: not session.has_name("org.kde.StatusNotifierWatcher"), 10),
                          name + ": the tray goes with the extension")
            check(wait_for(session.registered_items, 30), name + ": the icon registers again when the extension restarts")
            if x11:  # both clicks on the top bar's icon open our menu as the shell's popup
                time.sleep(2)
                keep_shot(session, "gnome-x11-bar.png")
                for button in ("1", "3"):
                    opened = open(session.path("menu.log")).read().count("AboutToShow")
                    dark = session.measure(MENU_BOX)
                    session.run(["xdotool", "mousemove", str(ICON_X), "12", "click", button])
                    check(wait_for(lambda: open(session.path("menu.log")).read().count("AboutToShow") > opened, 10)
                          and wait_for(lambda: session.measure(MENU_BOX) != dark, 10),
                          name + ": a %s click opens our menu as the shell's popup" %
                          ("left" if button == "1" else "right"))
                    if button == "1":
                        time.sleep(1)  # the popup slides in
                        keep_shot(session, "gnome-x11-menu.png")
                    session.run(["xdotool", "key", "Escape"])
                    time.sleep(1)
        else:
            check(not session.has_name("org.kde.StatusNotifierWatcher"), name + ": there is no tray")
            check(wait_for(lambda: "gnome-shell-extension-appindicator" in sent(), 45),
                  name + ": after its wait, the app's notification says how to get a tray")
            if x11:
                session.run(["xdotool", "key", "Escape"])  # out of the overview the shell starts in
                time.sleep(1)
            second = session.run([session.runnable(app)], timeout=60)
            check("already running" in second.stdout, name + ": a second start says the app is already running")
            if x11:
                shown = lambda: session.run(["xdotool", "search", "--onlyvisible", "--name",
                                             "ZandorUpdate Settings"]).returncode == 0
                check(wait_for(shown, 10), name + ": and the running app shows its Settings window")
                time.sleep(1)
        if x11:
            keep_shot(session, "gnome-x11-%s.png" % ("tray" if extension else "plain"))
        else:
            print("   (no screenshot: a headless GNOME Shell takes them only for its own tools)")
        ends(session, proc, name)
    finally:
        close(session, ("app.log", "shell.log"))


def plasma():
    name = "KDE Plasma 5.27, X11"
    print("== " + name)
    session = Session(system_bus=True)
    try:
        session.env.update(XDG_CURRENT_DESKTOP="KDE", KDE_FULL_SESSION="true", KDE_SESSION_VERSION="5")
        write_settings_file(session.env["XDG_DATA_HOME"], mpg_download=0, minutes_after_hour="<b>&</b>")
        if session.prefix:
            subprocess.run(["chown", "-R", USER, session.work], check=True)
        start_x(session)
        session.start(["kwin_x11", "--replace"], "kwin.log")
        # What a Plasma session's bus would start on demand.
        session.start(["/usr/lib/x86_64-linux-gnu/libexec/kactivitymanagerd"], "activities.log")
        session.start(["kglobalaccel5"], "kglobalaccel.log")
        session.start(["kded5"], "kded.log")
        wait_for(lambda: session.has_name("org.kde.ActivityManager"), 20)
        session.start(["plasmashell", "--no-respawn"], "plasmashell.log")
        check(wait_for(lambda: session.has_name("org.kde.plasmashell"), 90), name + ": plasmashell runs")
        check(wait_for(lambda: session.has_name("org.kde.StatusNotifierWatcher"), 60) and
              wait_for(lambda: session.has_name("org.freedesktop.Notifications"), 60),
              name + ": its tray and notification service are up")
        session.start(["dbus-monitor", "interface='org.freedesktop.Notifications',member='Notify'"], "notify.log")
        session.start(["dbus-monitor", "interface='com.canonical.dbusmenu'"], "menu.log")
        time.sleep(1)
        proc = session.start([session.runnable(app)], "app.log")
        sent = lambda: open(session.path("notify.log")).read()
        check(wait_for(lambda: "Download not Executed" in sent(), 30), name + ": the notification reaches Plasma")
        check('"&lt;b&gt;&amp;&lt;/b&gt;"' in sent(), name + ": its body is escaped for Plasma's markup")
        check(wait_for(session.registered_items, 30), name + ": the icon registers with Plasma's tray")
        time.sleep(3)
        keep_shot(session, "plasma-x11.png")
        for button in ("1", "3"):
            opened = open(session.path("menu.log")).read().count("AboutToShow")
            session.run(["xdotool", "mousemove", str(PLASMA_ICON[0]), str(PLASMA_ICON[1]), "click", button])
            check(wait_for(lambda: open(session.path("menu.log")).read().count("AboutToShow") > opened, 10),
                  name + ": a %s click opens our menu" % ("left" if button == "1" else "right"))
            if button == "1":
                time.sleep(1)
                keep_shot(session, "plasma-x11-menu.png")
            session.run(["xdotool", "key", "Escape"])
            time.sleep(1)
        ends(session, proc, name)
    finally:
        close(session, ("app.log", "plasmashell.log"))


# DESKTOPS picks some: "gnome-x11,gnome-wayland,plasma-x11" (all by default).
chosen = os.environ.get("DESKTOPS", "gnome-x11,gnome-wayland,plasma-x11").split(",")
for x11 in (True, False):
    if ("gnome-x11" if x11 else "gnome-wayland") in chosen:
        for extension in (True, False):
            gnome(extension, x11)
if "plasma-x11" in chosen:
    plasma()
sys.exit(check.finish())
