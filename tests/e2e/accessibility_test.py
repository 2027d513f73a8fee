#!/usr/bin/python3
"""The Settings and About windows as a screen reader and a keyboard-only user
meet them: the app on a real X display with the desktop's accessibility bus
(at-spi2-core), read through AT-SPI as Orca reads it. Every control and
section has a name, a description and its role; Tab walks the window in
reading order from the user-name field; typing user, password and minutes
and pressing the keypad's Enter saves exactly what was typed; Escape closes without
saving. The About window is reached from the tray menu's own D-Bus menu;
in a plain XEmbed tray (trayer) a left click on the icon opens the menu."""

import os
import plistlib
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "lib"))
from desktop import Checks, Desktop, wait_for, write_settings

app = sys.argv[1]
check = Checks()
desktop = Desktop()
# What Tab visits, in reading order, and how each is spoken.
ORDER = [("text", "User name"), ("password text", "Password"), ("check box", "MPEG"), ("check box", "MXF"),
         ("text", "Minutes after the hour"), ("check box", "Download automatically every hour"),
         ("check box", "Start ZandorUpdate at login"), ("text", "Download folder"),
         ("push button", "Choose download folder"), ("push button", "OK")]
SECTIONS = ["News server", "Schedule", "Download folder"]


def key(*keys):
    desktop.run(["xdotool", "key", "--delay", "40"] + list(keys))


def typed(text):
    desktop.run(["xdotool", "type", "--delay", "20", text])


