#!/usr/bin/env python3
"""Loopback HTTP and HTTPS servers for the http_request tests.

Both listen on 127.0.0.1 on ports the system picks; once they accept
connections the ports are written to --ports as "HTTP HTTPS". Paths:

  /echo...   any method: a text report of the request (method, request
             target, header lines, body as hex)
  /page      a small HTML page
  /empty     204 without body
  /missing   404 with a short body
  /slow      the page after --slow seconds
  /large     --large bytes: byte i is (i * 7 + i // 256) % 256

The process ends on SIGTERM, when its parent is gone, and after --idle
seconds without a request, so it never outlives the test run.
"""
import argparse
import http.server
import os
import signal
import ssl
import sys
import threading
import time

PAGE = b"<html><body>Hello from the test server</body></html>\n"


def large_body(n):
    return bytes((i * 7 + i // 256) % 256 for i in range(n))


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "zv-test"
    sys_version = ""

    def log_message(self, *args):
        pass

    def reply(self, status, body, content_type="text/plain"):
        self.send_response(status)
        if body is not None:
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if body:
            self.wfile.write(body)

    def handle_any(self):
        state = self.server.state
        state.touch()
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        path = self.path.split("?", 1)[0]
        try:
            if path.startswith("/echo"):
                lines = ["method " + self.command, "target " + self.path]
                lines += ["header %s: %s" % (k, v) for k, v in self.headers.items()]
                lines.append("body " + body.hex())
                self.reply(200, ("\n".join(lines) + "\n").encode("utf-8"))
            elif path == "/page":
                self.reply(200, PAGE, "text/html")
            elif path == "/empty":
                self.reply(204, None)
            elif path == "/slow":
                time.sleep(state.slow)
                self.reply(200, PAGE, "text/html")
            elif path == "/large":
                self.reply(200, state.large, "application/octet-stream")
            else:
                self.reply(404, b"not found\n")
        except OSError:
            pass  # the client gave up (a time-out test)
        state.touch()

    do_GET = do_POST = do_PUT = do_DELETE = do_PATCH = do_HEAD = handle_any


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


class State:
    def __init__(self, slow, large):
        self.slow = slow
        self.large = large
        self.last = time.monotonic()

    def touch(self):
        self.last = time.monotonic()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--cert", required=True)
    p.add_argument("--key", required=True)
    p.add_argument("--ports", required=True)
    p.add_argument("--idle", type=float, default=120)
    p.add_argument("--slow", type=float, default=1.5)
    p.add_argument("--large", type=int, default=3 * 1024 * 1024 + 11)
    a = p.parse_args()

    state = State(a.slow, large_body(a.large))
    plain = Server(("127.0.0.1", 0), Handler)
    secure = Server(("127.0.0.1", 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(a.cert, a.key)
    secure.socket = context.wrap_socket(secure.socket, server_side=True)
    for server in (plain, secure):
        server.state = state
        threading.Thread(target=server.serve_forever, daemon=True).start()

    tmp = a.ports + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d %d\n" % (plain.server_address[1], secure.server_address[1]))
    os.replace(tmp, a.ports)

    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    parent = os.getppid()
    while os.getppid() == parent and time.monotonic() - state.last < a.idle:
        time.sleep(0.2)
    os._exit(0)


if __name__ == "__main__":
    sys.exit(main())
