"""Runs tools/page_server.py beside the real program: on a free port of 127.0.0.1, with its request
log and its routes file in a directory of its own.

    with page_server_process.running_page_server(source_dir, sample_pages=True) as server:
        env = {"http_proxy": server.proxy, ...}
        server.set_routes({"/img/jiaocai/.../1.jpg": {"body_file": path}})
        server.requests()   # every request received so far, oldest first
"""

import contextlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

START_TIMEOUT = 10.0


class PageServerError(RuntimeError):
    pass


class PageServerProcess:
    def __init__(self, source_dir, sample_pages=False):
        self.work_dir = tempfile.mkdtemp(prefix="textbook-page-server-")
        self.port_file = os.path.join(self.work_dir, "port")
        self.log_file = os.path.join(self.work_dir, "requests.jsonl")
        self.routes_file = os.path.join(self.work_dir, "routes.json")
        command = [sys.executable, os.path.join(source_dir, "tools", "page_server.py"),
                   "--port", "0", "--port-file", self.port_file, "--log", self.log_file,
                   "--routes", self.routes_file]
        if sample_pages:
            command.append("--sample-pages")
        self.stderr = open(os.path.join(self.work_dir, "stderr"), "wb")
        self.process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=self.stderr,
                                        start_new_session=True)
        self.port = self._wait_for_port()

    def _wait_for_port(self):
        deadline = time.monotonic() + START_TIMEOUT
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise PageServerError(f"page server ended with status {self.process.returncode}")
            with contextlib.suppress(OSError, ValueError):
                with open(self.port_file, encoding="ascii") as file:
                    return int(file.read())
            time.sleep(0.05)
        raise PageServerError(f"page server did not start within {START_TIMEOUT:.0f} s")

    @property
    def proxy(self):
        """The value of http_proxy that sends every request of a program here."""
        return f"http://127.0.0.1:{self.port}"

    def set_routes(self, routes):
        """Replaces the routes at once; the server reads them again for every request."""
        temporary = self.routes_file + ".tmp"
        with open(temporary, "w", encoding="utf-8") as file:
            json.dump(routes, file)
        os.replace(temporary, self.routes_file)

    def requests(self):
        """Every request received so far, as logged by the server, oldest first."""
        try:
            with open(self.log_file, encoding="utf-8") as file:
                text = file.read()
        except FileNotFoundError:
            return []
        # A line still being written has no newline yet; it is read next time.
        complete_lines = text.split("\n")[:-1]
        return [json.loads(line) for line in complete_lines if line.strip()]

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(5)
        self.stderr.close()
        shutil.rmtree(self.work_dir, ignore_errors=True)


@contextlib.contextmanager
def running_page_server(source_dir, sample_pages=False):
    server = PageServerProcess(source_dir, sample_pages)
    try:
        yield server
    finally:
        server.stop()
