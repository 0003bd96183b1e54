"""The real program against a page server that fails it: the server dying in the middle of a
page, a page trickling in, the program killed during a download, a read-only program directory,
and page data that is cut short or claims enormous pictures."""

import json
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop  # noqa: E402

BINARY = os.environ["TEXTBOOK_BINARY"]
SOURCE_DIR = os.environ["TEXTBOOK_SOURCE_DIR"]
PAGE_SERVER = os.path.join(SOURCE_DIR, "tools", "page_server.py")
FOLDER = "/img/jiaocai/yuwen/renjiaoban/sannianjixiace/"
SAVED_PREFIX = "语文人教版三年级下册"  # 语文, 人教版, 三年级, 下册
WAIT = 30.0
# Far below what any of the enormous pictures would need if it were decoded.
MEMORY_LIMIT_KB = 1024 * 1024


def page_path(page):
    return f"{FOLDER}{page}.jpg"


def saved_name(page):
    return f"{SAVED_PREFIX}{page}.jpg"


class PageServer:
    """tools/page_server.py on 127.0.0.1 with routes written by the test."""

    def __init__(self, port=0, reuse_port=False):
        self.dir = tempfile.mkdtemp(prefix="textbook-faults-server-")
        self.routes_path = os.path.join(self.dir, "routes.json")
        self.log_path = os.path.join(self.dir, "log")
        port_file = os.path.join(self.dir, "port")
        command = [sys.executable, PAGE_SERVER, "--port", str(port), "--port-file", port_file,
                   "--log", self.log_path, "--routes", self.routes_path]
        if reuse_port:
            command.append("--reuse-port")
        self.process = subprocess.Popen(command, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        desktop.wait_until(lambda: os.path.exists(port_file), 10, "the page server to listen")
        with open(port_file) as file:
            self.port = int(file.read())
        self.body_files = 0

    def serve(self, routes):
        """Routes: path -> (body bytes, extra behaviour keys)."""
        table = {}
        for path, (body, behaviour) in routes.items():
            self.body_files += 1
            body_file = os.path.join(self.dir, f"body-{self.body_files}")
            with open(body_file, "wb") as file:
                file.write(body)
            table[path] = {"body_file": body_file, **behaviour}
        temporary = self.routes_path + ".new"
        with open(temporary, "w") as file:
            json.dump(table, file)
        os.replace(temporary, self.routes_path)

    def requested_paths(self):
        if not os.path.exists(self.log_path):
            return []
        with open(self.log_path, encoding="latin-1") as file:
            return [json.loads(line)["path"] for line in file if line.endswith("\n")]

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(10)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.kill()
        shutil.rmtree(self.dir, ignore_errors=True)


def page_body(page, size=60_000):
    """Bytes that differ from page to page and are big enough to take a while to write."""
    seed = f"page {page} ".encode()
    return (seed * (size // len(seed) + 1))[:size]


def image(format_name, size="64x64", extra=()):
    return subprocess.run(
        ["convert", "-size", size, "plasma:fractal", "-seed", "7", *extra, f"{format_name}:-"],
        check=True, capture_output=True, timeout=60).stdout


def jpeg_claiming(width, height, jpeg):
    data = bytearray(jpeg)
    frame = re.search(rb"\xff[\xc0\xc2]", data).start()
    data[frame + 5:frame + 9] = struct.pack(">HH", height, width)
    return bytes(data)


def png_claiming(width, height, png):
    data = bytearray(png)
    data[16:24] = struct.pack(">II", width, height)
    data[29:33] = struct.pack(">I", zlib.crc32(bytes(data[12:29])))
    return bytes(data)


def gif_claiming(width, height, gif):
    data = bytearray(gif)
    data[6:10] = struct.pack("<HH", width, height)
    descriptor = data.index(b"\x2c", 13)
    data[descriptor + 5:descriptor + 9] = struct.pack("<HH", width, height)
    return bytes(data)


def bmp_claiming(width, height, bmp):
    data = bytearray(bmp)
    data[18:26] = struct.pack("<ii", width, height)
    return bytes(data)


def pcx_claiming(width, height, pcx):
    data = bytearray(pcx)
    data[4:12] = struct.pack("<HHHH", 0, 0, width - 1, height - 1)
    return bytes(data)


def with_many_scans(progressive_jpeg, count):
    """The last scan of a progressive JPEG repeated until the file holds `count` scans more."""
    last_scan = progressive_jpeg.rindex(b"\xff\xda")
    scan = progressive_jpeg[last_scan:-2]
    return progressive_jpeg[:last_scan] + scan * count + b"\xff\xd9"


class DownloadFaultsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = desktop.start_desktop(timeout=WAIT)
        cls.addClassCleanup(desktop.stop_desktop, cls.session)

    def setUp(self):
        self.program_dir = os.path.realpath(tempfile.mkdtemp(prefix="textbook-faults-"))
        self.addCleanup(shutil.rmtree, self.program_dir, True)
        self.binary = shutil.copy2(BINARY, self.program_dir)

    def start_server(self, **options):
        server = PageServer(**options)
        self.addCleanup(server.stop)
        return server

    def start_program(self, server, command=None):
        env = desktop.program_env(self.session, {"http_proxy": f"http://127.0.0.1:{server.port}"})
        program = subprocess.Popen(
            command or [self.binary], cwd=self.program_dir, env=env, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, start_new_session=True)
        self.session.programs.append(program)
        self.addCleanup(desktop.stop_program, program)
        window = desktop.find_window(self.session, program.pid, timeout=WAIT)
        for list_name, index in (("组合框4", 0), ("组合框3", 1), ("组合框1", 2), ("组合框2", 1)):
            desktop.pick_item(self.session, window, list_name, index)
        return program, window

    def set_page_box(self, window, value):
        desktop.click_control(self.session, window, "编辑框1")
        desktop.key(self.session, window, "ctrl+a")
        desktop.type_text(self.session, window, str(value))

    def download(self, window, count):
        self.set_page_box(window, count)
        desktop.click_control(self.session, window, "按钮1")

    def wait_for_requests(self, servers, paths, timeout=WAIT):
        """Waits until every path has been requested of one of the servers (as often as listed)."""
        def all_requested():
            requested = [path for server in servers for path in server.requested_paths()]
            return all(requested.count(path) >= paths.count(path) for path in set(paths))
        try:
            desktop.wait_until(all_requested, timeout, f"requests for {paths}")
        except desktop.DesktopError as error:
            logs = [server.requested_paths() for server in servers]
            raise AssertionError(f"{error}; the servers were asked for {logs}") from error

    def assert_responds(self, program, window, server, next_page):
        """The program still runs and answers a click: the next page is requested."""
        self.assertIsNone(program.poll(), program.stderr.read().decode(errors="replace")
                          if program.poll() is not None else "")
        # xdotool's synchronous move waits for a motion that never comes when the pointer is
        # already there, so it goes by way of a label, which takes no clicks.
        desktop.click_control(self.session, window, "标签6")
        desktop.click_control(self.session, window, "按钮3")
        self.wait_for_requests([server], [page_path(next_page)])
        self.assertIsNone(program.poll())

    def assert_ends_cleanly(self, program, window):
        desktop.key(self.session, window, "Escape")
        status = desktop.wait_for_exit(program, timeout=WAIT)
        self.assertEqual(status, 0, f"ended with {desktop.signal_name(status)}: "
                         f"{program.stderr.read().decode(errors='replace')}")

    def saved_files(self):
        return sorted(name for name in os.listdir(self.program_dir)
                      if name != os.path.basename(self.binary))

    def content(self, name):
        with open(os.path.join(self.program_dir, name), "rb") as file:
            return file.read()

    def test_server_dying_in_the_middle_of_a_page_leaves_that_page_out(self):
        # Two servers share the port; the one asked for page 3 kills itself half-way through it
        # and the other answers the pages that follow.
        first = self.start_server(reuse_port=True)
        second = self.start_server(port=first.port, reuse_port=True)
        routes = {page_path(page): (page_body(page), {}) for page in (1, 2, 4, 5)}
        routes[page_path(3)] = (page_body(3), {"misbehaviour": "die"})
        for server in (first, second):
            server.serve(routes)
        program, window = self.start_program(first)
        self.download(window, 5)

        def dead_server():
            return next((s for s in (first, second) if s.process.poll() is not None), None)
        dying = desktop.wait_until(dead_server, WAIT, "a server to die answering page 3")
        self.assertEqual(dying.process.returncode, -signal.SIGKILL)
        self.assertEqual(dying.requested_paths()[-1], page_path(3))
        survivor = second if dying is first else first
        # Beyond the program's stall limit of 60 s: should the end of the connection go
        # unnoticed, the fetch still ends there and the loop goes on.
        self.wait_for_requests([survivor], [page_path(4), page_path(5)], timeout=90)
        desktop.wait_until(lambda: os.path.exists(os.path.join(self.program_dir, saved_name(5))),
                           WAIT, "page 5 to be saved")
        self.assertEqual(self.saved_files(), sorted(saved_name(p) for p in (1, 2, 4, 5)))
        for page in (1, 2, 4, 5):
            self.assertEqual(self.content(saved_name(page)), page_body(page), page)
        self.assert_responds(program, window, survivor, 6)
        self.assert_ends_cleanly(program, window)

    def test_page_trickling_in_byte_by_byte_is_waited_for_and_saved(self):
        # A byte a second keeps the transfer alive: it is slow, not stalled.
        server = self.start_server()
        trickled = b"\xff\xd8tiny\xff\xd9"
        server.serve({page_path(1): (trickled, {"misbehaviour": "trickle", "seconds": 1.0}),
                      page_path(2): (page_body(2), {})})
        program, window = self.start_program(server)
        started = time.monotonic()
        self.download(window, 2)
        saved = os.path.join(self.program_dir, saved_name(2))
        desktop.wait_until(lambda: os.path.exists(saved), WAIT, "page 2 to be saved")
        self.assertGreaterEqual(time.monotonic() - started, len(trickled) - 1.5)
        self.assertEqual(self.content(saved_name(1)), trickled)
        self.assertEqual(self.content(saved_name(2)), page_body(2))
        self.assert_ends_cleanly(program, window)

    def test_killed_download_leaves_only_whole_pages_and_no_litter_after_the_next(self):
        server = self.start_server()
        slow = {"misbehaviour": "stall", "seconds": 0.2}
        server.serve({page_path(page): (page_body(page, 200_000), slow) for page in range(1, 21)})
        program, window = self.start_program(server)
        self.download(window, 20)
        self.wait_for_requests([server], [page_path(8)])
        os.kill(program.pid, signal.SIGKILL)
        program.wait(WAIT)

        leftovers = [name for name in self.saved_files() if name.endswith(".part")]
        # A kill at the very moment of a write may leave that one temporary.
        self.assertLessEqual(len(leftovers), 1, leftovers)
        for name in self.saved_files():
            if not name.endswith(".part"):
                page = int(name[len(SAVED_PREFIX):-len(".jpg")])
                self.assertEqual(self.content(name), page_body(page, 200_000), name)
        # What such a kill leaves behind, made certain here: the next download clears it away.
        stale = f".{saved_name(8)}.{program.pid}-12345.part"
        with open(os.path.join(self.program_dir, stale), "wb") as file:
            file.write(page_body(8, 200_000)[:1000])

        server.serve({page_path(page): (page_body(page, 200_000), {}) for page in range(1, 21)})
        program, window = self.start_program(server)
        self.download(window, 20)
        last = os.path.join(self.program_dir, saved_name(20))
        desktop.wait_until(lambda: os.path.exists(last), WAIT, "page 20 to be saved")
        self.assertEqual(self.saved_files(), sorted(saved_name(p) for p in range(1, 21)))
        for page in range(1, 21):
            self.assertEqual(self.content(saved_name(page)), page_body(page, 200_000), page)
        self.assert_ends_cleanly(program, window)

    def test_read_only_program_directory_writes_nothing_and_the_loop_runs_to_its_end(self):
        # Root ignores file modes, so the directory is made read-only by a read-only bind
        # mount in a mount namespace of the program's own.
        probe = subprocess.run(
            ["unshare", "--mount", "--propagation", "private", "sh", "-c",
             'mount --bind "$0" "$0" && mount -o remount,bind,ro "$0" && ! touch "$0/probe"',
             self.program_dir], capture_output=True, timeout=WAIT)
        if probe.returncode != 0:
            self.skipTest(f"no read-only bind mount here: {probe.stderr.decode().strip()}")
        server = self.start_server()
        server.serve({page_path(page): (page_body(page), {}) for page in range(1, 6)})
        before = self.saved_files()
        program, window = self.start_program(server, [
            "unshare", "--mount", "--propagation", "private", "sh", "-c",
            'mount --bind "$0" "$0" && mount -o remount,bind,ro "$0" && exec "$1"',
            self.program_dir, self.binary])
        self.download(window, 5)
        self.wait_for_requests([server], [page_path(page) for page in range(1, 6)])
        self.assert_responds(program, window, server, 6)
        self.assertEqual(self.saved_files(), before)
        self.assert_ends_cleanly(program, window)

    def test_cut_and_enormous_pictures_are_viewed_without_harm(self):
        jpeg = image("jpeg")
        png = image("png")
        progressive = image("jpeg", extra=("-interlace", "JPEG"))
        pictures = [
            ("cut JPEG", jpeg[:len(jpeg) // 2]),
            ("cut PNG", png[:len(png) // 2]),
            ("JPEG of 65535 x 65535", jpeg_claiming(65535, 65535, jpeg)),
            ("progressive JPEG of 65535 x 65535", jpeg_claiming(65535, 65535, progressive)),
            ("PNG of 65535 x 65535", png_claiming(65535, 65535, png)),
            ("GIF of 65535 x 65535", gif_claiming(65535, 65535, image("gif"))),
            ("BMP of 65535 x 65535", bmp_claiming(65535, 65535, image("bmp3"))),
            ("PCX of 65535 x 65535", pcx_claiming(65535, 65535, image("pcx"))),
            ("JPEG of 3000 scans", with_many_scans(progressive, 3000)),
        ]
        server = self.start_server()
        server.serve({page_path(page): (data, {}) for page, (_, data) in enumerate(pictures, 1)})
        program, window = self.start_program(server)
        desktop.click_control(self.session, window, "按钮2")
        self.wait_for_requests([server], [page_path(1)])
        for page, (what, _) in enumerate(pictures, 1):
            with self.subTest(what):
                # Each next page is requested only once the picture before it has been handled.
                started = time.monotonic()
                self.assert_responds(program, window, server, page + 1)
                self.assertLess(time.monotonic() - started, 15)
                self.assertLess(peak_memory_kb(program.pid), MEMORY_LIMIT_KB)
        self.assert_ends_cleanly(program, window)


def peak_memory_kb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


if __name__ == "__main__":
    unittest.main()
