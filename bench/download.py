#!/usr/bin/python3
"""Fetches a 10 MiB and a 1 GiB body over loopback HTTPS from a local nginx,
with the app's client and with curl, and prints wall time and peak memory."""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

build, rounds = sys.argv[1], int(sys.argv[2])
work = tempfile.mkdtemp()
run = lambda *a: subprocess.run(a, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
p = lambda name: os.path.join(work, name)

open(p("san.ext"), "w").write("subjectAltName=IP:127.0.0.1\n")
run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", p("ca.key"), "-out", p("ca.pem"),
    "-days", "1", "-subj", "/CN=bench CA")
run("openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", p("server.key"), "-out", p("server.csr"),
    "-subj", "/CN=127.0.0.1")
run("openssl", "x509", "-req", "-in", p("server.csr"), "-CA", p("ca.pem"), "-CAkey", p("ca.key"),
    "-CAcreateserial", "-out", p("server.pem"), "-days", "1", "-extfile", p("san.ext"))
hashed = subprocess.run(["openssl", "passwd", "-apr1", "secret"], check=True, capture_output=True, text=True)
open(p("htpasswd"), "w").write("news:" + hashed.stdout.strip() + "\n")
os.makedirs(p("www/zandor"))
os.makedirs(p("tmp"))
sizes = {"10 MiB": 10 << 20, "1 GiB": 1 << 30}
for name, size in sizes.items():
    with open(p("www/zandor/%d.mpeg" % size), "wb") as f:
        block = os.urandom(1 << 20)
        for _ in range(size >> 20):
            f.write(block)
s = socket.socket()
s.bind(("127.0.0.1", 0))
port = s.getsockname()[1]
s.close()
open(p("nginx.conf"), "w").write("""daemon off; master_process off; worker_processes 1;
pid %(w)s/nginx.pid; error_log %(w)s/error.log warn;
events { worker_connections 64; }
http { access_log off; sendfile on; client_body_temp_path %(w)s/tmp; proxy_temp_path %(w)s/tmp;
  fastcgi_temp_path %(w)s/tmp; uwsgi_temp_path %(w)s/tmp; scgi_temp_path %(w)s/tmp;
  server { listen 127.0.0.1:%(port)d ssl; ssl_certificate %(w)s/server.pem; ssl_certificate_key %(w)s/server.key;
    root %(w)s/www; location /zandor/ { auth_basic "news"; auth_basic_user_file %(w)s/htpasswd;
    error_page 405 =200 $uri; } } }
""" % {"w": work, "port": port})
nginx = subprocess.Popen(["/usr/sbin/nginx", "-p", work, "-e", p("error.log"), "-c", p("nginx.conf")])
time.sleep(0.5)


def timed(argv):
    start = time.monotonic()
    proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    if status != 0:
        raise RuntimeError("%s failed" % argv[0])
    return time.monotonic() - start, usage.ru_maxrss


try:
    out = p("out")
    os.makedirs(out)
    peaks = {}
    for name, size in sizes.items():
        url = "https://127.0.0.1:%d/zandor/%d.mpeg" % (port, size)
        ours, theirs = [], []
        for _ in range(rounds):
            t, m = timed([os.path.join(build, "bench/fetch"), url, "news", "secret", out, p("ca.pem")])
            ours.append(t)
            peaks[name] = max(peaks.get(name, 0), m)
            os.remove(os.path.join(out, "fetched"))
            t, _ = timed(["curl", "-s", "-X", "POST", "-u", "news:secret", "--cacert", p("ca.pem"), "-o",
                          os.path.join(out, "curl"), url])
            theirs.append(t)
            os.remove(os.path.join(out, "curl"))
        a, b = min(ours), min(theirs)
        print("%-7s app client %7.3f s  curl %7.3f s  ratio %.2fx (best of %d; target <= 1.10x)  peak RSS %.1f MiB"
              % (name, a, b, a / b, rounds, peaks[name] / 1024))
    print("peak memory 1 GiB - 10 MiB: %+.1f MiB (target: within 8 MiB)"
          % ((peaks["1 GiB"] - peaks["10 MiB"]) / 1024))
finally:
    nginx.terminate()
    nginx.wait()
    shutil.rmtree(work)
