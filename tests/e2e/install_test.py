#!/usr/bin/python3
"""What an administrator and a packager meet: the installed tree (icons as
PNG at every size panels and notification daemons ask for, the settings
template an administrator edits under /etc/xdg, AppStream metadata named
after its component) and the command line, answered without a display, a
bus or a home."""

import os
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "lib"))
from desktop import Checks

app, build = sys.argv[1], sys.argv[2]
check = Checks()
with tempfile.TemporaryDirectory() as root:
    subprocess.run(["cmake", "--install", build, "--prefix", "/usr"], env=dict(os.environ, DESTDIR=root),
                   check=True, stdout=subprocess.DEVNULL)
    sizes = []
    for size in (16, 22, 24, 32, 48, 64, 128, 256):
        png = os.path.join(root, "usr/share/icons/hicolor/%dx%d/apps/zandorupdate.png" % (size, size))
        if os.path.exists(png):
            header = open(png, "rb").read(24)
            sizes.append(header[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">II", header[16:24]) == (size, size))
        else:
            sizes.append(False)
    check(all(sizes), "the icon is a PNG of its size at 16 to 256 pixels")
    check(os.path.exists(os.path.join(root, "etc/xdg/zandorupdate/appSettings.plist")),
          "the template an administrator edits is under /etc/xdg")
    # The installed app's first start copies the installed template; with
    # that gone (its folder left behind) it looks elsewhere.
    template = os.path.join(root, "usr/share/zandorupdate/appSettings.plist")
    for installed in (True, False):
        with tempfile.TemporaryDirectory() as home:
            try:  # it runs on until stopped; an early end is read the same way
                said = subprocess.run([os.path.join(root, "usr/bin/zandorupdate"), "-platform", "offscreen"], timeout=5,
                                      env={"HOME": home, "XDG_CONFIG_DIRS": home}, capture_output=True).stdout
            except subprocess.TimeoutExpired as run:
                said = run.stdout or b""
        made = said.decode().partition(" made from ")[2].split("\n")[0]
        check(made == template if installed else made and not made.startswith(root),
              "the installed app's settings come from %s: %r" % ("its template" if installed else "elsewhere", made))
        if installed:
            os.remove(template)
    tree = subprocess.run(["appstreamcli", "validate-tree", "--no-net", root], capture_output=True, text=True)
    check(tree.returncode == 0 and "W:" not in tree.stdout and "E:" not in tree.stdout,
          "appstreamcli validate-tree warns of nothing: " + tree.stdout.strip().replace("\n", " | "))

bare = {"PATH": "/usr/bin:/bin", "ASAN_OPTIONS": os.environ.get("ASAN_OPTIONS", "")}  # no display, bus or home
for option in ("--help", "-h"):
    run = subprocess.run([app, option], env=bare, capture_output=True, text=True, timeout=30)
    check(run.returncode == 0 and run.stdout.startswith("Usage: zandorupdate") and "--version" in run.stdout,
          option + " prints the usage and exits 0 with no display")
# Every option QApplication documents as its own, with its value where it takes one.
qt = [word for name in ("platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
                        "qwindowtitle", "session", "display", "geometry", "style", "stylesheet", "name", "title")
      for word in ("-" + name, "x")] + ["-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"]
run = subprocess.run([app] + qt + ["--version"], env=bare, capture_output=True, text=True, timeout=30)
check(run.returncode == 0 and run.stdout.startswith("zandorupdate 1."),
      "--version prints the version and exits 0, Qt's own options beside it")
for wrong in (["--frobnicate"], ["stray"], ["-platform"]):
    run = subprocess.run([app] + wrong, env=bare, capture_output=True, text=True, timeout=30)
    check(run.returncode == 2 and "--help" in run.stderr and not run.stdout,
          " ".join(wrong) + " is an error (exit 2) that points at --help")
sys.exit(check.finish())
