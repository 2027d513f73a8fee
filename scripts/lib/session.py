"""A desktop session of a user's own for the tests and scripts that run a
real compositor: sway and GNOME Shell refuse to run as root, so as root the
session runs as an unprivileged user made for it."""

import os
import pwd
import shutil
import subprocess

from desktop import CONFIG, Processes

USER = "zandortest"
RESOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources")


def as_user():
    """The command prefix that runs as the session's user, making the user when needed."""
    if os.geteuid() != 0:
        return []
    try:
        pwd.getpwnam(USER)
    except KeyError:
        subprocess.run(["useradd", "--system", "--create-home", "--shell", "/usr/sbin/nologin", USER], check=True)
    return ["runuser", "-u", USER, "--"]


class Session(Processes):
    def __init__(self, system_bus=False, services=False):
        super().__init__(as_user())
        os.chmod(self.work, 0o755)
        home, runtime = self.path("home"), self.path("runtime")
        for folder in (home + "/.config/sway", home + "/.config/waybar", home + "/.local/share", runtime):
            os.makedirs(folder)
        shutil.copy(os.path.join(CONFIG, "sway.config"), home + "/.config/sway/config")
        shutil.copy(os.path.join(CONFIG, "waybar.json"), home + "/.config/waybar/config")
        if self.prefix:
            subprocess.run(["chown", "-R", USER, self.work], check=True)
        os.chmod(runtime, 0o700)
        self.env = {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "HOME": home, "XDG_CONFIG_HOME": home + "/.config",
                    "XDG_DATA_HOME": home + "/.local/share", "XDG_RUNTIME_DIR": runtime,
                    "DBUS_SYSTEM_BUS_ADDRESS": "disabled:", "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
                    "WLR_RENDERER": "pixman", "XDG_CURRENT_DESKTOP": "sway", "WAYLAND_DISPLAY": "wayland-1",
                    "QT_QPA_PLATFORM": "wayland", "ASAN_OPTIONS": os.environ.get("ASAN_OPTIONS", ""),
                    "UBSAN_OPTIONS": os.environ.get("UBSAN_OPTIONS", "")}
        self.start_bus(services=services)
        if system_bus:  # with logind, which GNOME Shell asks at start
            self.start_bus("system")
            self.start(["/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "logind"], "logind.log")

    def runnable(self, app):
        """The app as the session's user can run it. A build in a folder only
        root may enter (under /root, say) is copied out, its resources beside
        it as an installed app has them."""
        if not self.prefix or self.run(["test", "-x", app]).returncode == 0:
            return app
        copy = self.path("app", "bin", os.path.basename(app))
        if os.path.exists(copy):
            return copy
        os.makedirs(os.path.dirname(copy))
        shutil.copy2(app, copy)
        shutil.copytree(RESOURCES, self.path("app", "share", "zandorupdate"))
        subprocess.run(["chown", "-R", USER, self.path("app")], check=True)
        return copy
