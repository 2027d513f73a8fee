#!/usr/bin/python3
"""The test suite's own HTTPS server, for the faults a real server will not
produce on demand. Prints "PORTS <tls> <stranger-tls> <plain>" when ready."""

import http.server
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time
import urllib.parse

CERT, KEY, STRANGER_CERT, STRANGER_KEY, CLIP = sys.argv[1:6]
BODY = open(CLIP, "rb").read()
ports = {}


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
        if path.startswith("/ok/") or path.startswith("/noname/"):
            return self.send_body(200, BODY, [])
        if path.startswith("/status/"):
            return self.send_body(int(path.split("/")[2]), b"<html>error page</html>\n", [])
        if path == "/chunked":
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            for part in (BODY[:1000], BODY[1000:]):
                self.wfile.write(b"%x\r\n%s\r\n" % (len(part), part))
            self.wfile.write(b"0\r\n\r\n")
            return
        if path == "/big":
            size = int(query.get("size", ["0"])[0])
            return self.stream(size, [b"z" * 65536] * (size // 65536) + [b"z" * (size % 65536)], 0)
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
        if path == "/stall":  # 10 bytes of 1000, then silence
            return self.stream(1000, [b"y" * 10], float(query.get("for", ["30"])[0]))
        if path == "/trickle":
            count = int(query.get("n", ["20"])[0])
            return self.stream(count, [b"t"] * count, float(query.get("every", ["0.05"])[0]))
        page = b"<html><body><h1>502 Bad Gateway</h1><p>The proxy could not reach the server.</p></body></html>"
        simple = {  # path: status, body, headers
            "/auth-echo": (200, (self.headers.get("Authorization") or "none").encode(), []),
            "/cd": (200, BODY, [("Content-Disposition", query.get("v", [""])[0])]),
            "/headers": (200, "".join(k.lower() + "\n" for k in sorted(self.headers.keys())).encode(), []),
            "/empty": (200, b"", []),
            "/html": (200, page, [("Content-Type", "text/html; charset=utf-8")]),
            "/redirect-http": (302, b"", [("Location", "http://127.0.0.1:%d/ok/zandor.mpeg" % ports["plain"])]),
            "/redirect-other-host": (302, b"", [("Location", "https://localhost:%d/auth-echo" % ports["tls"])]),
            "/redirect-same": (302, b"", [("Location", "/ok/zandor.mpeg")]),
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
print("PORTS %d %d %d" % (ports["tls"], ports["stranger"], ports["plain"]), flush=True)
threading.Event().wait()  # until stopped
