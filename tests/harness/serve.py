#!/usr/bin/python3
"""The C++ tests' helper processes, made by the same code (scripts/lib) as the
end-to-end tests' own. `serve.py bus`: a private bus. `serve.py mock ADDRESS
[PARAMETERS]`: python3-dbusmock's notification daemon on that bus, logging
every call. `serve.py servers`: the test certificate authority, two real
clips, nginx serving them behind Basic authentication (news / secret) and the
fault server. Each prints one JSON line of facts when ready and runs until its
standard input closes, then stops what it started."""

import json
import os
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "..", "scripts", "lib"))
from desktop import PYTHON, NewsServer, Processes, free_port, make_clip, wait_for  # noqa: E402

work = Processes()
try:
    command, args = sys.argv[1], sys.argv[2:]
    if command == "bus":
        facts = {"address": work.start_bus()}
    elif command == "mock":
        work.env["DBUS_SESSION_BUS_ADDRESS"] = args[0]
        daemon = work.start([PYTHON, "-m", "dbusmock", "--template", "notification_daemon", "-l",
                             work.path("calls.log")] + (["-p"] + args[1:2] if args[1:] else []), "mock.log")
        assert wait_for(lambda: work.has_name("org.freedesktop.Notifications", args[0])), "no notification daemon"
        facts = {"log": work.path("calls.log"), "pid": str(daemon.pid)}
    elif command == "servers":
        news = NewsServer(work)
        clips = {form: work.path("clip." + form) for form in ("vob", "mxf")}
        for form, path in clips.items():
            make_clip(path, 1, form)
        news.publish("zandor.mpeg", open(clips["vob"], "rb").read())
        news.publish("zandor.mxf", open(clips["mxf"], "rb").read())
        certificate = lambda name: os.path.join(news.root, name)
        work.start([PYTHON, os.path.join(here, "fault_server.py"), certificate("server.pem"),
                    certificate("server.key"), certificate("stranger.pem"), certificate("stranger.key"),
                    clips["vob"], clips["mxf"], certificate("elsewhere.pem"), certificate("elsewhere.key")],
                   "faults.log")
        assert wait_for(lambda: open(work.path("faults.log")).read().endswith("\n")), "no fault server"
        tls, stranger, plain, elsewhere = open(work.path("faults.log")).read().split()[1:5]
        facts = {"ca": news.ca, "news": "https://127.0.0.1:%d" % news.port, "mpeg": clips["vob"],
                 "mxf": clips["mxf"], "faults": "https://127.0.0.1:" + tls, "stranger": "https://127.0.0.1:" + stranger,
                 "elsewhere": "https://127.0.0.1:" + elsewhere,
                 "closed": "https://127.0.0.1:%d" % free_port()}
    print(json.dumps(facts), flush=True)
    sys.stdin.read()
finally:
    work.close()
