#!/usr/bin/python3
"""The app on desktops too large for the test suite's time: GNOME Shell 43
on X11 (Xvfb) and as a headless Wayland session, each with and without the
AppIndicator extension, KDE Plasma 5.27 on X11, and LXQt 1.2, MATE 1.26 and
Cinnamon 5.6 as whole sessions under their own session managers. Prints each
check and a closing count; screenshots where the desktop allows."""

import os
import shutil
import socket
import subprocess
import sys
import time

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(top, "scripts", "lib"))
from desktop import CONFIG, Checks, wait_for, write_settings_file  # noqa: E402
from session import USER, Session  # noqa: E402

app = os.path.abspath(sys.argv[1])
PLASMA_ICON = (815, 618)  # our icon in the bottom panel's tray
MENU_BOX = (700, 120, 300, 150)  # below the icon, clear of the notification banner
ICON_X = 953  # the extension's one indicator, left of the system menu (1024 wide)
check = Checks()


def start_x(session):
    """Xvfb of the session's user, for desktops on X11."""
    number = 40 + os.getpid() % 50
    while os.path.exists("/tmp/.X11-unix/X%d" % number):  # a display still in use
        number += 1
    display = ":%d" % number
    session.start(["Xvfb", display, "-screen", "0", "1024x640x24", "-nolisten", "tcp"], "xvfb.log")
    session.env.update(DISPLAY=display, QT_QPA_PLATFORM="xcb", XDG_SESSION_TYPE="x11")
    session.env.pop("WAYLAND_DISPLAY", None)
    assert wait_for(lambda: session.run(["xdpyinfo"]).returncode == 0, 20), "no Xvfb"


def keep_shot(session, name):
    keep = os.path.join(os.environ.get("ZU_SHOTS", "/tmp"), name)
    session.run(["import", "-window", "root", session.path("screen.png")])
    if os.path.exists(session.path("screen.png")):
        os.makedirs(os.path.dirname(keep), exist_ok=True)
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
                check(wait_for(lambda: session.shown("ZandorUpdate Settings"), 10),
                      name + ": and the running app shows its Settings window")
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
            # Plasma draws the menu itself (asking for it over D-Bus), or the
            # app shows its own where Plasma calls Activate: either shows above the icon.
            above = (PLASMA_ICON[0] - 115, PLASMA_ICON[1] - 88, 324, 64)
            plain = session.measure(above)
            session.run(["xdotool", "mousemove", str(PLASMA_ICON[0]), str(PLASMA_ICON[1]), "click", button])
            check(wait_for(lambda: abs(session.measure(above) - plain) > 8, 10),
                  name + ": a %s click opens our menu" % ("left" if button == "1" else "right"))
            if button == "1":
                time.sleep(1)
                keep_shot(session, "plasma-x11-menu.png")
            session.run(["xdotool", "key", "Escape"])
            time.sleep(1)
        ends(session, proc, name)
    finally:
        close(session, ("app.log", "plasmashell.log"))


# name, session command, XDG_CURRENT_DESKTOP, the panel that hosts the tray,
# whether the session manager honours X-GNOME-Autostart-enabled=false.
SESSIONS = {
    "lxqt": ("LXQt 1.2", ["startlxqt"], "LXQt", "lxqt-panel", False),
    "mate": ("MATE 1.26", ["mate-session"], "MATE", "mate-panel", False),
    "cinnamon": ("Cinnamon 5.6", ["cinnamon-session", "--session", "cinnamon"], "X-Cinnamon", "xapp-sn-watcher", True),
    "xfce": ("XFCE 4.18", ["xfce4-session"], "XFCE", "xfce4-panel", False),
}


def changed_box(before, after):
    """Where two screenshots differ: (x, y, width, height), or None."""
    out = subprocess.run(["convert", before, after, "-compose", "difference", "-composite", "-threshold", "8%",
                          "-trim", "-format", "%w %h %X %Y", "info:"], capture_output=True, text=True).stdout.split()
    if len(out) != 4 or out[:2] == ["1", "1"]:
        return None
    w, h, x, y = (int(v) for v in out)
    return x, y, w, h