try:
    desktop.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], "a11y.log")
    assert wait_for(lambda: desktop.has_name("org.a11y.Bus"), 20), "no accessibility bus"
    for name in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
        os.environ[name] = desktop.env[name]
    import dbus
    import pyatspi  # reads the accessibility bus named on the session bus set above

    settings_file = write_settings(desktop, username="", password="", minutes_after_hour="5")
    desktop.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"  # as with a screen reader running
    desktop.start_trayer()  # a plain XEmbed tray: Qt's own icon docks there
    proc = desktop.start([app], "app.log")
    wait_for(lambda: "duedate" in open(desktop.path("app.log")).read(), 30)

    def ours():
        root = pyatspi.Registry.getDesktop(0)
        return next((a for a in root if a and a.name == "ZandorUpdate"), None)

    def window(title):
        app_node = ours()
        return next((w for w in app_node if w and w.name == title and w.getState().contains(pyatspi.STATE_SHOWING)),
                    None) if app_node else None

    def nodes(node):
        for child in node:
            if child:
                yield child
                yield from nodes(child)

    def focused():
        shown = window("ZandorUpdate Settings") or window("About ZandorUpdate")
        hit = [n for n in nodes(shown) if n.getState().contains(pyatspi.STATE_FOCUSED) and n.childCount == 0] \
            if shown else []
        return (hit[0].getRoleName(), hit[0].name) if hit else None

    def open_settings():
        desktop.run([app], timeout=60)  # a second start brings Settings forward
        return wait_for(lambda: window("ZandorUpdate Settings") is not None, 15)

    menu = (840, 20, 180, 80)  # where the menu opens below the icon
    dark = desktop.measure(menu)
    check(wait_for(lambda: desktop.measure((1001, 1, 22, 26), "standard_deviation") > 20, 10),
          "the icon docks in a plain XEmbed tray")
    below = (700, 28, 324, 40)  # where a tooltip opens below the icon
    bare = desktop.measure(below)
    for x in (1004, 1010):  # a pointer that comes to rest on it
        desktop.run(["xdotool", "mousemove", str(x), "14"])
        time.sleep(0.2)
    check(wait_for(lambda: desktop.measure(below) > bare + 20, 10), "the XEmbed icon tells its tooltip")
    desktop.run(["xdotool", "click", "1"])  # a plain click on the docked icon
    check(wait_for(lambda: desktop.measure(menu) > dark + 100, 10), "a plain click on the XEmbed icon opens the menu")
    key("Escape")
    check(open_settings(), "a second start shows the Settings window to AT-SPI")
    settings = window("ZandorUpdate Settings")
    check(settings.getRoleName() == "dialog", "it is a dialog (%s)" % settings.getRoleName())
    spoken = [(n.getRoleName(), n.name) for n in nodes(settings)
              if n.getRoleName() in ("text", "password text", "check box", "push button")]
    check(spoken == ORDER, "each control by role and name, in reading order: %s" % spoken)
    undescribed = [n.name for n in nodes(settings) if n.getRoleName() != "filler" and n.getRoleName() != "label"
                   and not n.description]
    check(not undescribed, "every control and section has a description (missing: %s)" % undescribed)
    sections = [n.name for n in nodes(settings) if n.getRoleName() == "panel"]
    check(sections == SECTIONS, "the sections are groups named by their headings: %s" % sections)

    check(wait_for(lambda: focused() == ORDER[0], 10), "first focus is in the user-name field (%s)" % (focused(),))
    walk = [focused()]
    for _ in ORDER:
        key("Tab")
        time.sleep(0.2)
        walk.append(focused())
    check(walk == ORDER + [ORDER[0]], "Tab walks the window in reading order and round: %s" % walk)

    # Keyboard only: user, Tab, password, three Tabs, minutes (replacing what
    # is there), the keypad's Enter (Return is the end-to-end test's).
    typed("newsdesk")
    key("Tab")
    typed("pa ss&<w>")
    key("Tab", "Tab", "Tab", "ctrl+a")
    typed("17")
    key("KP_Enter")
    check(wait_for(lambda: window("ZandorUpdate Settings") is None, 10), "Enter presses OK and the window closes")
    saved = lambda: plistlib.load(open(settings_file, "rb"))["appSettings"]
    wait_for(lambda: saved()["username"] == "newsdesk", 10)
    values = saved()
    check((values["username"], values["password"], values["minutes_after_hour"]) == ("newsdesk", "pa ss&<w>", "17"),
          "exactly what was typed is saved: %r" % ((values["username"], values["password"],
                                                    values["minutes_after_hour"]),))

    check(open_settings(), "Settings opens again")
    # What is typed goes to the user-name field. (Read from the field: with
    # no window manager, X keeps the keyboard on the window but Qt does not
    # count it as active again, so AT-SPI shows no focused control.)
    typed("x")
    field = lambda: next((n.queryText().getText(0, -1) for n in nodes(window("ZandorUpdate Settings") or ours())
                          if n.getRoleName() == "text" and n.name == "User name"), None)
    check(wait_for(lambda: field() == "newsdeskx", 10), "first focus is in the user-name field again (%r)" % field())
    key("Escape")
    check(wait_for(lambda: window("ZandorUpdate Settings") is None, 10), "Escape closes it")
    time.sleep(0.5)
    check(saved()["username"] == "newsdesk", "without saving")

    # About, from the status menu's D-Bus menu (no panel here).
    bus = dbus.bus.BusConnection(desktop.env["DBUS_SESSION_BUS_ADDRESS"])
    item = "org.kde.StatusNotifierItem-%d-1" % proc.pid
    menu = dbus.Interface(bus.get_object(item, "/MenuBar"), "com.canonical.dbusmenu")
    _, (_, _, entries) = menu.GetLayout(0, -1, ["label"])
    about = next(int(e[0]) for e in entries if e[1].get("label", "").startswith("About"))
    menu.Event(about, "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0))
    check(wait_for(lambda: window("About ZandorUpdate") is not None, 15), "About opens from the menu")
    about_window = window("About ZandorUpdate")
    parts = [(n.getRoleName(), n.name) for n in nodes(about_window) if n.name]
    check(("image", "ZandorUpdate icon") in parts and any(r == "label" and "Tavrel" in n for r, n in parts),
          "the About window's icon and link are named: %s" % parts)
    check(wait_for(lambda: focused() is not None and "Tavrel" in focused()[1], 10),
          "the link has the focus (%s)" % (focused(),))
    key("Escape")
    check(wait_for(lambda: window("About ZandorUpdate") is None, 10), "Escape closes About")
    check(proc.poll() is None, "and the app runs on")
finally:
    if check.failed:
        print("app.log", open(desktop.path("app.log")).read()[-2000:])
    desktop.close()

sys.exit(check.finish())
