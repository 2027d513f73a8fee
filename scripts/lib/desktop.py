"""The throw-away desktop that the tests, the demo, the benchmarks and the
screenshot and desktop scripts run the real binary on: a home, Xvfb, a private
session bus (no service folders, so nothing is started behind our back) with
a logging notification daemon, a tray host, and nginx serving the clips over
HTTPS. From the shell: `desktop.py` starts one with trayer as the tray, prints
its environment as NAME=VALUE lines and "ready", and runs until its standard
input closes (scripts/lib/desktop.sh wraps this)."""

import os
import re
import shutil
import socket
import subprocess
import tempfile
import time

PYTHON = "/usr/bin/python3"  # Debian's, with the D-Bus modules


CONFIG = os.path.join(os.path.dirname(os.path.abspath(__file__)), "config")


def from_template(name, **values):
    """One of the servers' shared configuration files, its @PLACEHOLDERS@ filled."""
    text = open(os.path.join(CONFIG, name)).read()
    for key, value in values.items():
        text = text.replace("@%s@" % key, value)
    return text


def wait_for(condition, timeout=20.0, step=0.05):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(step)
    return False


def stop(proc):
    """Ends a process politely, then firmly."""
    if proc.poll() is None:
        proc.terminate()
    try:
        proc.wait(5)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Processes:
    """A work folder and the processes started in it, stopped at close."""

    def __init__(self, prefix=()):
        self.work = tempfile.mkdtemp(prefix="zandor-desktop-")
        self.keep = False
        self.processes = []
        self.env = dict(os.environ)
        self.prefix = list(prefix)  # runs each command as another user

    def path(self, *parts):
        return os.path.join(self.work, *parts)

    def start(self, argv, log, env=None, **kw):
        out = open(self.path(log), "w")
        proc = subprocess.Popen(self.prefix + argv, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                env=env or self.env, start_new_session=True, **kw)
        self.processes.append(proc)
        return proc

    def shown(self, name):
        """Whether a window whose name matches `name` (a regular expression) is on screen (X11)."""
        return self.run(["xdotool", "search", "--onlyvisible", "--name", name]).returncode == 0

    def run(self, argv, **kw):
        return subprocess.run(self.prefix + argv, env=self.env, capture_output=True, text=True, **kw)

    def start_bus(self, kind="session", services=False):
        """A private bus with no service folders, so nothing starts behind our
        back; with `services`, the system's, as a desktop session has them."""
        socket_path = self.path(kind + "-bus")
        with open(self.path(kind + ".conf"), "w") as f:
            conf = from_template("bus.conf", TYPE=kind, SOCKET=socket_path)
            if services:
                conf = conf.replace("</busconfig>", "  <standard_session_servicedirs/>\n</busconfig>")
            f.write(conf)
        self.start(["dbus-daemon", "--config-file=" + self.path(kind + ".conf"), "--nofork"], kind + "-bus.log")
        assert wait_for(lambda: os.path.exists(socket_path)), "no %s bus" % kind
        address = "unix:path=" + socket_path
        self.env["DBUS_%s_BUS_ADDRESS" % kind.upper()] = address
        return address

    def call(self, destination, path, method, *args):
        return self.run(["dbus-send", "--session", "--print-reply", "--dest=" + destination, path, method] +
                        list(args)).stdout

    def registered_items(self):
        """The StatusNotifierItems the tray host knows."""
        return re.findall(r'"(org\.kde\.StatusNotifierItem-[0-9]+-1)', self.call(
            "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties.Get",
            "string:org.kde.StatusNotifierWatcher", "string:RegisteredStatusNotifierItems"))

    def measure(self, box, what="mean"):
        """The mean brightness (0 to 255) of part of the screen (x, y, width,
        height), or with "standard_deviation" how much it varies there; one
        colour's with "mean.r", "mean.g" or "mean.b"."""
        shot = self.path("shot.png")
        if "WAYLAND_DISPLAY" in self.env:
            self.run(["grim", "-g", "%d,%d %dx%d" % box, shot])
        else:
            self.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (box[2], box[3], box[0], box[1]), shot])
        gray = [] if "." in what else ["-colorspace", "Gray"]
        value = subprocess.run(["convert", shot] + gray + ["-format", "%%[fx:255*%s]" % what, "info:"],
                               capture_output=True, text=True).stdout
        return float(value or 0)

    def has_name(self, name, address=None):
        result = subprocess.run(["dbus-send", "--bus=" + (address or self.env["DBUS_SESSION_BUS_ADDRESS"]),
                                 "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus.NameHasOwner", "string:" + name],
                                capture_output=True, text=True)
        return "boolean true" in result.stdout

    def close(self):
        for proc in reversed(self.processes):  # each with what it started
            try:
                os.killpg(proc.pid, 15)
            except ProcessLookupError:
                pass
            stop(proc)
        if not self.keep:
            shutil.rmtree(self.work, ignore_errors=True)


