#!/usr/bin/env python3
"""The image host for scripts/bench: a lean HTTP/1.0 server on 127.0.0.1 that answers every GET
of a path ending in ".jpg" with the same page image, held in memory, and anything else with 404.
It serves direct requests and proxy requests (an absolute URI as target) alike, one thread per
connection, and closes each connection after its answer, as the publisher's server does.

Options: --page FILE (the body), --port-file PATH (written once listening), --log PATH (one line
per request: the CLOCK_MONOTONIC time in seconds and the request target).
"""

import argparse
import os
import signal
import socket
import socketserver
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from page_server import write_atomically  # noqa: E402

MAX_HEAD_BYTES = 64 * 1024
CLIENT_TIMEOUT_SECONDS = 30


class PageHandler(socketserver.BaseRequestHandler):
    def handle(self):
        self.request.settimeout(CLIENT_TIMEOUT_SECONDS)
        head = b""
        while b"\r\n\r\n" not in head and len(head) < MAX_HEAD_BYTES:
            chunk = self.request.recv(8192)
            if not chunk:
                return
            head += chunk
        words = head.split(b"\r\n", 1)[0].split()
        target = words[1].decode("latin-1") if len(words) > 1 else ""
        self.server.record(target)
        if len(words) > 1 and words[0] == b"GET" and target.endswith(".jpg"):
            body, status = self.server.page, b"200 OK"
        else:
            body, status = b"<html><body>Not Found</body></html>\n", b"404 Not Found"
        self.request.sendall(b"HTTP/1.0 " + status + b"\r\nContent-Type: image/jpeg\r\n"
                             b"Content-Length: " + str(len(body)).encode() + b"\r\n\r\n")
        self.request.sendall(body)


class PageHost(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, page, log_path):
        super().__init__(("127.0.0.1", 0), PageHandler)
        self.page = page
        self.log = open(log_path, "a", encoding="utf-8") if log_path else None
        self.lock = threading.Lock()

    def record(self, target):
        if self.log is None:
            return
        with self.lock:
            self.log.write(f"{time.monotonic():.6f} {target}\n")
            self.log.flush()


def stop(signal_number, frame):
    raise SystemExit(0)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--page", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--log")
    options = parser.parse_args(argv)
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    with open(options.page, "rb") as file:
        page = file.read()
    server = PageHost(page, options.log)
    write_atomically(options.port_file, f"{server.server_address[1]}\n")
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
