#!/usr/bin/python3
"""The test suite's own HTTPS server, for the faults a real server will not
produce on demand. Prints "PORTS <tls> <stranger-tls> <plain> <elsewhere-tls>"
when ready."""

import gzip
import http.server
import os
import random
import socket
import socketserver
import ssl
import struct
import subprocess
import sys
import threading
import time
import urllib.parse

CERT, KEY, STRANGER_CERT, STRANGER_KEY, CLIP, MXF, ELSEWHERE_CERT, ELSEWHERE_KEY = sys.argv[1:9]
BODY = open(CLIP, "rb").read()
random.seed(7)


def made_by_ffmpeg(name, *arguments):
    path = os.path.join(os.path.dirname(CLIP), name)
    subprocess.run(["ffmpeg", "-v", "error", "-y", *arguments, path], check=True)
    return open(path, "rb").read()

BODIES = {  # ?body=: what a misconfigured or hostile server may answer with 200
    "mpeg": BODY,
    "mxf": open(MXF, "rb").read(),
    "jpeg": made_by_ffmpeg("picture.jpeg", "-f", "lavfi", "-i", "testsrc=size=64x48", "-frames:v", "1"),
    "gzip-zeros": gzip.compress(bytes(200000)),
    # As short as a clip can be: its last frame comes only once the decoder is drained.
    "three-frames": made_by_ffmpeg("three.mpeg", "-f", "lavfi", "-i", "testsrc=size=64x48", "-frames:v", "3",
                                   "-c:v", "mpeg2video", "-f", "vob"),
    # Sound alone is a clip too: its run is complete with no frame held back for the drain.
    "sound-only": made_by_ffmpeg("sound.mpeg", "-f", "lavfi", "-i", "sine=duration=1", "-c:a", "mp2", "-f", "vob"),
    # Plain MPEG video, no program stream round it, as some encoders write it.
    "video-only": made_by_ffmpeg("video.m2v", "-f", "lavfi", "-i", "testsrc=size=64x48:duration=1",
                                 "-c:v", "mpeg2video", "-f", "mpeg2video"),
    # A transport stream of the right form that carries data only, no picture or sound.
    "data-only": made_by_ffmpeg("data.ts", "-f", "data", "-i", CLIP, "-map", "0", "-c", "copy", "-f", "mpegts"),
    # The clip's pack and stream headers over random payloads: FFmpeg finds
    # the streams, but nothing in them decodes.
    "pack-garbage": bytes(b if i % 2048 < 40 else random.randrange(256) for i, b in enumerate(BODY)),
}
ports = {}
loops = [0]  # requests to /redirect-loop so far


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send_body(self, status, body, headers):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def stream(self, length, pieces, pause):
        """A body of the given length, sent piece by piece with a pause after each."""
        self.send_response(200)
        self.send_header("Content-Length", str(length))
        self.end_headers()
        try:
            for piece in pieces:
                self.wfile.write(piece)
                self.wfile.flush()
                time.sleep(pause)
        except OSError:
            pass  # the client gave up on us
        self.close_connection = True

    def handle_any(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            self.rfile.read(length)
        url = urllib.parse.urlsplit(self.path)
        path, query = url.path, urllib.parse.parse_qs(url.query)
        body = BODIES[query.get("body", ["mpeg"])[0]]
        if path.startswith("/ok/") or path.startswith("/noname/"):
            return self.send_body(200, body, [("Content-Type", query.get("type", [""])[0])] if "type" in query else [])
        if path.startswith("/status/"):
            return self.send_body(int(path.split("/")[2]), b"<html>error page</html>\n", [])
        if path == "/chunked":
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            for part in (body[:1000], body[1000:]):
                self.wfile.write(b"%x\r\n%s\r\n" % (len(part), part))
            self.wfile.write(b"0\r\n\r\n")
            return
        if path == "/big":  # bytes 0 to 250 over and over: each byte's place shows
            size = int(query.get("size", ["0"])[0])
            whole = (bytes(range(251)) * (size // 251 + 1))[:size]
            return self.stream(size, [whole[i:i + 65536] for i in range(0, size, 65536)], 0)
        if path == "/reset":
            self.send_response(200)
            self.send_header("Content-Length", "1000000")
            self.end_headers()
            self.wfile.write(b"x" * 1000)
            self.wfile.flush()
            time.sleep(0.3)  # let the client read the start, then cut it off
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
            self.close_connection = True
            return
        if path == "/unframed":  # no length, no chunks: the body ends with the connection
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(body[: len(body) // 2] if "cut" in query else body)
            self.wfile.flush()
            if "cut" in query:  # a bare TCP close, as an attacker or a broken proxy would
                raw = socket.socket(fileno=os.dup(self.connection.fileno()))
                raw.shutdown(socket.SHUT_RDWR)
                raw.close()
            else:
                self.connection.unwrap()  # TLS close_notify: the body is complete
            self.close_connection = True
            return
        if path == "/endless":  # zeros until the client stops, chunked or of a huge length
            self.send_response(200)
            length = query.get("length", [None])[0]
            self.send_header(*(("Content-Length", length) if length else ("Transfer-Encoding", "chunked")))
            self.end_headers()
            piece = bytes(1 << 16) if length else b"10000\r\n" + bytes(1 << 16) + b"\r\n"
            try:
                for _ in range(1 << 16):  # 4 GiB at most
                    self.wfile.write(piece)
            except OSError:
                pass
            self.close_connection = True
            return
        if path == "/huge-header":
            self.send_response(200)
            self.send_header("X-Filler", "f" * (1 << 20))
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        if path == "/stall":  # 10 bytes of 1000, then silence
            return self.stream(1000, [b"y" * 10], float(query.get("for", ["30"])[0]))
        if path == "/trickle":
            count = int(query.get("n", ["20"])[0])
            return self.stream(count, [b"t"] * count, float(query.get("every", ["0.05"])[0]))
        page = b"<html><body><h1>502 Bad Gateway</h1><p>The proxy could not reach the server.</p></body></html>"
        if path == "/redirect-loop":
            loops[0] += 1
        simple = {  # path: status, body, headers
            "/redirect-loops": (204 if loops[0] <= 6 else 409, b"", []),  # was the loop given up soon?
            "/auth-echo": (200, (self.headers.get("Authorization") or "none").encode(), []),
            "/cd": (200, body, [("Content-Disposition", query.get("v", [""])[0])]),
            "/headers": (200, "".join(k.lower() + "\n" for k in sorted(self.headers.keys())).encode(), []),
            "/empty": (200, b"", []),
            "/html": (200, page, [("Content-Type", "text/html; charset=utf-8")]),
            "/redirect-http": (302, b"", [("Location", "http://127.0.0.1:%d/ok/zandor.mpeg" % ports["plain"])]),
            "/redirect-other-host": (302, b"", [("Location", "https://localhost:%d/auth-echo" % ports["tls"])]),
            "/redirect-same": (302, b"", [("Location", "/ok/zandor.mpeg")]),
            "/redirect-named": (302, b"", [("Location", "/ok/zandor.mpeg"),
                                           ("Content-Disposition", "attachment; filename=wrong.mpeg")]),
            "/redirect-loop": (302, b"", [("Location", "/redirect-loop")]),
        }
        return self.send_body(*simple.get(path, (404, b"not here\n", [])))

    do_POST = handle_any
    do_GET = handle_any


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def serve(name, cert=None, key=None):
    server = Server(("127.0.0.1", 0), Handler)
    if cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    ports[name] = server.server_address[1]
    threading.Thread(target=server.serve_forever, daemon=True).start()


serve("tls", CERT, KEY)
serve("stranger", STRANGER_CERT, STRANGER_KEY)
serve("plain")
serve("elsewhere", ELSEWHERE_CERT, ELSEWHERE_KEY)
print("PORTS %d %d %d %d" % (ports["tls"], ports["stranger"], ports["plain"], ports["elsewhere"]), flush=True)
threading.Event().wait()  # until stopped