class Desktop(Processes):
    def __init__(self, with_notifications=True, headless=True):
        super().__init__()
        home = self.path("home")
        for sub in ("Documents", ".config", ".local/share", "Clips"):
            os.makedirs(os.path.join(home, sub), exist_ok=True)
        runtime = self.path("runtime")
        os.makedirs(runtime, mode=0o700)
        with open(os.path.join(home, ".config/user-dirs.dirs"), "w") as f:
            f.write('XDG_DOCUMENTS_DIR="$HOME/Documents"\n')
        # No sound server runs here: sound goes to the card, not to a server
        # the machine's ALSA setup may name (PipeWire's plugin, finding no
        # daemon, leaks what LeakSanitizer then reports as ours).
        with open(os.path.join(home, ".asoundrc"), "w") as f:
            f.write("pcm.!default { type hw card 0 }\nctl.!default { type hw card 0 }\n")
        self.env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                        XDG_DATA_HOME=os.path.join(home, ".local/share"), XDG_RUNTIME_DIR=runtime,
                        DBUS_SYSTEM_BUS_ADDRESS="disabled:", QT_QPA_PLATFORM="xcb")
        self.env.pop("WAYLAND_DISPLAY", None)
        if not headless:  # the user's own display and session bus
            return
        self._start_x()
        self.start_bus()
        if with_notifications:
            self.start([PYTHON, "-m", "dbusmock", "--template", "notification_daemon", "-l",
                        self.path("notifications.log")], "dbusmock.log")
            assert wait_for(lambda: self.has_name("org.freedesktop.Notifications")), "no notification daemon"

    XFCE = "/usr/lib/x86_64-linux-gnu/xfce4"

    def start_xfce(self, panel=True):
        """XFCE's own notification daemon and, unless told otherwise, its panel
        with the status tray (configured from config/), as an XFCE
        session has them; the Notify calls are logged to notifications.log."""
        self.env["XDG_CURRENT_DESKTOP"] = "XFCE"
        channels = os.path.join(self.env["XDG_CONFIG_HOME"], "xfce4/xfconf/xfce-perchannel-xml")
        os.makedirs(channels, exist_ok=True)
        for channel in ("xfce4-panel.xml", "xfce4-notifyd.xml"):
            shutil.copy(os.path.join(CONFIG, channel), channels)
        self.start(["dbus-monitor", "--address", self.env["DBUS_SESSION_BUS_ADDRESS"],
                    "interface='org.freedesktop.Notifications',member='Notify'"], "notifications.log")
        self.start([self.XFCE + "/xfconf/xfconfd"], "xfconfd.log")
        self.start([self.XFCE + "/notifyd/xfce4-notifyd"], "notifyd.log")
        assert wait_for(lambda: self.has_name("org.freedesktop.Notifications"), 30), "no xfce4-notifyd"
        if panel:
            self.start_xfce_panel()

    def start_xfce_panel(self):
        """Starts the panel with its tray; returns its process."""
        panel = self.start(["xfce4-panel"], "panel.log")
        assert wait_for(lambda: self.has_name("org.kde.StatusNotifierWatcher"), 30), "no tray in xfce4-panel"
        return panel

    def start_trayer(self):
        """A plain XEmbed tray along the top edge, right-aligned."""
        self.start(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "28",
                    "--transparent", "false", "--tint", "0x303030", "--SetDockType", "true"], "trayer.log")
        time.sleep(1)

    def _start_x(self):
        read, write = os.pipe()
        # No key repeat: a key whose release went to a window that closed on
        # its press would type into the next window that opens.
        self.start(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x640x24", "-nolisten", "tcp", "-r"],
                   "xvfb.log", pass_fds=(write,))
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(read)
        self.env["DISPLAY"] = ":" + number.decode().strip()

    def notifications(self):
        try:
            with open(self.path("notifications.log")) as f:
                return f.read()
        except FileNotFoundError:
            return ""

