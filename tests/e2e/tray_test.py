#!/usr/bin/python3
"""The tray icon as a desktop panel sees it: with a StatusNotifierWatcher on
the session bus, the app registers a StatusNotifierItem whose icon is set and
whose menu holds the four commands; Quit from that menu ends the app."""

import os
import sys
import time

import dbus

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Checks, PYTHON, Desktop, wait_for

app = sys.argv[1]




def labels(layout):
    _, properties, children = layout
    found = [str(properties["label"])] if "label" in properties else []
    for child in children:
        found += labels(child)
    return found


def find(layout, label):
    item_id, properties, children = layout
    if str(properties.get("label", "")) == label:
        return int(item_id)
    for child in children:
        found = find(child, label)
        if found is not None:
            return found
    return None


check = Checks()
desktop = Desktop()
try:
    # The tray host comes up after the app, as at login or when a panel restarts.
    proc = desktop.start([app], "app.log")
    assert wait_for(lambda: "duedate" in open(desktop.path("app.log")).read(), 30), "the app did not start"
    time.sleep(3)
    registrations = desktop.path("items.log")
    desktop.start([PYTHON, os.path.join(os.path.dirname(os.path.abspath(__file__)), "watcher.py"), registrations],
                  "watcher.log")
    assert wait_for(lambda: desktop.has_name("org.kde.StatusNotifierWatcher")), "no watcher"
    registered = wait_for(lambda: os.path.exists(registrations) and open(registrations).read().strip(), 60)
    check(bool(registered), "the app registers its StatusNotifierItem with a host that came later")
    if registered:
        service, sender = open(registrations).readline().split()
        bus = dbus.bus.BusConnection(desktop.env["DBUS_SESSION_BUS_ADDRESS"])
        owner = sender if service.startswith("/") else service
        item = bus.get_object(owner, "/StatusNotifierItem")
        properties = dbus.Interface(item, dbus.PROPERTIES_IFACE)
        pixmaps = properties.Get("org.kde.StatusNotifierItem", "IconPixmap")
        check(len(pixmaps) > 0 and len(pixmaps[0][2]) == 4 * pixmaps[0][0] * pixmaps[0][1], "the item shows an icon")
        check(bool(properties.Get("org.kde.StatusNotifierItem", "ItemIsMenu")),
              "every click shows the menu, drawn by the host as a popup")
        menu_path = properties.Get("org.kde.StatusNotifierItem", "Menu")
        menu = dbus.Interface(bus.get_object(owner, menu_path), "com.canonical.dbusmenu")
        _, layout = menu.GetLayout(0, -1, [])
        found = labels(layout)
        for label in ("Update Now", "Settings…", "About ZandorUpdate…", "Quit ZandorUpdate"):
            check(label in found, "the menu has %r" % label)
        quit_id = find(layout, "Quit ZandorUpdate")
        if quit_id is not None:
            menu.Event(quit_id, "clicked", dbus.String("", variant_level=1), dbus.UInt32(0))
            check(wait_for(lambda: proc.poll() is not None, 20), "Quit from the menu ends the app")
finally:
    if check.failed:  # what the app and the watcher said, for the reader of the failure
        print(open(desktop.path("app.log")).read(), open(desktop.path("watcher.log")).read())
    desktop.close()

sys.exit(check.finish())