def menu_event(session, label):
    """Clicks an item of the app's menu as a tray host would, over D-Bus."""
    import dbus
    bus = dbus.bus.BusConnection(session.env["DBUS_SESSION_BUS_ADDRESS"])
    menu = dbus.Interface(bus.get_object(session.registered_items()[0], "/MenuBar"), "com.canonical.dbusmenu")
    _, (_, _, entries) = menu.GetLayout(0, -1, ["label"])
    item = next(int(e[0]) for e in entries if e[1].get("label", "") == label)
    menu.Event(item, "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0))


def whole_session(kind, autostart):
    """One login: the session manager reads the autostart entry as the app
    writes it ("on"), as GNOME's settings switch it off ("gnome-off") or as
    the app switches it off ("off"). Where the session is not to start the
    app, the app is started by hand before the session, so its tray comes late."""
    title, command, current, panel, honours_gnome = SESSIONS[kind]
    name = "%s, autostart %s" % (title, autostart)
    print("== " + name)
    session = Session(system_bus=True, services=True)
    try:
        home = session.env["HOME"]
        session.env.update(XDG_CURRENT_DESKTOP=current, XDG_SESSION_DESKTOP=kind, DESKTOP_SESSION=kind)
        os.makedirs(home + "/.config/lxqt", exist_ok=True)
        with open(home + "/.config/lxqt/session.conf", "w") as f:
            f.write("[General]\nwindow_manager=openbox\n")
        channels = home + "/.config/xfce4/xfconf/xfce-perchannel-xml"
        os.makedirs(channels)
        shutil.copy(os.path.join(CONFIG, "xfce4-panel.xml"), channels)  # its panel with a tray, no first-run question
        write_settings_file(session.env["XDG_DATA_HOME"], mpg_download=0, minutes_after_hour="<b>&</b>")
        runnable = session.runnable(app)
        entry = ("[Desktop Entry]\nType=Application\nName=ZandorUpdate\nExec=\"%s\"\nTryExec=%s\n"
                 "Icon=zandorupdate\nTerminal=false\nX-GNOME-Autostart-enabled=true\n" % (runnable, runnable))
        if autostart == "gnome-off":
            entry = entry.replace("enabled=true", "enabled=false")
        elif autostart == "off":
            entry += "Hidden=true\n"
        os.makedirs(home + "/.config/autostart", exist_ok=True)
        os.makedirs(home + "/Clips", exist_ok=True)
        with open(home + "/.config/autostart/zandorupdate.desktop", "w") as f:
            f.write(entry)
        if session.prefix:
            subprocess.run(["chown", "-R", USER, session.work], check=True)
        start_x(session)
        session_starts = autostart == "on" or (autostart == "gnome-off" and not honours_gnome)
        if not session_starts:
            session.start([runnable], "app.log")
        session.start(["dbus-monitor", "interface='com.canonical.dbusmenu'",
                       "interface='org.kde.StatusNotifierItem'"], "menu.log")
        session.start(command, "session.log")
        check(wait_for(lambda: session.has_name("org.kde.StatusNotifierWatcher"), 90), name + ": its tray is up")
        running = lambda: session.run(["pgrep", "-f", "-x", "\"?%s\"?" % runnable]).stdout.split()
        settings_shown = lambda: session.shown("ZandorUpdate Settings")
        if session_starts:
            check(wait_for(lambda: len(running()) == 1, 60), name + ": the session starts the app")
        else:
            time.sleep(15)  # what a session starts, it has started by now
            # A second start would say so and bring the running app's Settings forward.
            count, said = len(running()), "already running" in open(session.path("session.log")).read()
            check(count == 1 and not said, name + ": the session does not start it (%d running%s)"
                  % (count, ", a second start" if said else ""))
        check(wait_for(session.registered_items, 60), name + ": the icon registers" +
              ("" if session_starts else ", with the tray that came after it"))
        time.sleep(4)
        keep_shot(session, "%s-%s.png" % (kind, autostart))
        if autostart == "on":
            # Where the icon is: what changes when the app shows its busy
            # icon, during an Update Now against a server that never answers.
            silent = socket.socket()
            silent.bind(("127.0.0.1", 0))
            silent.listen(1)
            write_settings_file(session.env["XDG_DATA_HOME"], mpg_download=1, minutes_after_hour="<b>&</b>",
                                mpg_url="https://127.0.0.1:%d/zandor.mpeg" % silent.getsockname()[1])
            session.run(["pkill", "-TERM", "-f", "-x", "\"?%s\"?" % runnable])
            wait_for(lambda: not running(), 20)
            session.start([runnable], "app.log")
            check(wait_for(session.registered_items, 30), name + ": started again, the icon is back")
            time.sleep(10)  # its notification has gone again
            session.run(["import", "-window", "root", session.path("idle.png")])
            menu_event(session, "Update Now")
            time.sleep(1.5)
            session.run(["import", "-window", "root", session.path("busy.png")])
            silent.close()  # the update fails at once now; its alert is closed
            box = changed_box(session.path("idle.png"), session.path("busy.png"))
            check(box is not None and box[2] < 64 and box[3] < 64, name + ": the icon is seen in the panel (%s)" % (box,))
            alert = ["xdotool", "search", "--onlyvisible", "--name", "^ZandorUpdate$"]
            wait_for(lambda: session.shown("^ZandorUpdate$"), 20)
            session.run(alert + ["key", "Return"])
            check(wait_for(lambda: not session.shown("^ZandorUpdate$"), 10),
                  name + ": Return closes the update's alert")
            session.run(["xdotool", "keyup", "Return"])  # the closed window never saw the key go up
            time.sleep(1)
            for button in ("1", "3") if box else ():
                calls = open(session.path("menu.log")).read().count("member=")
                session.run(["import", "-window", "root", session.path("before.png")])
                session.run(["xdotool", "mousemove", str(box[0] + box[2] // 2), str(box[1] + box[3] // 2),
                             "click", button])
                opened = [None]

                def menu_drawn():  # a panel may take a moment, the more so after the last menu closed
                    session.run(["import", "-window", "root", session.path("after.png")])
                    opened[0] = changed_box(session.path("before.png"), session.path("after.png"))
                    return opened[0] is not None and opened[0][2] * opened[0][3] > 3000

                drawn = wait_for(menu_drawn, 6, 0.5)
                asked = open(session.path("menu.log")).read().count("member=") > calls
                check(asked and drawn,
                      name + ": a %s click opens the menu (%s)" % ("left" if button == "1" else "right", opened[0]))
                if button == "1":
                    keep_shot(session, "%s-menu.png" % kind)
                session.run(["xdotool", "key", "Escape"])
                time.sleep(1)
            # The tray goes away: back again (the session restarts it), or the
            # app's own way back after its wait.
            session.run(["pkill", "-KILL", "-x", panel])
            check(wait_for(lambda: not session.registered_items() or not session.has_name(
                "org.kde.StatusNotifierWatcher"), 10), name + ": killing %s takes the icon away" % panel)
            back = wait_for(lambda: session.registered_items() or settings_shown(), 60)
            check(back, name + ": then the icon comes back (%s) or the Settings window shows"
                  % ("it came back" if session.registered_items() else "Settings shown"))
        check(len(running()) >= 1, name + ": the app runs on")
        session.run(["pkill", "-TERM", "-f", "-x", "\"?%s\"?" % runnable])
    finally:
        close(session, ("app.log", "session.log"))
        if session.prefix:  # what the session manager started and left behind
            subprocess.run(["pkill", "-KILL", "-u", USER])
            time.sleep(1)


# DESKTOPS picks some: "gnome-x11,gnome-wayland,plasma-x11,lxqt,mate,cinnamon" (all by default).
chosen = os.environ.get("DESKTOPS", "gnome-x11,gnome-wayland,plasma-x11,lxqt,mate,cinnamon").split(",")
for x11 in (True, False):
    if ("gnome-x11" if x11 else "gnome-wayland") in chosen:
        for extension in (True, False):
            gnome(extension, x11)
if "plasma-x11" in chosen:
    plasma()
for kind in SESSIONS:
    if kind in chosen:
        for autostart in os.environ.get("AUTOSTARTS", "on,gnome-off,off").split(","):
            whole_session(kind, autostart)
sys.exit(check.finish())
