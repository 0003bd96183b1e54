#!/usr/bin/env python3
"""Test page server for textbook-pages: a small HTTP server on 127.0.0.1 that stands in for the
image host (and the site host) in the tests, the benchmark and the demo mode.

It serves as a plain server and as the HTTP proxy that `http_proxy` points at: a request whose
target is an absolute URI ("http://host/path") is served by its path; the host is only logged.

Options:
  --port N          port to listen on; 0 (the default) picks a free one.
  --port-file PATH  written once the server listens: the port number and a newline. It is
                    written to a temporary file and renamed, so a reader never sees half of it.
  --log PATH        one JSON object per request received, on one line, flushed at once, written
                    before any answer is sent:
                      {"method": "GET", "target": "<raw request target>", "version": "HTTP/1.0",
                       "path": "<target without scheme and host>",
                       "headers": [["Name", "value"], ...]}       (in the order received)
                    The target and header texts are the raw bytes read as Latin-1.
  --reuse-port      listen with SO_REUSEPORT, so that a second server may share the port: one
                    server can die in the middle of an answer ("die" below) while the other one
                    goes on answering the requests that follow.
  --sample-pages    also serve the sample page images of a few catalogue books (see
                    sample_pages.py) for paths that have no route.
  --routes PATH     a JSON object mapping an exact path (with its query, as in "path" above) to a
                    behaviour. The file is read again for every request, so a test may rewrite it
                    (atomically) at any time. A missing or broken file means no routes. Paths
                    without a route get 404 with a small HTML body.

A behaviour (every key optional):
  "status":          status code, default 200 (302 for "redirect").
  "body":            the body as text (sent as UTF-8); or
  "body_hex":        the body as hex digits; or
  "body_file":       the path of a file whose bytes are the body.
  "headers":         extra headers, [["Name", "value"], ...] or {"Name": "value"}.
  "content_length":  true (default): the body's length; false: no Content-Length, the body
                     ends when the connection closes; a number: announce that length instead.
  "misbehaviour":    one of
      "redirect"     send "location" as the Location header (with the status above).
      "reset"        close the connection without an answer, with a TCP reset (SO_LINGER 0).
      "cut"          announce the whole body but send only "part" bytes (default: half), then
                     close.
      "silent"       send nothing for "seconds" (default 5), then answer normally.
      "stall"        send the headers and "part" bytes of the body (default: half), nothing for
                     "seconds" (default 5), then the rest.
      "trickle"      send the headers, then the body one byte every "seconds" (default 0.1).
      "die"          announce the whole body, send "part" bytes (default: half), stop listening,
                     then kill the server's own process with SIGKILL. The listening socket is shut
                     down first, so a connection made after the client sees the answer end can
                     only reach another server sharing the port, never the dying one.
Every pause is capped at 120 seconds, so nothing waits for ever.

The server answers with HTTP/1.0 and closes every connection after its answer. It binds
127.0.0.1 only, serves each connection on its own daemon thread, and exits with status 0 on
SIGTERM or SIGINT.
"""

import argparse
import io
import json
import os
import re
import signal
import socket
import struct
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import sample_pages

MAX_PAUSE_SECONDS = 120.0
CLIENT_TIMEOUT_SECONDS = 60.0
ABSOLUTE_URI = re.compile(r"^[A-Za-z][A-Za-z0-9+.-]*://")
NOT_FOUND_BODY = (b"<html><head><title>404 Not Found</title></head>"
                  b"<body><h1>Not Found</h1></body></html>\n")


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description="Test page server for textbook-pages.")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--log")
    parser.add_argument("--routes")
    parser.add_argument("--sample-pages", action="store_true")
    parser.add_argument("--reuse-port", action="store_true")
    return parser.parse_args(argv)


def write_atomically(path, text):
    temporary = f"{path}.{os.getpid()}.tmp"
    with open(temporary, "w", encoding="utf-8") as file:
        file.write(text)
    os.replace(temporary, path)


def origin_path(target):
    """The path and query of a request target; an absolute URI (proxy request) loses its
    scheme and host."""
    if not ABSOLUTE_URI.match(target):
        return target
    parts = urllib.parse.urlsplit(target)
    path = parts.path or "/"
    return f"{path}?{parts.query}" if parts.query else path


def load_routes(path):
    if not path:
        return {}
    try:
        with open(path, encoding="utf-8") as file:
            routes = json.load(file)
    except (OSError, ValueError):
        return {}
    return routes if isinstance(routes, dict) else {}


def behaviour_for(path, routes, with_sample_pages):
    """The behaviour that answers `path`: its route, else a sample page, else 404."""
    behaviour = routes.get(path)
    if isinstance(behaviour, dict):
        return behaviour
    page = sample_pages.sample_page(path) if with_sample_pages else None
    if page is not None:
        return {"body_bytes": page, "headers": [["Content-Type", "image/jpeg"]]}
    return {"status": 404, "body": NOT_FOUND_BODY.decode(),
            "headers": [["Content-Type", "text/html"]]}


