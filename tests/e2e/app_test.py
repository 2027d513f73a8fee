#!/usr/bin/python3
"""The real binary end to end: an hourly update that is due at once fetches the
clip from nginx over HTTPS (its writes cut short) and says so by notification,
and once more at wake from logind's sleep;
a later one that gets an error page instead of a clip, or runs without its
HTTPS module, leaves the clip alone; the session's end in the middle of a
download leaves nothing partial."""

import fcntl
import os
import re
import shutil
import signal
import subprocess
import sys
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "lib"))
from desktop import PYTHON, Checks, Desktop, NewsServer, app_due_now, make_clip, wait_for, write_settings

app, shim = sys.argv[1], sys.argv[2]

check = Checks()
desktop = Desktop()
try:
    server = NewsServer(desktop)
    clip_path = desktop.path("clip.mpeg")
    make_clip(clip_path)
    clip = open(clip_path, "rb").read()
    # Sleep and wake come from logind, on a system bus of our own.
    system = desktop.start_bus("system")
    desktop.start([PYTHON, "-m", "dbusmock", "--system", "--template", "logind"], "logind.log")
    check(wait_for(lambda: desktop.has_name("org.freedesktop.login1", system)), "logind runs")
    target, argv = app_due_now(desktop, server, clip, app)
    # The settings live in a dotfiles folder, reached through two links: saves
    # flush the folder at the end of the chain.
    folder = os.path.join(desktop.env["HOME"], "dotfiles")
    os.makedirs(folder)
    settings = os.path.join(desktop.env["XDG_DATA_HOME"], "ZandorUpdate", "appSettings.plist")
    os.rename(settings, os.path.join(folder, "appSettings.plist"))
    link = os.path.join(desktop.env["HOME"], "link.plist")
    os.symlink(os.path.join(folder, "appSettings.plist"), link)
    os.symlink(link, settings)
    clips = os.path.dirname(target)
    # The first update's durable writes are recorded in order.
    trace = desktop.path("durability.trace")
    # Its writes come back short or interrupted: the app must write each block's rest.
    traced = lambda trace, **extra: dict(desktop.env, LD_PRELOAD=shim, ZU_DURABILITY_TRACE=trace, **extra,
                                         ASAN_OPTIONS=desktop.env.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0")
    first = desktop.start(argv, "app1.log", env=traced(trace, ZU_DURABILITY_SHORT_WRITES="1"))
    check(wait_for(lambda: "File Succesfully Received" in desktop.notifications(), 60),
          "the unattended update posts \"File Succesfully Received\"")
    check(target in desktop.notifications(), "the notification names the stored file")
    check(os.path.exists(target) and open(target, "rb").read() == clip, "the clip is in the download folder")
    log = open(desktop.path("app1.log")).read()
    check("duedate next hour=" in log and "\nloaded\n" in "\n" + log, "the due-time and About's loaded lines are printed")
    check(" of %d" % len(clip) in log, "progress lines are printed")
    check("ZandorUpdate" in desktop.notifications(), "notifications carry the app's name")
    icons = re.findall(r'"file://(/[^"]+)"', desktop.notifications())
    check(icons and all(i.endswith(".png") and os.path.exists(i) for i in icons),
          "and their icon as the protocol has it, the URL of a PNG that is there: %s" % icons[:1])
    steps = [line.split() for line in open(trace)] if os.path.exists(trace) else []
    stored = [i for i, s in enumerate(steps) if s[0] == "rename" and s[2] == target]
    if stored:
        partial, at = steps[stored[0]][1], stored[0]
        order = [s[0] for s in steps[:at] if s[1] == partial] + ["rename"] + \
                [s[0] for s in steps[at + 1:] if s[1] == clips][:1]
    else:
        order = []
    check(order[-4:] == ["write", "fdatasync", "rename", "fsync"],
          "the clip is written, flushed, renamed into place, and its folder flushed, in that order: %s" % order[-4:])

    # At wake the timer is armed afresh, and the firing it finds past is made up.
    for asleep in ("true", "false"):
        desktop.run(["gdbus", "call", "--address", system, "--dest", "org.freedesktop.login1", "--object-path",
                     "/org/freedesktop/login1", "--method", "org.freedesktop.DBus.Mock.EmitSignal",
                     "org.freedesktop.login1.Manager", "PrepareForSleep", "b", "[<%s>]" % asleep])
    check(wait_for(lambda: desktop.notifications().count("File Succesfully Received") == 2, 30) and
          open(desktop.path("app1.log")).read().count("duedate ") == 2, "a wake arms the timer afresh")
    # One instance per user: a second start leaves at once, and brings the
    # running one forward.
    settings_shown = lambda: desktop.shown("ZandorUpdate Settings")
    check(not settings_shown(), "no Settings window before the second start")
    second = subprocess.run([app], env=desktop.env, capture_output=True, text=True, timeout=60)
    check(second.returncode == 0 and "already running" in second.stdout, "a second start exits with one line")
    check(wait_for(settings_shown, 10), "and the running one shows its Settings window")
    # Its OK saves durably too: the file flushed, renamed into place, its folder flushed.
    desktop.run(["xdotool", "search", "--onlyvisible", "--name", "ZandorUpdate Settings", "key", "Return"])
    saved = lambda: [s[0] for s in map(str.split, open(trace)) if folder in (s[1], os.path.dirname(s[1]))][-3:]
    check(wait_for(lambda: saved() == ["fdatasync", "rename", "fsync"], 10), "OK saves the settings durably: %s" % saved())
    first.send_signal(signal.SIGINT)  # while the update OK's re-arming started may still be under way
    check(first.wait(20) == 0, "Ctrl-C ends the app cleanly")

    # A proxy's error page answered with 200 is no clip: ours stays. Its
    # address holds a percent sign, which no log may take for a format.
    page = b"<html><body><h1>502 Bad Gateway</h1></body></html>\n"
    server.publish("zandor.mpeg", page)
    asked = server.url("zandor.mpeg") + "?at=%25s%25n"
    write_settings(desktop, mpg_url=asked, mxf_url=server.url("zandor.mxf"), minutes_after_hour="-120")
    sound = desktop.path("alert.raw")  # where ALSA puts the alert's sound this time
    asoundrc = os.path.join(desktop.env["HOME"], ".asoundrc")
    with open(asoundrc, "w") as f:
        f.write('pcm.!default { type file slave.pcm "null" file "%s" format "raw" }\n' % sound)
    # The user's own theme holds a warning sound we can tell from any other.
    theme = os.path.join(desktop.env["XDG_DATA_HOME"], "sounds", "freedesktop", "stereo")
    os.makedirs(theme, exist_ok=True)
    with wave.open(os.path.join(theme, "dialog-warning.wav"), "wb") as warning:
        warning.setparams((2, 2, 44100, 0, "NONE", None))
        warning.writeframes(b"\x34\x12" * 2 * 22050)
    logged = desktop.path("page.trace")  # and what it sends to the system log
    third = desktop.start(argv, "app-page.log", env=traced(logged))
    said = lambda: open(desktop.path("app-page.log")).read()
    check(wait_for(lambda: "The server sent no clip: " in said(), 60), "an error page is reported as no clip")
    check("The server sent no clip: application/octet-stream, %d bytes" % len(page) in said(),
          "the report says what arrived")
    check(wait_for(lambda: "Update from %s failed: The server sent no clip" % asked in said(), 10),
          "a line names the address and the cause")
    check(wait_for(lambda: os.path.exists(sound) and b"\x34\x12" * 8192 in open(sound, "rb").read(), 10),
          "the alert plays its warning sound")
    syslog = lambda path: open(path).read() if os.path.exists(path) else ""
    check("openlog ZandorUpdate " in syslog(logged) and
          "syslog 11 Update from %s failed: " % asked in syslog(logged) and
          " of %d" % len(page) not in syslog(logged), "errors, and only they, go to the system log, as ours")
    check(open(target, "rb").read() == clip, "an error page answered with 200 keeps the clip")
    check(desktop.notifications().count("File Succesfully Received") == 2, "the error page is not reported as success")
    third.terminate()
    check(third.wait(20) == 0, "SIGTERM ends the app while its alert is up")

    # With a wrong HTTPS module beside it and none where it is installed, the
    # app still starts and says why no clip came.
    alone = desktop.path("alone")
    os.makedirs(alone)
    shutil.copy(app, alone)
    shutil.copy(os.path.join(os.path.dirname(app), "libzandorupdate-clipcheck.so"),
                os.path.join(alone, "libzandorupdate-https.so"))
    os.remove(asoundrc)  # ALSA's own defaults, on a machine without a sound card
    logged = desktop.path("alone.trace")  # nor a system bus
    lone = desktop.start([os.path.join(alone, os.path.basename(app))], "app-alone.log",
                         env=dict(traced(logged), DBUS_SYSTEM_BUS_ADDRESS="unix:path=" + desktop.path("no-bus")))
    said = lambda: open(desktop.path("app-alone.log")).read()
    check(wait_for(lambda: "Update from %s failed: " % asked in said(), 60),
          "an update without the HTTPS module ends")
    check(all(why in said() for why in ("The HTTPS module could not be loaded: ", "cannot open shared object file",
                                        "undefined symbol: zandorupdateCreateHttpClient")),
          "and says what is wrong in each place it looked")
    check(not wait_for(lambda: "ALSA" in said(), 3), "its notification's sound says nothing without a sound card")
    check("syslog 12 No system bus or logind" in syslog(logged), "a warning goes to the system log as one")
    lone.terminate()
    check(lone.wait(20) == 0 and open(target, "rb").read() == clip, "the clip stays")

    # The session ends in the middle of a download: nothing partial stays,
    # and what an earlier crash left is cleared at the next start.
    abandoned = os.path.join(clips, ".zandor.mpeg.part-Ab12Cd")
    open(abandoned, "wb").write(b"left by a crash")
    held = os.path.join(clips, ".zandor.mxf.part-Xy34Zw")
    foreign = [os.path.join(clips, name) for name in (".notes.txt.part-Ab12Cd", ".zandor.notes.part-abc123")]
    for name in foreign:
        open(name, "wb").write(b"the user's own")
    holder = open(held, "wb")  # still being written by someone
    fcntl.flock(holder, fcntl.LOCK_EX)
    server.publish("zandor.mpeg", clip * 20)
    write_settings(desktop, mpg_url=server.url("zandor.mpeg", slow=True), minutes_after_hour="-120")
    fourth = desktop.start(argv, "app3.log")
    partial = lambda: [n for n in os.listdir(clips)
                       if n.startswith(".zandor.mpeg.part-") and os.path.join(clips, n) != abandoned]
    check(wait_for(lambda: not os.path.exists(abandoned), 30), "an abandoned partial file is removed at start")
    check(all(map(os.path.exists, [held] + foreign)), "one still locked, or not of ours, stays")
    check(wait_for(partial, 30), "a slow download is under way")
    fourth.send_signal(signal.SIGHUP)
    check(fourth.wait(20) == 0, "SIGHUP ends the app cleanly during a download")
    check(not partial(), "the session's end leaves no partial file")
    check(open(target, "rb").read() == clip, "the clip of the last complete update stays")
finally:
    desktop.close()

sys.exit(check.finish())