class NewsServer:
    """nginx with a test certificate authority, POST on /zandor/ behind Basic auth."""

    def __init__(self, desktop, user="news", password="secret"):
        self.root = desktop.path("server")
        os.makedirs(os.path.join(self.root, "www/zandor"))
        os.makedirs(os.path.join(self.root, "tmp"))
        p = lambda name: os.path.join(self.root, name)
        subprocess.run([os.path.join(CONFIG, "make-certificates"), self.root], check=True)
        hashed = subprocess.run(["openssl", "passwd", "-apr1", password], check=True,
                                capture_output=True).stdout.decode().strip()
        with open(p("htpasswd"), "w") as f:
            f.write("%s:%s\n" % (user, hashed))
        self.port = free_port()
        with open(p("nginx.conf"), "w") as f:
            f.write(from_template("nginx.conf", ROOT=self.root, PORT=str(self.port), CERT=p("server.pem"),
                                  KEY=p("server.key")))
        self.ca = p("ca.pem")
        desktop.start(["/usr/sbin/nginx", "-p", self.root, "-e", p("error.log"), "-c", p("nginx.conf")],
                      "nginx.log")

        def answers():
            try:
                socket.create_connection(("127.0.0.1", self.port), 0.2).close()
                return True
            except OSError:
                return False

        assert wait_for(answers), "nginx did not start"

    def url(self, name, slow=False):
        """The clip's address; a slow one sends 64 KiB a second."""
        return "https://127.0.0.1:%d/%s/%s" % (self.port, "slow" if slow else "zandor", name)

    def publish(self, name, data):
        with open(os.path.join(self.root, "www/zandor", name), "wb") as f:
            f.write(data)

    def withdraw(self, name):
        os.remove(os.path.join(self.root, "www/zandor", name))


def make_clip(path, seconds=2, form="vob"):
    """A real clip: MPEG program stream ("vob") or MXF, picture and sound."""
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                    "testsrc=size=320x240:rate=25:duration=%d" % seconds, "-f", "lavfi", "-i",
                    "sine=sample_rate=48000:duration=%d" % seconds, "-c:v", "mpeg2video", "-c:a",
                    "pcm_s16le" if form == "mxf" else "mp2", "-f", form, path], check=True)


def write_settings(desktop, **settings):
    """The settings file, as the app would have saved it."""
    return write_settings_file(desktop.env["XDG_DATA_HOME"], **settings)


def write_settings_file(data_home, **settings):
    import plistlib
    folder = os.path.join(data_home, "ZandorUpdate")
    os.makedirs(folder, mode=0o700, exist_ok=True)
    values = {"mpg_download": 1, "mxf_download": 0, "username": "news", "password": "secret",
              "minutes_after_hour": "5", "downloadfilepath": os.path.normpath(os.path.join(data_home, "..", "..", "Clips")),
              "start_at_startup": 0, "automatic_download": 1, "mpg_url": "", "mxf_url": ""}
    values.update(settings)
    path = os.path.join(folder, "appSettings.plist")
    with open(path, "wb") as f:
        plistlib.dump({"appSettings": values}, f)
    os.chmod(path, 0o600)
    return path


class Checks:
    """Named checks that print as they go and end in the closing count line."""

    def __init__(self):
        self.passed, self.failed = [], []

    def __call__(self, condition, what):
        print(("ok   " if condition else "FAIL ") + what)
        (self.passed if condition else self.failed).append(what)
        return condition

    def finish(self):
        print("%d passed, %d failed" % (len(self.passed), len(self.failed)))
        return 1 if self.failed else 0


def app_due_now(desktop, server, clip, app):
    """Publishes the clip, points the settings at the server with the first
    hourly firing already past, and gives the command line that starts the
    app trusting the server (a test build's own switch): (path the clip will
    be stored at, argv)."""
    server.publish("zandor.mpeg", clip)
    target = os.path.join(desktop.env["HOME"], "Clips", "zandor.mpeg")
    # Two hours back from the next full hour: the first firing is already past.
    write_settings(desktop, mpg_url=server.url("zandor.mpeg"), mxf_url=server.url("zandor.mxf"),
                   minutes_after_hour="-120")
    desktop.env["ZANDORUPDATE_TEST_CA"] = server.ca
    return target, [app]


if __name__ == "__main__":
    import sys
    desktop = Desktop()
    try:
        desktop.start_trayer()
        for name in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "DISPLAY",
                     "DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS", "QT_QPA_PLATFORM"):
            print("%s=%s" % (name, desktop.env[name]))
        print("WORK=" + desktop.work)
        print("ready", flush=True)
        sys.stdin.read()
    finally:
        desktop.close()