def body_of(behaviour):
    if "body_bytes" in behaviour:
        return behaviour["body_bytes"]
    if "body_hex" in behaviour:
        return bytes.fromhex(behaviour["body_hex"])
    if "body_file" in behaviour:
        with open(behaviour["body_file"], "rb") as file:
            return file.read()
    return str(behaviour.get("body", "")).encode("utf-8")


def header_pairs(headers):
    if isinstance(headers, dict):
        return list(headers.items())
    return [tuple(pair) for pair in headers or []]


def pause(seconds):
    time.sleep(min(max(float(seconds), 0.0), MAX_PAUSE_SECONDS))


class RequestLog:
    """Appends one JSON line per request; shared by the handler threads."""

    def __init__(self, path):
        self.file = open(path, "a", encoding="utf-8") if path else None
        self.lock = threading.Lock()

    def record(self, entry):
        if self.file is None:
            return
        line = json.dumps(entry, ensure_ascii=True) + "\n"
        with self.lock:
            self.file.write(line)
            self.file.flush()


class PageHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    timeout = CLIENT_TIMEOUT_SECONDS
    server_version = "PageServer/1.0"

    def log_message(self, format, *args):
        pass

    def handle_request(self):
        words = self.requestline.split()
        target = words[1] if len(words) > 1 else ""
        path = origin_path(target)
        self.server.request_log.record({
            "method": self.command, "target": target, "version": self.request_version,
            "path": path, "headers": [[name, value] for name, value in self.headers.items()]})
        self.discard_request_body()
        behaviour = behaviour_for(path, load_routes(self.server.routes_path),
                                  self.server.with_sample_pages)
        try:
            self.answer(behaviour)
        except (ConnectionError, OSError):
            self.close_connection = True

    do_GET = do_HEAD = do_POST = do_PUT = do_DELETE = do_OPTIONS = handle_request

    def discard_request_body(self):
        length = self.headers.get("Content-Length", "")
        if length.isdigit() and int(length) > 0:
            self.rfile.read(int(length))

    def answer(self, behaviour):
        misbehaviour = behaviour.get("misbehaviour", "")
        if misbehaviour == "reset":
            self.reset_connection()
            return
        if misbehaviour == "silent":
            pause(behaviour.get("seconds", 5))
        body = body_of(behaviour)
        self.send_head(behaviour, body)
        if self.command != "HEAD":
            self.send_body(behaviour, body)

    def send_head(self, behaviour, body):
        misbehaviour = behaviour.get("misbehaviour", "")
        status = int(behaviour.get("status", 302 if misbehaviour == "redirect" else 200))
        self.send_response(status, behaviour.get("reason"))
        if misbehaviour == "redirect":
            self.send_header("Location", behaviour.get("location", "/"))
        announced = behaviour.get("content_length", True)
        if announced is True:
            self.send_header("Content-Length", str(len(body)))
        elif announced is not False:
            self.send_header("Content-Length", str(int(announced)))
        for name, value in header_pairs(behaviour.get("headers")):
            self.send_header(name, value)
        self.end_headers()

    def send_body(self, behaviour, body):
        misbehaviour = behaviour.get("misbehaviour", "")
        part = int(behaviour.get("part", len(body) // 2))
        if misbehaviour == "cut":
            self.wfile.write(body[:part])
        elif misbehaviour == "stall":
            self.wfile.write(body[:part])
            self.wfile.flush()
            pause(behaviour.get("seconds", 5))
            self.wfile.write(body[part:])
        elif misbehaviour == "die":
            self.wfile.write(body[:part])
            self.wfile.flush()
            self.die()
        elif misbehaviour == "trickle":
            for index in range(len(body)):
                self.wfile.write(body[index:index + 1])
                self.wfile.flush()
                pause(behaviour.get("seconds", 0.1))
        else:
            self.wfile.write(body)

    def die(self):
        # Shutting a listening socket down takes it out of the port's group at once, even while
        # the serving thread still polls it; closing it would wait for that poll to return.
        self.server.socket.shutdown(socket.SHUT_RDWR)
        os.kill(os.getpid(), signal.SIGKILL)

    def reset_connection(self):
        # The descriptor is only released once the files made on it are closed too; the
        # handler's own clean-up then flushes and closes a harmless stand-in.
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.rfile.close()
        self.wfile.close()
        self.wfile = io.BytesIO()
        self.connection.close()
        self.close_connection = True


class PageServer(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, routes_path, request_log, with_sample_pages, reuse_port=False):
        self.reuse_port = reuse_port
        super().__init__(("127.0.0.1", port), PageHandler)
        self.routes_path = routes_path
        self.with_sample_pages = with_sample_pages
        self.request_log = request_log

    def server_bind(self):
        if self.reuse_port:
            self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEPORT, 1)
        super().server_bind()


def stop_on_signal(signal_number, frame):
    raise SystemExit(0)


def main(argv):
    options = parse_arguments(argv)
    signal.signal(signal.SIGTERM, stop_on_signal)
    signal.signal(signal.SIGINT, stop_on_signal)
    server = PageServer(options.port, options.routes, RequestLog(options.log),
                        options.sample_pages, options.reuse_port)
    try:
        if options.port_file:
            write_atomically(options.port_file, f"{server.server_address[1]}\n")
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
